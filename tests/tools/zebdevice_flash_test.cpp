// The simulated device's upgrade: told over HTTP to fetch an image, it fetches it from a small
// TFTP server played by the test, refuses HTTP while flashing, then reports the new version.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/upgrade_state.h"
#include "tests/support/simulated_device.h"
#include "web/http_exchange.h"

namespace {

constexpr std::uint16_t kDevicePort = 18080;
constexpr std::uint16_t kTftpPort = 18069;

std::uint32_t Loopback(int last) {
    return 0x7f000000u | static_cast<std::uint32_t>(last);
}

// An image of 1300 bytes (three blocks) whose header carries `version` at offset 92.
std::string MakeImage(const char* version) {
    std::string image(1300, '\0');
    std::memcpy(image.data(), "zeb6600", 7);
    std::memcpy(image.data() + 92, version, std::strlen(version));
    for (std::size_t i = 128; i < image.size(); ++i) {
        image[i] = static_cast<char>(i * 7);
    }
    return image;
}

int UdpSocket(std::uint32_t address, std::uint16_t port) {
    int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(address);
    sa.sin_port = htons(port);
    if (::bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        ::close(s);
        return -1;
    }
    return s;
}

bool Receive(int s, std::string* packet, sockaddr_in* from, int timeoutMs) {
    pollfd p{s, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0) {
        return false;
    }
    char buffer[1024];
    socklen_t length = sizeof *from;
    ssize_t n = ::recvfrom(s, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(from), &length);
    if (n < 4) {
        return false;
    }
    packet->assign(buffer, static_cast<std::size_t>(n));
    return true;
}

// Serves one read request on 127.0.0.`last`:kTftpPort: an OACK with tsize and timeout, then the
// blocks in lock-step. Returns the file name asked for ("" when none came or the transfer
// failed). Bounded: each wait lasts at most five seconds.
std::string ServeImage(int last, const std::string& image) {
    int listener = UdpSocket(Loopback(last), kTftpPort);
    std::string packet;
    sockaddr_in device{};
    if (listener < 0 || !Receive(listener, &packet, &device, 5000) || packet[1] != 1) {
        ::close(listener);
        return "";
    }
    std::string name = packet.c_str() + 2;
    ::close(listener);
    int s = UdpSocket(Loopback(last), 0);
    auto send = [&](const std::string& bytes) {
        ::sendto(s, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&device),
                 sizeof device);
    };
    std::string oack = std::string("\0\6tsize\0", 8) + std::to_string(image.size()) +
                       std::string(
                           "\0timeout\0"
                           "5\0",
                           11);
    send(oack);
    for (unsigned block = 0;; ++block) {
        sockaddr_in from{};
        if (!Receive(s, &packet, &from, 5000) || packet[1] != 4 ||
            static_cast<unsigned>(static_cast<unsigned char>(packet[2]) << 8 |
                                  static_cast<unsigned char>(packet[3])) != block) {
            name.clear();
            break;
        }
        std::size_t offset = block * 512u;
        if (offset > image.size()) {
            break;  // the last ACK
        }
        std::string data = {'\0', '\3', static_cast<char>((block + 1) >> 8),
                            static_cast<char>(block + 1)};
        data += image.substr(offset, 512);
        send(data);
    }
    ::close(s);
    return name;
}

std::int32_t Get(int last, const std::string& path) {
    DeviceRequest request{Loopback(last),   23456,        Loopback(last),
                          kDevicePort,      path.c_str(), gUpgradeState.responseArea,
                          kResponseCapacity};
    return DeviceGet(request);
}

std::vector<std::string> DeviceArguments(int last, std::vector<std::string> extra) {
    std::vector<std::string> arguments = {"--address",       "127.0.0." + std::to_string(last),
                                          "--port",          std::to_string(kDevicePort),
                                          "--flash-seconds", "1"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return arguments;
}

std::string UpgradePath(int last) {
    return "/admin/upgrade?tftp://127.0.0." + std::to_string(last) + ":18069/zeb3a7.bi1";
}

}  // namespace

TEST(ZebdeviceFlashTest, FetchFlashThenReportTheImageVersion) {
    const int last = 39;  // 127.0.0.39
    ResetUpgradeState();
    SimulatedDevice device;
    ASSERT_TRUE(device.Start(DeviceArguments(last, {})));
    std::thread server;
    std::string served;
    server = std::thread([&] { served = ServeImage(last, MakeImage("9.8.7.0001")); });
    EXPECT_GT(Get(last, UpgradePath(last)), 0);
    server.join();
    EXPECT_EQ(served, "/zeb3a7.bi1");
    EXPECT_TRUE(device.WaitForLog("upgrade tftp://127.0.0.39:18069/zeb3a7.bi1", 2000));
    ASSERT_TRUE(device.WaitForLog("flashing 1 s", 5000)) << device.Log();
    EXPECT_EQ(Get(last, "/admin/advanced"), 0);  // no answer while flashing
    ASSERT_TRUE(device.WaitForLog("flashed version 9.8.7.0001", 5000)) << device.Log();
    EXPECT_GT(Get(last, "/admin/advanced"), 0);
    EXPECT_STREQ(gUpgradeState.deviceInfo.softwareVersion, "9.8.7.0001");
}

TEST(ZebdeviceFlashTest, AfterFlashOverrides) {
    const int last = 40;  // 127.0.0.40
    const struct {
        const char* flag;
        const char* value;
        const char* logLine;
        bool answers;
    } kCases[] = {
        {"--after-flash-version", "1.2.3.4", "flashed version 1.2.3.4", true},
        {"--after-flash-silent", nullptr, "flashed, silent from now on", false},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.flag);
        ResetUpgradeState();
        std::vector<std::string> extra = {c.flag};
        if (c.value != nullptr) {
            extra.push_back(c.value);
        }
        SimulatedDevice device;
        ASSERT_TRUE(device.Start(DeviceArguments(last, extra)));
        std::thread server([&] { ServeImage(last, MakeImage("9.8.7.0001")); });
        EXPECT_GT(Get(last, UpgradePath(last)), 0);
        server.join();
        ASSERT_TRUE(device.WaitForLog(c.logLine, 5000)) << device.Log();
        std::int32_t result = Get(last, "/admin/advanced");
        if (c.answers) {
            EXPECT_GT(result, 0);
            EXPECT_STREQ(gUpgradeState.deviceInfo.softwareVersion, "1.2.3.4");
        } else {
            EXPECT_EQ(result, 0);
        }
    }
}

TEST(ZebdeviceFlashTest, LaterCommandSupersedesAFetchStillWaiting) {
    // The first command names a port where no server answers; while that fetch still waits, a
    // second command names the test's server, and its image is the one flashed.
    const int last = 42;  // 127.0.0.42
    ResetUpgradeState();
    SimulatedDevice device;
    ASSERT_TRUE(device.Start(DeviceArguments(last, {"--tftp-timeout-ms", "4000"})));
    EXPECT_GT(Get(last, "/admin/upgrade?tftp://127.0.0.42:18068/zeb1.bi0"), 0);
    ASSERT_TRUE(device.WaitForLog("upgrade tftp://127.0.0.42:18068/zeb1.bi0", 2000));
    std::string served;
    std::thread server([&] { served = ServeImage(last, MakeImage("9.8.7.0002")); });
    EXPECT_GT(Get(last, UpgradePath(last)), 0);
    server.join();
    EXPECT_EQ(served, "/zeb3a7.bi1");
    EXPECT_TRUE(device.WaitForLog("upgrade replaces fetch 1", 2000)) << device.Log();
    ASSERT_TRUE(device.WaitForLog("flashed version 9.8.7.0002", 5000)) << device.Log();
    ASSERT_TRUE(device.WaitForLog("fetch 1 ended after a later upgrade command", 6000))
        << device.Log();
    EXPECT_GT(Get(last, "/admin/advanced"), 0);
    EXPECT_STREQ(gUpgradeState.deviceInfo.softwareVersion, "9.8.7.0002");
}
