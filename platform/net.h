// Berkeley-style IPv4 sockets, the shape of Winsock 1.1. POSIX and Win32 implement it.
#pragma once

#include <bit>
#include <cstdint>

namespace platform {

using Socket = std::intptr_t;
inline constexpr Socket kInvalidSocket = -1;
inline constexpr std::uint16_t kAddressFamilyIPv4 = 2;

// An IPv4 socket address with address and port in network byte order, as on the wire.
struct SocketAddress {
    std::uint16_t family = kAddressFamilyIPv4;
    std::uint16_t portNetworkOrder = 0;
    std::uint32_t addressNetworkOrder = 0;
};

constexpr std::uint32_t ByteSwap32(std::uint32_t v) {
    return (v >> 24) | ((v >> 8) & 0xff00u) | ((v << 8) & 0xff0000u) | (v << 24);
}
constexpr std::uint16_t ByteSwap16(std::uint16_t v) {
    return static_cast<std::uint16_t>((v >> 8) | (v << 8));
}
constexpr std::uint32_t HostToNetwork32(std::uint32_t v) {
    return std::endian::native == std::endian::little ? ByteSwap32(v) : v;
}
constexpr std::uint16_t HostToNetwork16(std::uint16_t v) {
    return std::endian::native == std::endian::little ? ByteSwap16(v) : v;
}
constexpr std::uint32_t NetworkToHost32(std::uint32_t v) { return HostToNetwork32(v); }
constexpr std::uint16_t NetworkToHost16(std::uint16_t v) { return HostToNetwork16(v); }

// Starts the socket layer (WSAStartup 1.1 on Windows, nothing on POSIX). False on failure.
bool StartNetworking();

Socket OpenTcpSocket();  // kInvalidSocket on failure
Socket OpenUdpSocket();  // kInvalidSocket on failure
int BindSocket(Socket s, const SocketAddress& local);       // 0 on success
int ConnectSocket(Socket s, const SocketAddress& remote);  // 0 on success; blocking
int SendBytes(Socket s, const void* data, int length);     // bytes sent or -1
// Bytes received (> 0), 0 when the peer closed the connection, -1 on error.
int ReceiveBytes(Socket s, void* buffer, int capacity);
int SendDatagram(Socket s, const void* data, int length, const SocketAddress& to);
// Length of the datagram stored (at most capacity; a longer datagram is cut to capacity),
// or -1 when none was waiting (non-blocking) or on error.
int ReceiveDatagram(Socket s, void* buffer, int capacity, SocketAddress* from);
bool SetNonBlocking(Socket s, bool on);
// Waits at most timeoutMs for the socket to become readable. True when it is.
bool WaitReadable(Socket s, std::uint32_t timeoutMs);
void CloseSocket(Socket s);

}  // namespace platform
