// Ending the process on Windows: run the end hooks, then ExitProcess, which stops every other
// thread wherever it is.
#include "platform/process.h"

#include <windows.h>

#include <atomic>
#include <cstdio>

namespace platform {
namespace {

constexpr int kMaxHooks = 8;
std::atomic<ProcessEndHook> gHooks[kMaxHooks];
std::atomic<int> gHookCount{0};
std::atomic<bool> gEnding{false};

}  // namespace

void AddProcessEndHook(ProcessEndHook hook) {
    int slot = gHookCount.fetch_add(1);
    if (slot < kMaxHooks) {
        gHooks[slot].store(hook);
    }
}

void EndProcess(int code) {
    // The first caller runs the hooks and ends the process; a second thread ending at the same
    // time waits for it.
    if (gEnding.exchange(true)) {
        for (;;) {
            ::Sleep(INFINITE);
        }
    }
    int count = gHookCount.load();
    for (int i = count < kMaxHooks ? count : kMaxHooks; i-- > 0;) {
        if (ProcessEndHook hook = gHooks[i].load()) {
            hook();
        }
    }
    std::fflush(nullptr);
    ::ExitProcess(static_cast<UINT>(code));
}

}  // namespace platform
