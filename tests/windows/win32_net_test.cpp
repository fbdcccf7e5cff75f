// The Winsock 1.1 layer under Wine: the behaviours the HTTP client and the TFTP server rely on,
// where Winsock differs from POSIX sockets.
#include <gtest/gtest.h>
#include <winsock.h>

#include <cstring>
#include <string>

#include "platform/clock.h"
#include "platform/net.h"

namespace {

using platform::SocketAddress;

constexpr std::uint32_t Loopback(int last) {
    return platform::HostToNetwork32(0x7F000000u | static_cast<std::uint32_t>(last));
}

SocketAddress At(std::uint32_t addressNetworkOrder, std::uint16_t port) {
    SocketAddress a;
    a.addressNetworkOrder = addressNetworkOrder;
    a.portNetworkOrder = platform::HostToNetwork16(port);
    return a;
}

class Win32NetTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(platform::StartNetworking()); }
};

// A datagram longer than the buffer comes back cut to the buffer (Winsock reports WSAEMSGSIZE),
// with its sender; the next datagram is whole. The TFTP listener reads read requests this way.
TEST_F(Win32NetTest, LongDatagramIsCutToTheCapacity) {
    platform::Socket server = platform::OpenUdpSocket();
    platform::Socket client = platform::OpenUdpSocket();
    ASSERT_NE(server, platform::kInvalidSocket);
    ASSERT_NE(client, platform::kInvalidSocket);
    ASSERT_EQ(platform::BindSocket(server, At(Loopback(160), 16900)), 0);
    ASSERT_EQ(platform::BindSocket(client, At(Loopback(161), 16901)), 0);

    std::string longDatagram(600, 'x');
    for (std::size_t i = 0; i < longDatagram.size(); ++i) {
        longDatagram[i] = static_cast<char>('a' + i % 26);
    }
    ASSERT_EQ(platform::SendDatagram(client, longDatagram.data(), 600, At(Loopback(160), 16900)),
              600);
    ASSERT_EQ(platform::SendDatagram(client, "short", 5, At(Loopback(160), 16900)), 5);

    char buffer[517];
    std::memset(buffer, 0, sizeof buffer);
    SocketAddress from;
    ASSERT_TRUE(platform::WaitReadable(server, 2000));
    EXPECT_EQ(platform::ReceiveDatagram(server, buffer, 516, &from), 516);
    EXPECT_EQ(std::string(buffer, 516), longDatagram.substr(0, 516));
    EXPECT_EQ(buffer[516], '\0');  // nothing written past the capacity
    // Wine sends from a UDP socket bound to a loopback address with the source 127.0.0.1.
    EXPECT_EQ(platform::NetworkToHost32(from.addressNetworkOrder) >> 24, 127u);
    EXPECT_EQ(from.portNetworkOrder, platform::HostToNetwork16(16901));

    ASSERT_TRUE(platform::WaitReadable(server, 2000));
    EXPECT_EQ(platform::ReceiveDatagram(server, buffer, 516, &from), 5);
    EXPECT_EQ(std::string(buffer, 5), "short");
    platform::CloseSocket(client);
    platform::CloseSocket(server);
}

// Without a datagram: a non-blocking read answers -1 at once and the wait gives up after about
// its time-out, the two ways the transfer notices a silent device.
TEST_F(Win32NetTest, SilenceTimesOut) {
    platform::Socket s = platform::OpenUdpSocket();
    ASSERT_EQ(platform::BindSocket(s, At(Loopback(162), 16902)), 0);
    ASSERT_TRUE(platform::SetNonBlocking(s, true));
    char buffer[16];
    EXPECT_EQ(platform::ReceiveDatagram(s, buffer, sizeof buffer, nullptr), -1);

    std::uint32_t start = platform::MillisecondClock();
    EXPECT_FALSE(platform::WaitReadable(s, 100));
    std::uint32_t elapsed = platform::MillisecondClock() - start;
    EXPECT_GE(elapsed, 90u);
    EXPECT_LT(elapsed, 1000u);
    platform::CloseSocket(s);
}

// A second bind of a UDP address in use fails, so the listener moves on to the next port.
TEST_F(Win32NetTest, AddressInUseCannotBeBoundTwice) {
    platform::Socket first = platform::OpenUdpSocket();
    platform::Socket second = platform::OpenUdpSocket();
    ASSERT_EQ(platform::BindSocket(first, At(Loopback(163), 16903)), 0);
    EXPECT_EQ(platform::BindSocket(second, At(Loopback(163), 16903)), -1);
    EXPECT_EQ(platform::BindSocket(second, At(Loopback(163), 16904)), 0);
    platform::CloseSocket(first);
    platform::CloseSocket(second);
}

// TCP as the HTTP exchange uses it: connect from a bound local address and port, send, read
// until the peer closes (0); and a connection nobody accepts is refused.
TEST_F(Win32NetTest, TcpExchangeUntilThePeerCloses) {
    // platform/net.h has no listen or accept (the utility never listens on TCP): the peer is
    // a plain Winsock listener.
    SOCKET listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in listenAt = {};
    listenAt.sin_family = AF_INET;
    listenAt.sin_port = htons(16906);
    listenAt.sin_addr.s_addr = Loopback(165);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&listenAt), sizeof listenAt), 0);
    ASSERT_EQ(::listen(listener, 1), 0);

    platform::Socket client = platform::OpenTcpSocket();
    ASSERT_NE(client, platform::kInvalidSocket);
    ASSERT_EQ(platform::BindSocket(client, At(Loopback(164), 16905)), 0);
    ASSERT_EQ(platform::ConnectSocket(client, At(Loopback(165), 16906)), 0);
    sockaddr_in peer = {};
    int peerLength = sizeof peer;
    SOCKET served = ::accept(listener, reinterpret_cast<sockaddr*>(&peer), &peerLength);
    ASSERT_NE(served, INVALID_SOCKET);
    EXPECT_EQ(peer.sin_addr.s_addr, Loopback(164));
    EXPECT_EQ(ntohs(peer.sin_port), 16905);

    EXPECT_EQ(platform::SendBytes(client, "GET / HTTP/1.1\r\n\r\n", 18), 18);
    char request[64] = {};
    EXPECT_EQ(::recv(served, request, sizeof request, 0), 18);
    const char answer[] = "HTTP/1.1 200 OK\r\n\r\nbody";
    EXPECT_EQ(::send(served, answer, sizeof answer - 1, 0), static_cast<int>(sizeof answer - 1));
    ::closesocket(served);

    std::string received;
    char buffer[8];
    for (int reads = 0; reads < 100; ++reads) {
        int n = platform::ReceiveBytes(client, buffer, sizeof buffer);
        ASSERT_GE(n, 0);
        if (n == 0) {
            break;
        }
        received.append(buffer, n);
    }
    EXPECT_EQ(received, answer);
    platform::CloseSocket(client);
    ::closesocket(listener);

    platform::Socket refused = platform::OpenTcpSocket();
    EXPECT_EQ(platform::ConnectSocket(refused, At(Loopback(165), 16907)), -1);
    platform::CloseSocket(refused);
}

}  // namespace
