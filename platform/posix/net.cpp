// POSIX sockets behind platform/net.h.
#include "platform/net.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

#include "platform/posix/time_scale.h"
#include "platform/test_hooks.h"

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

Socket OpenSocket(int type) {
    int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
    return fd < 0 ? kInvalidSocket : fd;
}

}  // namespace

namespace testing {
void SetNetworkingFails(bool fails) { gNetworkingFails = fails; }
}  // namespace testing

bool StartNetworking() { return !gNetworkingFails.load(); }

Socket OpenTcpSocket() { return OpenSocket(SOCK_STREAM); }
Socket OpenUdpSocket() { return OpenSocket(SOCK_DGRAM); }

int BindSocket(Socket s, const SocketAddress& local) {
    sockaddr_in sa = ToSockaddr(local);
    return ::bind(static_cast<int>(s), reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 ? 0 : -1;
}

int ConnectSocket(Socket s, const SocketAddress& remote) {
    sockaddr_in sa = ToSockaddr(remote);
    int r;
    do {
        r = ::connect(static_cast<int>(s), reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    } while (r != 0 && errno == EINTR);
    return r == 0 ? 0 : -1;
}

int SendBytes(Socket s, const void* data, int length) {
    ssize_t n = ::send(static_cast<int>(s), data, static_cast<size_t>(length), MSG_NOSIGNAL);
    return n < 0 ? -1 : static_cast<int>(n);
}

int ReceiveBytes(Socket s, void* buffer, int capacity) {
    ssize_t n;
    do {
        n = ::recv(static_cast<int>(s), buffer, static_cast<size_t>(capacity), 0);
    } while (n < 0 && errno == EINTR);
    return n < 0 ? -1 : static_cast<int>(n);
}

int SendDatagram(Socket s, const void* data, int length, const SocketAddress& to) {
    sockaddr_in sa = ToSockaddr(to);
    ssize_t n = ::sendto(static_cast<int>(s), data, static_cast<size_t>(length), MSG_NOSIGNAL,
                         reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    return n < 0 ? -1 : static_cast<int>(n);
}

int ReceiveDatagram(Socket s, void* buffer, int capacity, SocketAddress* from) {
    sockaddr_in sa;
    socklen_t len = sizeof sa;
    std::memset(&sa, 0, sizeof sa);
    ssize_t n = ::recvfrom(static_cast<int>(s), buffer, static_cast<size_t>(capacity), 0,
                           reinterpret_cast<sockaddr*>(&sa), &len);
    if (n < 0) {
        return -1;
    }
    if (from != nullptr) {
        from->family = kAddressFamilyIPv4;
        from->portNetworkOrder = sa.sin_port;
        from->addressNetworkOrder = sa.sin_addr.s_addr;
    }
    // recvfrom already cuts a longer datagram to the capacity and returns the stored length.
    return static_cast<int>(n);
}

bool SetNonBlocking(Socket s, bool on) {
    int fd = static_cast<int>(s);
    int flags = ::fcntl(fd, F_GETFL, 0);
    if (flags < 0) {
        return false;
    }
    flags = on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return ::fcntl(fd, F_SETFL, flags) == 0;
}

bool WaitReadable(Socket s, std::uint32_t timeoutMs) {
    // The wait shrinks with the test seam's time scale, as sleeps do.
    std::uint64_t micros = static_cast<std::uint64_t>(timeoutMs) * 1000u / TimeScale();
    timespec limit{static_cast<time_t>(micros / 1000000u),
                   static_cast<long>(micros % 1000000u) * 1000};
    pollfd p{static_cast<int>(s), POLLIN, 0};
    int r = ::ppoll(&p, 1, &limit, nullptr);
    return r > 0 && (p.revents & (POLLIN | POLLERR | POLLHUP)) != 0;
}

void CloseSocket(Socket s) {
    if (s != kInvalidSocket) {
        ::close(static_cast<int>(s));
    }
}

}  // namespace platform
