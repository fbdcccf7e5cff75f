// What changes while the simulated device runs: nonces, the firmware fetch and the flashing.
#include "tools/zebdevice/device_state.h"

#include <cstdio>
#include <random>
#include <thread>

#include "tools/zebdevice/device_log.h"

namespace zebdevice {
namespace {

constexpr std::size_t kNonceHistory = 16;
constexpr const char* kFixedNonce = "5f2a9c0e77d1c0de";
constexpr int kVersionOffset = 92;
constexpr int kHeaderSize = 128;

// The version text of an image header: from offset 92 up to a NUL, inside the header.
std::string HeaderVersion(const std::vector<std::uint8_t>& image) {
    std::string version;
    for (int i = kVersionOffset; i < kHeaderSize && image[i] != 0; ++i) {
        version += static_cast<char>(image[i]);
    }
    return version;
}

// `fetchNumber` counts the upgrade commands; only the fetch of the latest one may flash.
void FetchAndFlash(const DeviceSettings* settings, DeviceState* state, FetchRequest request,
                   int fetchNumber) {
    FetchResult result = FetchFirmware(request);
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        if (fetchNumber != state->fetchCount) {
            LogEvent("fetch %d ended after a later upgrade command; nothing changes", fetchNumber);
            return;
        }
        state->fetching = false;
        if (!result.complete || result.image.size() < static_cast<std::size_t>(kHeaderSize)) {
            if (result.complete) {
                LogEvent("flash refused: image of %zu bytes has no header", result.image.size());
            }
            return;
        }
        state->flashing = true;
    }
    LogEvent("flashing %d s", settings->flashSeconds);
    std::this_thread::sleep_for(std::chrono::seconds(settings->flashSeconds));

    std::lock_guard<std::mutex> lock(state->mutex);
    state->flashing = false;
    if (settings->afterFlashSilent) {
        state->silentForever = true;
        LogEvent("flashed, silent from now on");
        return;
    }
    state->reportedVersion = settings->afterFlashVersion.empty() ? HeaderVersion(result.image)
                                                                 : settings->afterFlashVersion;
    LogEvent("flashed version %s", state->reportedVersion.c_str());
}

}  // namespace

void InitDeviceState(const DeviceSettings& settings, DeviceState* state) {
    state->reportedVersion = settings.version;
}

bool RefusesHttp(DeviceState* state) {
    std::lock_guard<std::mutex> lock(state->mutex);
    return state->flashing || state->silentForever;
}

std::string ReportedVersion(DeviceState* state) {
    std::lock_guard<std::mutex> lock(state->mutex);
    return state->reportedVersion;
}

std::string IssueNonce(const DeviceSettings& settings, DeviceState* state) {
    static std::mt19937_64 generator{std::random_device{}()};
    std::lock_guard<std::mutex> lock(state->mutex);
    std::string nonce;
    if (settings.fixedNonce) {
        nonce = kFixedNonce;
    } else {
        char text[40];
        std::snprintf(text, sizeof text, "%04llx%016llx",
                      static_cast<unsigned long long>(++state->nonceSerial & 0xffff),
                      static_cast<unsigned long long>(generator()));
        nonce = text;
    }
    for (const IssuedNonce& issued : state->nonces) {
        if (issued.nonce == nonce) {
            return nonce;
        }
    }
    state->nonces.push_back({nonce, 0});
    if (state->nonces.size() > kNonceHistory) {
        state->nonces.pop_front();
    }
    return nonce;
}

bool StartUpgrade(const DeviceSettings& settings, DeviceState* state,
                  std::uint32_t serverAddressHostOrder, std::uint16_t serverPort,
                  const std::string& fileName) {
    int fetchNumber;
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        if (state->flashing) {
            return false;
        }
        // A new command supersedes a fetch still under way (one the server has given up on):
        // the device acts on the latest command, and the earlier fetch's result is dropped.
        if (state->fetching) {
            LogEvent("upgrade replaces fetch %d still under way", state->fetchCount);
        }
        state->fetching = true;
        fetchNumber = ++state->fetchCount;
    }
    const bool firstFetch = fetchNumber == 1;
    FetchRequest request;
    request.deviceAddress = settings.addressHostOrder;
    request.serverAddress = serverAddressHostOrder;
    request.serverPort = serverPort;
    request.fileName = fileName;
    request.timeoutMs = settings.tftpTimeoutMs;
    if (firstFetch || !settings.tftpFaultsFirstOnly) {
        request.faults = settings.tftpFaults;
    }
    std::thread(FetchAndFlash, &settings, state, std::move(request), fetchNumber).detach();
    return true;
}

}  // namespace zebdevice
