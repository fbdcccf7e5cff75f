// One HTTP/1.1 GET exchange with the device's web server, the classification of its answer and
// the scraping of the device's identity from it.
#include "web/http_exchange.h"

#include <cstring>

#include "app/upgrade_state.h"
#include "ui/common.h"
#include "web/bounded_text.h"
#include "web/digest.h"

namespace {

constexpr int kLocalPortTries = 101;  // base port to base port + 100
constexpr int kFieldLimit = kDeviceInfoFieldSize - 1;

// The device's pages are reached under this fixed host name whatever its real address.
constexpr const char* kHostLine = "Host: 192.168.2.110\r\n";

}  // namespace

void MakeSocketAddress(std::uint32_t address, std::uint16_t port, platform::SocketAddress* out) {
    out->family = platform::kAddressFamilyIPv4;
    out->addressNetworkOrder = platform::HostToNetwork32(address);
    out->portNetworkOrder = platform::HostToNetwork16(port);
}

void ReadSocketAddress(const platform::SocketAddress& in, std::uint32_t* address,
                       std::uint16_t* port) {
    *address = platform::NetworkToHost32(in.addressNetworkOrder);
    *port = platform::NetworkToHost16(in.portNetworkOrder);
}

platform::Socket OpenDeviceConnection(std::uint32_t localAddress, std::uint16_t localBasePort,
                                      std::uint32_t deviceAddress, std::uint16_t devicePort) {
    platform::Socket s = platform::OpenTcpSocket();
    if (s == platform::kInvalidSocket) {
        FailAndEndProcess("Upgrade Failed: Can't open HTTP socket");
    }
    bool bound = false;
    for (int i = 0; i < kLocalPortTries && localBasePort + i <= 0xffff && !bound; ++i) {
        platform::SocketAddress local;
        MakeSocketAddress(localAddress, static_cast<std::uint16_t>(localBasePort + i), &local);
        bound = platform::BindSocket(s, local) == 0;
    }
    if (!bound) {
        FailAndEndProcess("Upgrade Failed: Can't bind HTTP socket");
    }
    platform::SocketAddress device;
    MakeSocketAddress(deviceAddress, devicePort, &device);
    if (platform::ConnectSocket(s, device) != 0) {
        platform::CloseSocket(s);
        return platform::kInvalidSocket;
    }
    return s;
}

int ClassifyResponse(const char* response, DigestState* state) {
    if (std::strncmp(response, "HTTP/1.1", 8) != 0) {
        return -1;
    }
    // The ninth character (normally the blank after the version) is passed over unexamined,
    // unless the answer ends before it.
    const char* p = response + 8;
    if (*p == '\0') {
        return -2;
    }
    ++p;
    while (*p == ' ' || *p == '\t') {
        ++p;
    }
    if (*p == '\0') {
        return -2;
    }
    if (std::strncmp(p, "200", 3) == 0) {
        return 0;
    }
    if (std::strncmp(p, "401", 3) != 0) {
        return 2;
    }
    const char* challenge = std::strstr(p, "WWW-Authenticate:");
    if (challenge == nullptr) {
        return 2;
    }
    return ParseChallenge(challenge, state) == 0 ? 1 : 2;
}

void ExtractLabeledField(const char* text, const char* label, char* destination, int limit) {
    const char* p = std::strstr(text, label);
    if (p == nullptr) {
        return;
    }
    // The value starts after the first ">" that is not directly followed by "<".
    do {
        p = std::strchr(p, '>');
        if (p == nullptr) {
            return;
        }
        ++p;
    } while (*p == '<');
    int length = 0;
    while (p[length] != '\0' && p[length] != '<' && length < limit) {
        ++length;
    }
    std::memcpy(destination, p, static_cast<std::size_t>(length));
    destination[length] = '\0';
}

std::int32_t DeviceGet(const DeviceRequest& request) {
    DigestState& digest = gUpgradeState.digest;
    DeviceInfo& info = gUpgradeState.deviceInfo;

    platform::Socket s = OpenDeviceConnection(request.localAddress, request.localBasePort,
                                              request.deviceAddress, request.devicePort);

    BoundedText text(request.responseArea, request.capacity + 1);
    text.Append("GET %s HTTP/1.1\r\n", request.path);
    text.Append("%s", kHostLine);
    if (digest.password[0] != '\0') {
        // The line and its digest carry the new count.
        ++digest.nonceCount;
        text.length += BuildAuthorization(&digest, request.path, text.destination + text.length,
                                          text.capacity - text.length);
    }
    text.Append("\r\n");
    TraceText(text.destination, text.length);

    if (s == platform::kInvalidSocket) {
        return 0;
    }
    platform::SendBytes(s, text.destination, text.length);

    char* area = request.responseArea;
    std::int32_t received = 0;
    area[0] = '\0';
    while (received < request.capacity) {
        int n = platform::ReceiveBytes(s, area + received, request.capacity - received);
        if (n <= 0) {
            break;
        }
        received += n;
        area[received] = '\0';
    }
    Trace("recv done\n");
    TraceText(area, received);
    Trace("\n");

    if (ClassifyResponse(area, &digest) == 1) {
        platform::CloseSocket(s);
        return -1;
    }
    if (received > 0) {
        ExtractLabeledField(area, "Product Name:", info.productName, kFieldLimit);
        ExtractLabeledField(area, "MAC Address:", info.macAddress, kFieldLimit);
        ExtractLabeledField(area, "Software Version:", info.softwareVersion, kFieldLimit);
        ExtractLabeledField(area, "Hardware Version:", info.hardwareVersion, kFieldLimit);
        ExtractLabeledField(area, "Serial Number:", info.serialNumber, kFieldLimit);
    }
    platform::CloseSocket(s);
    return received;
}
