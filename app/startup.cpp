// Start-up: everything the upgrade needs before the first window.
#include "app/startup.h"

#include <cstring>

#include "app/firmware.h"
#include "app/random.h"
#include "app/upgrade_state.h"
#include "platform/clock.h"
#include "platform/local_addresses.h"
#include "platform/net.h"
#include "ui/common.h"

namespace {

// The address entry and progress bar classes (ICC_INTERNET_CLASSES | ICC_PROGRESS_CLASS).
constexpr std::uint32_t kCommonControlClasses = 0x820;

void ListLocalAddresses() {
    LocalAddressList& list = gUpgradeState.localAddresses;
    std::memset(&list, 0, sizeof list);
    std::uint32_t found[kMaxLocalAddresses];
    int count = platform::ListLocalIPv4Addresses(found, kMaxLocalAddresses);
    for (int i = 0; i < count && i < kMaxLocalAddresses; ++i) {
        Trace("Client IP = %x\n", found[i]);
        list.entries[i] = platform::NetworkToHost32(found[i]);
    }
}

}  // namespace

void StartUp() {
    if (!platform::StartNetworking()) {
        FailAndEndProcess("Upgrade Failed: Winsock init error");
    }
    ListLocalAddresses();
    std::memset(&gUpgradeState.digest, 0, sizeof gUpgradeState.digest);
    gUpgradeState.localAddress = gUpgradeState.localAddresses.entries[0];
    SeedRandom(platform::MillisecondClock());
    platform::InitCommonControls(kCommonControlClasses);
    LoadFirmwareImages();
    IdentifyProduct();
}
