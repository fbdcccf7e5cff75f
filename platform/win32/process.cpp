// Ending the process on Windows: run the end hooks, then ExitProcess, which stops every other
// thread wherever it is.
#include "platform/process.h"

#include <windows.h>

#include <cstdio>

#include "platform/common/shared.h"

namespace platform {

void EndProcess(int code) {
    // The first caller runs the hooks and ends the process; a second thread ending at the same
    // time waits for it.
    if (!shared::RunProcessEndHooksOnce()) {
        for (;;) {
            ::Sleep(INFINITE);
        }
    }
    std::fflush(nullptr);
    ::ExitProcess(static_cast<UINT>(code));
}

}  // namespace platform
