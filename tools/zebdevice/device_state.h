// The simulated device: its settings (from the command line) and what changes while it runs
// (the reported version, the flashing window, the Digest nonces it has issued).
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

#include "tools/zebdevice/tftp_fetch.h"

namespace zebdevice {

enum class HttpFault {
    None,
    Silent,
    Http10,
    NotFound,
    Oversize,
    Stall,
    Garbage,        // bytes that are no HTTP at all
    Truncated,      // the status line cut after "HTTP/1.1"
    Huge,           // a status page of more than 1 MB
    LongChallenge,  // every value of the Digest challenge 10,000 characters long
    BareLf,         // lines ended by LF alone
};
enum class QopMode { None, Auth, AuthInt, List };
enum class AlgorithmMode { None, Md5, Md5Sess };

struct DeviceSettings {
    std::string address = "127.0.0.2";
    std::uint32_t addressHostOrder = 0x7f000002;
    int port = 80;

    std::string product = "ZEB-6600";
    std::string mac = "02:5A:45:42:00:01";
    std::string serial = "ZEB0012345";
    std::string hardware = "1.0";
    std::string version = "3.0.18.0411";

    // Digest protection is on when the password is non-empty.
    std::string password;
    std::string user = "admin";
    std::string realm = "ZEB Device";
    QopMode qop = QopMode::Auth;
    AlgorithmMode algorithm = AlgorithmMode::Md5;
    std::string opaque;
    bool fixedNonce = false;

    HttpFault fault = HttpFault::None;
    int stallMs = 0;

    bool fetch = true;
    int flashSeconds = 3;
    std::string afterFlashVersion;
    bool afterFlashSilent = false;
    TftpFaults tftpFaults;
    bool tftpFaultsFirstOnly = false;  // the TFTP faults apply to the first fetch alone
    int tftpTimeoutMs = 5000;

    std::string logPath;
};

// A nonce the device has handed out and the highest nonce count accepted with it.
struct IssuedNonce {
    std::string nonce;
    std::uint64_t lastCount = 0;
};

struct DeviceState {
    std::mutex mutex;
    std::string reportedVersion;
    bool fetching = false;
    int fetchCount = 0;
    bool flashing = false;
    bool silentForever = false;
    std::deque<IssuedNonce> nonces;  // most recent last, a bounded history
    std::uint64_t nonceSerial = 0;
};

void InitDeviceState(const DeviceSettings& settings, DeviceState* state);

// True while the device must not answer HTTP: flashing, or silent after flashing.
bool RefusesHttp(DeviceState* state);
std::string ReportedVersion(DeviceState* state);

// The nonce for a new challenge: always the same with --nonce fixed, otherwise a new one.
std::string IssueNonce(const DeviceSettings& settings, DeviceState* state);

// Starts fetching the image named in an upgrade command on a thread of its own, then flashes
// it. A fetch still under way is superseded (its result is dropped). False (and nothing started)
// while flashing.
bool StartUpgrade(const DeviceSettings& settings, DeviceState* state,
                  std::uint32_t serverAddressHostOrder, std::uint16_t serverPort,
                  const std::string& fileName);

}  // namespace zebdevice
