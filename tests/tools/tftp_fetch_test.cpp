// The simulated device's TFTP client against a server played packet by packet by the test.
#include "tools/zebdevice/tftp_fetch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>

#include "tests/tftp/tftp_test_peers.h"

namespace {

using tftptest::Ack;
using tftptest::Loopback;
using tftptest::UdpPeer;

constexpr int kServer = 90;  // 127.0.0.90
constexpr int kDevice = 91;

zebdevice::FetchRequest RequestTo(std::uint16_t port, int timeoutMs) {
    zebdevice::FetchRequest request;
    request.deviceAddress = Loopback(kDevice);
    request.serverAddress = Loopback(kServer);
    request.serverPort = port;
    request.fileName = "/zeb3a7.bi1";
    request.timeoutMs = timeoutMs;
    return request;
}

std::string Data(unsigned block, const std::string& bytes) {
    return std::string{'\0', '\3', static_cast<char>(block >> 8), static_cast<char>(block)} + bytes;
}

TEST(TftpFetchTest, FetchesInLockStepAndReacknowledgesARepeat) {
    UdpPeer server(Loopback(kServer), 6990);
    ASSERT_TRUE(server.Bound());
    auto fetch = std::async(std::launch::async,
                            [] { return zebdevice::FetchFirmware(RequestTo(6990, 2000)); });

    std::string packet;
    std::uint16_t devicePort = 0;
    ASSERT_TRUE(server.Receive(&packet, 2000, &devicePort));
    // Name, mode and options, each ending with a NUL (sizeof counts the literal's last one).
    static const char kReadRequest[] =
        "\0\1/zeb3a7.bi1\0octet\0tsize\0"
        "0\0timeout\0"
        "5";
    EXPECT_EQ(packet, std::string(kReadRequest, sizeof kReadRequest));

    static const char kOptionAck[] =
        "\0\6tsize\0"
        "522\0timeout\0"
        "5";
    const std::string oack(kOptionAck, sizeof kOptionAck);
    server.SendTo(oack, Loopback(kDevice), devicePort);
    ASSERT_TRUE(server.Receive(&packet, 2000));
    EXPECT_EQ(packet, Ack(0));

    const std::string first(512, 'a');
    server.SendTo(Data(1, first), Loopback(kDevice), devicePort);
    ASSERT_TRUE(server.Receive(&packet, 2000));
    EXPECT_EQ(packet, Ack(1));
    // The server did not see that ACK and repeats the block: the device acknowledges it again.
    server.SendTo(Data(1, first), Loopback(kDevice), devicePort);
    ASSERT_TRUE(server.Receive(&packet, 2000));
    EXPECT_EQ(packet, Ack(1));

    server.SendTo(Data(2, "0123456789"), Loopback(kDevice), devicePort);
    ASSERT_TRUE(server.Receive(&packet, 2000));
    EXPECT_EQ(packet, Ack(2));

    zebdevice::FetchResult result = fetch.get();
    EXPECT_TRUE(result.complete) << result.failure;
    EXPECT_EQ(result.blocks, 2u);
    EXPECT_EQ(std::string(result.image.begin(), result.image.end()), first + "0123456789");
}

TEST(TftpFetchTest, GivesUpAfterItsTimeoutWithoutAUsablePacket) {
    UdpPeer server(Loopback(kServer), 6991);
    ASSERT_TRUE(server.Bound());
    auto start = std::chrono::steady_clock::now();
    auto fetch = std::async(std::launch::async,
                            [] { return zebdevice::FetchFirmware(RequestTo(6991, 400)); });
    std::string packet;
    std::uint16_t devicePort = 0;
    ASSERT_TRUE(server.Receive(&packet, 2000, &devicePort));
    // Packets from a stranger and garbage do not keep the device waiting.
    UdpPeer stranger(Loopback(kDevice + 1));
    stranger.SendTo(Data(1, "x"), Loopback(kDevice), devicePort);
    server.SendTo(std::string("\0", 1), Loopback(kDevice), devicePort);

    zebdevice::FetchResult result = fetch.get();
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_FALSE(result.complete);
    EXPECT_EQ(result.failure, "no-answer");
    EXPECT_TRUE(result.image.empty());
    EXPECT_GE(seconds, 0.39);
    EXPECT_LT(seconds, 2.0);
}

}  // namespace
