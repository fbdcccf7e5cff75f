// Test peers of the firmware server on loopback: a raw TFTP client that lets a test decide every
// packet, and a device status page that answers the check after flashing.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tftptest {

inline std::uint32_t Loopback(int last) {
    return 0x7f000000u | static_cast<std::uint32_t>(last);
}

inline sockaddr_in SocketAddressOf(std::uint32_t hostOrder, std::uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(hostOrder);
    sa.sin_port = htons(port);
    return sa;
}

// A UDP socket on a loopback address (port 0: any free one).
class UdpPeer {
  public:
    explicit UdpPeer(std::uint32_t address, std::uint16_t port = 0) {
        fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in local = SocketAddressOf(address, port);
        bound_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
    }
    ~UdpPeer() { ::close(fd_); }
    UdpPeer(const UdpPeer&) = delete;
    UdpPeer& operator=(const UdpPeer&) = delete;

    bool Bound() const { return bound_; }

    void SendTo(const std::string& bytes, std::uint32_t address, std::uint16_t port) {
        sockaddr_in to = SocketAddressOf(address, port);
        ::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }

    // The next datagram within timeoutMs of real time, or nullopt-like empty + false.
    bool Receive(std::string* bytes, int timeoutMs, std::uint16_t* fromPort = nullptr) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0) {
            return false;
        }
        char buffer[2048];
        sockaddr_in from{};
        socklen_t length = sizeof from;
        ssize_t n =
            ::recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
        if (n < 0) {
            return false;
        }
        bytes->assign(buffer, static_cast<std::size_t>(n));
        if (fromPort != nullptr) {
            *fromPort = ntohs(from.sin_port);
        }
        return true;
    }

  private:
    int fd_ = -1;
    bool bound_ = false;
};

inline std::string ReadRequest(const std::string& name) {
    static const char kModeAndOptions[] =
        "octet\0tsize\0"
        "0\0timeout\0"
        "5";
    return std::string("\0\1", 2) + name + std::string(1, '\0') +
           std::string(kModeAndOptions, sizeof kModeAndOptions);
}

inline std::string Ack(unsigned block) {
    return std::string{'\0', '\4', static_cast<char>(block >> 8), static_cast<char>(block & 0xff)};
}

inline unsigned Opcode(const std::string& p) {
    return p.size() < 2
               ? 0
               : (static_cast<unsigned char>(p[0]) << 8) | static_cast<unsigned char>(p[1]);
}

inline unsigned BlockNumber(const std::string& p) {
    return p.size() < 4
               ? 0
               : (static_cast<unsigned char>(p[2]) << 8) | static_cast<unsigned char>(p[3]);
}

// The device's web server on port 80 of a loopback address: answers every request with a status
// page whose software version is `version()` at the time of the request. Serves on its own
// thread until destroyed.
class StatusPage {
  public:
    StatusPage(std::uint32_t address, std::function<std::string()> version)
        : version_(std::move(version)) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int on = 1;
        ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in sa = SocketAddressOf(address, 80);
        listening_ = ::bind(listener_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 &&
                     ::listen(listener_, 8) == 0;
        thread_ = std::thread([this] { Serve(); });
    }
    ~StatusPage() {
        stop_ = true;
        thread_.join();
        ::close(listener_);
    }

    bool Listening() const { return listening_; }
    int Requests() const { return requests_.load(); }

  private:
    void Serve() {
        while (!stop_) {
            pollfd p{listener_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) {
                continue;
            }
            int c = ::accept(listener_, nullptr, nullptr);
            if (c < 0) {
                continue;
            }
            std::string request;
            char buffer[2048];
            for (int turns = 0; turns < 100 && request.find("\r\n\r\n") == std::string::npos;
                 ++turns) {
                pollfd q{c, POLLIN, 0};
                if (::poll(&q, 1, 50) <= 0) {
                    continue;
                }
                ssize_t n = ::recv(c, buffer, sizeof buffer, 0);
                if (n <= 0) {
                    break;
                }
                request.append(buffer, static_cast<std::size_t>(n));
            }
            ++requests_;
            std::string page =
                "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n\r\n"
                "<html><table><tr><td>Product Name:</td><td>ZEB-6600</td></tr>"
                "<tr><td>MAC Address:</td><td>00:0b:82:00:00:01</td></tr>"
                "<tr><td>Software Version:</td><td>" +
                version_() +
                "</td></tr><tr><td>Hardware Version:</td><td>V2.1</td></tr>"
                "<tr><td>Serial Number:</td><td>ZEB0001</td></tr></table></html>";
            ::send(c, page.data(), page.size(), MSG_NOSIGNAL);
            ::close(c);
        }
    }

    std::function<std::string()> version_;
    int listener_ = -1;
    bool listening_ = false;
    std::atomic<bool> stop_{false};
    std::atomic<int> requests_{0};
    std::thread thread_;
};

}  // namespace tftptest
