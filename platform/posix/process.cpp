// Ending the process on POSIX: run the end hooks (restore the terminal), then _exit so that no
// static destructor runs while other threads are still working.
#include "platform/process.h"

#include "platform/common/shared.h"

#include <unistd.h>

#include <cstdio>

namespace platform {

void EndProcess(int code) {
    // The first caller runs the hooks and exits; a second thread ending at the same time waits
    // for it, so that the terminal is always restored before the process goes.
    if (!shared::RunProcessEndHooksOnce()) {
        for (;;) {
            ::pause();
        }
    }
    std::fflush(nullptr);
    ::_exit(code);
}

}  // namespace platform
