// Windows Sockets 1.1 behind platform/net.h.
#include "platform/net.h"

#include <winsock.h>

#include <atomic>
#include <cstring>

#include "platform/test_hooks.h"
#include "platform/win32/time_scale.h"

namespace platform {
namespace {

std::atomic<bool> gNetworkingFails{false};

sockaddr_in ToSockaddr(const SocketAddress& a) {
    sockaddr_in sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sin_family = AF_INET;
    sa.sin_port = a.portNetworkOrder;
    sa.sin_addr.s_addr = a.addressNetworkOrder;
    return sa;
}

SOCKET Native(Socket s) {
    return static_cast<SOCKET>(s);
}

Socket OpenSocket(int type) {
    SOCKET s = ::socket(AF_INET, type, 0);
    return s == INVALID_SOCKET ? kInvalidSocket : static_cast<Socket>(s);
}

}  // namespace

namespace testing {
void SetNetworkingFails(bool fails) {
    gNetworkingFails = fails;
}
}  // namespace testing

bool StartNetworking() {
    if (gNetworkingFails.load()) {
        return false;
    }
    WSADATA data;
    return ::WSAStartup(0x0101, &data) == 0;
}

Socket OpenTcpSocket() {
    return OpenSocket(SOCK_STREAM);
}
Socket OpenUdpSocket() {
    return OpenSocket(SOCK_DGRAM);
}

int BindSocket(Socket s, const SocketAddress& local) {
    sockaddr_in sa = ToSockaddr(local);
    return ::bind(Native(s), reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 ? 0 : -1;
}

int ConnectSocket(Socket s, const SocketAddress& remote) {
    sockaddr_in sa = ToSockaddr(remote);
    return ::connect(Native(s), reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 ? 0 : -1;
}

int SendBytes(Socket s, const void* data, int length) {
    int n = ::send(Native(s), static_cast<const char*>(data), length, 0);
    return n == SOCKET_ERROR ? -1 : n;
}

int ReceiveBytes(Socket s, void* buffer, int capacity) {
    int n = ::recv(Native(s), static_cast<char*>(buffer), capacity, 0);
    return n == SOCKET_ERROR ? -1 : n;
}

int SendDatagram(Socket s, const void* data, int length, const SocketAddress& to) {
    sockaddr_in sa = ToSockaddr(to);
    int n = ::sendto(Native(s), static_cast<const char*>(data), length, 0,
                     reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    return n == SOCKET_ERROR ? -1 : n;
}

int ReceiveDatagram(Socket s, void* buffer, int capacity, SocketAddress* from) {
    sockaddr_in sa;
    int len = sizeof sa;
    std::memset(&sa, 0, sizeof sa);
    int n = ::recvfrom(Native(s), static_cast<char*>(buffer), capacity, 0,
                       reinterpret_cast<sockaddr*>(&sa), &len);
    if (n == SOCKET_ERROR) {
        // Winsock fills the buffer with the first `capacity` bytes of a longer datagram, drops
        // the rest and reports WSAEMSGSIZE: that is a datagram cut to the capacity.
        if (::WSAGetLastError() != WSAEMSGSIZE) {
            return -1;
        }
        n = capacity;
    }
    if (from != nullptr) {
        from->family = kAddressFamilyIPv4;
        from->portNetworkOrder = sa.sin_port;
        from->addressNetworkOrder = sa.sin_addr.s_addr;
    }
    return n;
}

bool SetNonBlocking(Socket s, bool on) {
    u_long mode = on ? 1 : 0;
    return ::ioctlsocket(Native(s), FIONBIO, &mode) == 0;
}

bool WaitReadable(Socket s, std::uint32_t timeoutMs) {
    // The wait shrinks with the test seam's time scale, as sleeps do.
    std::uint64_t micros = static_cast<std::uint64_t>(timeoutMs) * 1000u / TimeScale();
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(Native(s), &readable);
    timeval timeout;
    timeout.tv_sec = static_cast<long>(micros / 1000000u);
    timeout.tv_usec = static_cast<long>(micros % 1000000u);
    return ::select(0, &readable, nullptr, nullptr, &timeout) > 0;
}

void CloseSocket(Socket s) {
    if (s != kInvalidSocket) {
        ::closesocket(Native(s));
    }
}

}  // namespace platform
