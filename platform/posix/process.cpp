// Ending the process on POSIX: run the end hooks (restore the terminal), then _exit so that no
// static destructor runs while other threads are still working.
#include "platform/process.h"

#include <unistd.h>

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
    // The first caller runs the hooks and exits; a second thread ending at the same time waits
    // for it, so that the terminal is always restored before the process goes.
    if (gEnding.exchange(true)) {
        for (;;) {
            ::pause();
        }
    }
    int count = gHookCount.load();
    for (int i = count < kMaxHooks ? count : kMaxHooks; i-- > 0;) {
        if (ProcessEndHook hook = gHooks[i].load()) {
            hook();
        }
    }
    std::fflush(nullptr);
    ::_exit(code);
}

}  // namespace platform
