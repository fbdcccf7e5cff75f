#include "platform/common/shared.h"

#include <atomic>
#include <mutex>
#include <vector>

#include "platform/process.h"
#include "platform/test_hooks.h"

namespace platform {
namespace {

constexpr int kMaxHooks = 8;
std::atomic<ProcessEndHook> gHooks[kMaxHooks];
std::atomic<int> gHookCount{0};
std::atomic<bool> gEnding{false};

std::mutex gOverrideMutex;
bool gOverridden = false;
std::vector<std::uint32_t> gOverride;

}  // namespace

void AddProcessEndHook(ProcessEndHook hook) {
    int slot = gHookCount.fetch_add(1);
    if (slot < kMaxHooks) {
        gHooks[slot].store(hook);
    }
}

namespace testing {
void SetLocalAddressesOverride(const std::uint32_t* networkOrder, int count) {
    std::lock_guard<std::mutex> lock(gOverrideMutex);
    gOverridden = count >= 0;
    gOverride.assign(networkOrder, networkOrder + (count > 0 ? count : 0));
}
}  // namespace testing

namespace shared {

bool RunProcessEndHooksOnce() {
    if (gEnding.exchange(true)) {
        return false;
    }
    int count = gHookCount.load();
    for (int i = count < kMaxHooks ? count : kMaxHooks; i-- > 0;) {
        if (ProcessEndHook hook = gHooks[i].load()) {
            hook();
        }
    }
    return true;
}

bool TakeLocalAddressesOverride(std::uint32_t* networkOrder, int max, int* count) {
    std::lock_guard<std::mutex> lock(gOverrideMutex);
    if (!gOverridden) {
        return false;
    }
    int n = 0;
    for (std::uint32_t a : gOverride) {
        if (n == max) {
            break;
        }
        networkOrder[n++] = a;
    }
    *count = n;
    return true;
}

}  // namespace shared
}  // namespace platform
