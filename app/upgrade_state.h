// The one process-wide record of the run, shared by every part of the utility.
#pragma once

#include <atomic>
#include <cstdint>

#include "app/firmware_image.h"
#include "platform/dialogs.h"
#include "web/device_info.h"
#include "web/digest_state.h"

enum UpgradeStage : std::int32_t {
    Transition = 0,  // the Transition image is sent first (two-stage build only)
    Target = 1,      // the Target image is sent; the final stage
};

struct ProductProfile {
    char displayName[32];
    int handset;  // 1 for the IP handset products
};

inline constexpr int kMaxLocalAddresses = 8;

// Host-order addresses, first octet most significant; entries after the last address are 0.
struct LocalAddressList {
    std::uint32_t entries[kMaxLocalAddresses];
};

inline constexpr int kTransferFileNameSize = 128;

// The transfer file name is written by the main thread (at most twice: the address dialog and
// the second stage) and read by the listener thread when a read request arrives. Each write
// fills the buffer that readers are not using and then publishes it, so a reader never sees a
// half-written name.
class TransferFileName {
public:
    void Set(const char* name);
    const char* Get() const;  // the name last published ("" before the first)
    void Clear();

private:
    char buffers_[2][kTransferFileNameSize] = {};
    std::atomic<int> current_{0};
};

inline constexpr int kResponseAreaSize = 131072;
inline constexpr int kResponseCapacity = kResponseAreaSize - 1;

struct UpgradeState {
    platform::Instance instance;
    std::atomic<std::int32_t> stage;  // UpgradeStage; written once by the listener thread
    ProductProfile profile;
    std::uint32_t deviceAddress;
    char deviceAddressText[32];
    std::uint32_t localAddress;
    LocalAddressList localAddresses;
    TransferFileName transferFileName;
    FirmwareImage targetImage;
    FirmwareImage transitionImage;
    char responseArea[kResponseAreaSize];
    DeviceInfo deviceInfo;
    DigestState digest;
};

extern UpgradeState gUpgradeState;

// Puts every field back to its value before start-up, with `stage` at the build's setting.
void ResetUpgradeState();
