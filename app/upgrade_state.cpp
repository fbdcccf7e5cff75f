#include "app/upgrade_state.h"

#include <cstring>

#include "platform/resources.h"

UpgradeState gUpgradeState;

void TransferFileName::Set(const char* name) {
    int next = 1 - current_.load(std::memory_order_relaxed);
    std::strncpy(buffers_[next], name, kTransferFileNameSize - 1);
    buffers_[next][kTransferFileNameSize - 1] = '\0';
    current_.store(next, std::memory_order_release);
}

const char* TransferFileName::Get() const {
    return buffers_[current_.load(std::memory_order_acquire)];
}

void TransferFileName::Clear() {
    std::memset(buffers_, 0, sizeof buffers_);
    current_.store(0, std::memory_order_release);
}

void ResetUpgradeState() {
    UpgradeState& s = gUpgradeState;
    s.instance = nullptr;
    s.stage.store(platform::BuildInitialStage());
    std::memset(&s.profile, 0, sizeof s.profile);
    s.deviceAddress = 0;
    std::memset(s.deviceAddressText, 0, sizeof s.deviceAddressText);
    s.localAddress = 0;
    std::memset(&s.localAddresses, 0, sizeof s.localAddresses);
    s.transferFileName.Clear();
    std::memset(&s.targetImage, 0, sizeof s.targetImage);
    std::memset(&s.transitionImage, 0, sizeof s.transitionImage);
    std::memset(s.responseArea, 0, sizeof s.responseArea);
    std::memset(&s.deviceInfo, 0, sizeof s.deviceInfo);
    std::memset(&s.digest, 0, sizeof s.digest);
}

namespace {

// The record exists, with the build's stage, before the entry runs.
struct InitialState {
    InitialState() { ResetUpgradeState(); }
} gInitialState;

}  // namespace
