// The simulated device's TFTP client. It fetches the image as the real device does: a read
// request with the tsize and timeout options, ACK 0 to the OACK, one ACK per DATA block in order
// from the same port, done on a block shorter than 512 bytes. The faults of TftpFaults let tests
// and users provoke the server's error paths.
#include "tools/zebdevice/tftp_fetch.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/evp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>

#include "tools/zebdevice/device_log.h"

namespace zebdevice {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kBlockSize = 512;
constexpr int kDatagramSize = 1024;
constexpr std::uint16_t kOpReadRequest = 1;
constexpr std::uint16_t kOpData = 3;
constexpr std::uint16_t kOpAck = 4;
constexpr std::uint16_t kOpError = 5;
constexpr std::uint16_t kOpOptionAck = 6;
constexpr int kRequestRepeatMs = 1000;  // the read request is repeated until the server answers
constexpr int kBadRequestWaitMs = 300;  // how long a refused request is given to stay unanswered
constexpr int kStrayEveryBlocks = 64;
constexpr int kImageHeaderSize = 128;
constexpr int kImageVersionOffset = 92;

std::uint16_t Get16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}

void Put16(std::uint8_t* p, unsigned v) {
    p[0] = static_cast<std::uint8_t>(v >> 8);
    p[1] = static_cast<std::uint8_t>(v);
}

sockaddr_in Address(std::uint32_t hostOrder, std::uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(hostOrder);
    sa.sin_port = htons(port);
    return sa;
}

// A UDP socket bound to `address` on an ephemeral port; -1 on failure.
int OpenBoundSocket(std::uint32_t address) {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    sockaddr_in local = Address(address, 0);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

void SendTo(int fd, const void* data, std::size_t length, const sockaddr_in& to) {
    ::sendto(fd, data, length, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

std::string ReadRequest(const std::string& name) {
    // The mode and the options, each NUL-terminated; sizeof counts the last NUL.
    static const char kModeAndOptions[] =
        "octet\0tsize\0"
        "0\0timeout\0"
        "5";
    std::string r("\0\1", 2);
    r += name;
    r.push_back('\0');
    r.append(kModeAndOptions, sizeof kModeAndOptions);
    return r;
}

std::string OtherCase(std::string name) {
    for (char& c : name) {
        unsigned char u = static_cast<unsigned char>(c);
        c = static_cast<char>(std::isupper(u) ? std::tolower(u) : std::toupper(u));
    }
    return name;
}

// Waits up to `ms` for a datagram on `fd`; its length, or -1 when none came.
int Receive(int fd, std::uint8_t* buffer, int ms, sockaddr_in* from) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, ms < 0 ? 0 : ms) <= 0) {
        return -1;
    }
    socklen_t length = sizeof *from;
    ssize_t n =
        ::recvfrom(fd, buffer, kDatagramSize, 0, reinterpret_cast<sockaddr*>(from), &length);
    return n < 0 ? -1 : static_cast<int>(n);
}

std::string Sha256Hex(const std::vector<std::uint8_t>& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr);
    std::string hex;
    char two[3];
    for (unsigned int i = 0; i < length; ++i) {
        std::snprintf(two, sizeof two, "%02x", digest[i]);
        hex += two;
    }
    return hex;
}

// A NUL-terminated text inside the image header, cut at `limit` bytes.
std::string HeaderText(const std::vector<std::uint8_t>& image, int offset, int limit) {
    if (static_cast<int>(image.size()) < kImageHeaderSize) {
        return "";
    }
    const char* text = reinterpret_cast<const char*>(image.data() + offset);
    return std::string(text, strnlen(text, static_cast<std::size_t>(limit)));
}

FetchResult Fail(FetchResult result, const FetchRequest& request, const char* reason) {
    result.complete = false;
    result.failure = reason;
    LogEvent("fetch failed name=%s reason=%s blocks=%u", request.fileName.c_str(), reason,
             result.blocks);
    return result;
}

}  // namespace

FetchResult FetchFirmware(const FetchRequest& request) {
    const TftpFaults& faults = request.faults;
    FetchResult result;
    Fd client{OpenBoundSocket(request.deviceAddress)};
    if (client.fd < 0) {
        return Fail(result, request, "socket");
    }
    Fd other;  // a second port of the device: a second read request or stray datagrams
    if (faults.strayDatagrams || faults.twoPortRequests) {
        other.fd = OpenBoundSocket(request.deviceAddress);
        if (other.fd < 0) {
            return Fail(result, request, "socket");
        }
    }
    const sockaddr_in server = Address(request.serverAddress, request.serverPort);
    std::uint8_t buffer[kDatagramSize];
    sockaddr_in from{};

    if (!faults.badFirstRequest.empty()) {
        std::string bad = faults.badFirstRequest == "case" ? OtherCase(request.fileName)
                                                           : request.fileName + ".wrong";
        std::string rrq = ReadRequest(bad);
        SendTo(client.fd, rrq.data(), rrq.size(), server);
        if (Receive(client.fd, buffer, kBadRequestWaitMs, &from) >= 0) {
            return Fail(result, request, "refused-name-answered");
        }
    }

    const std::string rrq = ReadRequest(request.fileName);
    SendTo(client.fd, rrq.data(), rrq.size(), server);
    if (faults.twoPortRequests) {
        SendTo(other.fd, rrq.data(), rrq.size(), server);
    }

    std::mt19937 dropRandom(faults.dropSeed);
    std::uniform_real_distribution<double> share(0.0, 1.0);
    bool answered = false;       // the server has answered the read request
    sockaddr_in serverTid{};     // where the answers come from; every ACK goes there
    std::uint32_t expected = 1;  // the next DATA block wanted (in full; the wire carries 16 bits)
    bool acking = true;
    Clock::time_point start{};
    Clock::time_point lastUsable = Clock::now();
    Clock::time_point lastRequest = lastUsable;

    auto sendAck = [&](std::uint32_t block) {
        std::uint8_t ack[4];
        Put16(ack, kOpAck);
        Put16(ack + 2, block);
        int copies = faults.duplicateAcks ? 2 : 1;
        for (int i = 0; i < copies; ++i) {
            SendTo(client.fd, ack, sizeof ack, serverTid);
        }
    };

    for (;;) {
        auto now = Clock::now();
        int idle = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(now - lastUsable).count());
        if (idle >= request.timeoutMs) {
            if (!answered) {
                return Fail(result, request, "no-answer");
            }
            return Fail(result, request, acking ? "timeout" : "stopped-acking");
        }
        int wait = request.timeoutMs - idle;
        if (!answered) {
            int sinceRequest = static_cast<int>(
                std::chrono::duration_cast<std::chrono::milliseconds>(now - lastRequest).count());
            if (sinceRequest >= kRequestRepeatMs) {
                SendTo(client.fd, rrq.data(), rrq.size(), server);
                lastRequest = now;
                sinceRequest = 0;
            }
            wait = std::min(wait, kRequestRepeatMs - sinceRequest);
        }
        int length = Receive(client.fd, buffer, wait, &from);
        if (length < 4) {
            continue;
        }
        // The first answer may come from another port of the server's address (a server that
        // moves to a fresh port); after it, only that address and port count.
        if (from.sin_addr.s_addr != server.sin_addr.s_addr ||
            (answered && from.sin_port != serverTid.sin_port)) {
            continue;
        }
        std::uint16_t opcode = Get16(buffer);
        if (opcode == kOpError) {
            return Fail(result, request, "error-packet");
        }
        if (opcode == kOpOptionAck && expected == 1 && result.image.empty()) {
            if (!answered) {
                answered = true;
                serverTid = from;
                start = Clock::now();
            }
            if (faults.neverAckOptionAck || !acking) {
                continue;  // not usable: the time-out runs on
            }
            lastUsable = Clock::now();
            sendAck(0);
            acking = faults.stopAckingAfterBlock != 0;
            continue;
        }
        if (opcode != kOpData) {
            continue;
        }
        if (!answered) {
            // A server without options starts with block 1 at once.
            answered = true;
            serverTid = from;
            start = Clock::now();
        }
        std::uint16_t block = Get16(buffer + 2);
        if (faults.dropDataShare > 0.0 && share(dropRandom) < faults.dropDataShare) {
            continue;  // lost on the way
        }
        if (block == static_cast<std::uint16_t>(expected - 1) && expected > 1) {
            lastUsable = Clock::now();
            if (acking) {
                sendAck(block);  // our ACK was lost: acknowledge the repeat again
            }
            continue;
        }
        if (block != static_cast<std::uint16_t>(expected) || !acking) {
            continue;
        }
        lastUsable = Clock::now();
        int dataLength = length - 4;
        result.image.insert(result.image.end(), buffer + 4, buffer + length);
        result.blocks = expected;
        if (faults.strayDatagrams && expected % kStrayEveryBlocks == 0) {
            // A stranger acknowledges the block before the device does, and sends garbage.
            std::uint8_t stray[4];
            Put16(stray, kOpAck);
            Put16(stray + 2, expected);
            SendTo(other.fd, stray, sizeof stray, serverTid);
            SendTo(other.fd, "\0", 1, serverTid);
        }
        sendAck(expected);
        if (faults.stopAckingAfterBlock >= 0 &&
            expected >= static_cast<std::uint32_t>(faults.stopAckingAfterBlock)) {
            acking = false;  // the device restarts and forgets the transfer
        }
        if (dataLength < kBlockSize) {
            break;
        }
        ++expected;
    }

    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    result.complete = true;
    if (faults.twoPortRequests) {
        // The read request from the other port must have gone unanswered.
        if (Receive(other.fd, buffer, 0, &from) >= 0) {
            return Fail(result, request, "second-port-answered");
        }
    }
    LogEvent(
        "fetch complete name=%s size=%zu blocks=%u sha256=%s tag=\"%s\" version=\"%s\" "
        "seconds=%.3f",
        request.fileName.c_str(), result.image.size(), result.blocks,
        Sha256Hex(result.image).c_str(), HeaderText(result.image, 0, kImageVersionOffset).c_str(),
        HeaderText(result.image, kImageVersionOffset, kImageHeaderSize - kImageVersionOffset)
            .c_str(),
        result.seconds);
    return result;
}

}  // namespace zebdevice
