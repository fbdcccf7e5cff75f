// The simulated device's TFTP client: fetches one firmware image as the real device does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zebdevice {

struct TftpFaults {
    double dropDataShare = 0.0;      // share of received DATA packets ignored, 0..1
    std::uint32_t dropSeed = 1;      // seed of the drop decisions
    bool duplicateAcks = false;      // send every ACK twice
    bool neverAckOptionAck = false;  // never answer the OACK
    // Before the real read request, send one for a wrong name ("wrong") or for the name in
    // another letter case ("case"); empty for none.
    std::string badFirstRequest;
    bool strayDatagrams = false;    // send stray datagrams from another port during the transfer
    int stopAckingAfterBlock = -1;  // >= 0: stop acknowledging after that block (device restart)
    bool twoPortRequests = false;   // send the read request from two ports at once
};

struct FetchRequest {
    std::uint32_t deviceAddress;  // host order; the client socket binds here
    std::uint32_t serverAddress;  // host order
    std::uint16_t serverPort;
    std::string fileName;  // sent as is, leading "/" included
    int timeoutMs = 5000;  // gives up after this long without a usable packet
    TftpFaults faults;
};

struct FetchResult {
    bool complete = false;  // ended on a short block
    std::vector<std::uint8_t> image;
    std::uint32_t blocks = 0;
    double seconds = 0.0;  // OACK to last ACK
    std::string failure;   // why it gave up, when not complete
};

// Blocking. Logs the size, block count, SHA-256, header tag and version of what it received and
// how long the transfer took, or why it gave up.
FetchResult FetchFirmware(const FetchRequest& request);

}  // namespace zebdevice
