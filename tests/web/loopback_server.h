// A one-connection HTTP server on a loopback address for the exchange tests: it records the
// request bytes and the client's port, sends a canned answer and closes the connection.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <thread>

namespace webtest {

inline std::uint32_t Loopback(int last) {
    return 0x7f000000u | static_cast<std::uint32_t>(last);
}

struct LoopbackServer {
    int listener = -1;
    std::uint16_t port = 0;  // host order, chosen by the system
    std::string request;     // bytes received up to the blank line
    std::uint16_t clientPort = 0;
    std::thread thread;

    // Listens on 127.0.0.`last` with a free port.
    explicit LoopbackServer(int last) {
        listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int on = 1;
        ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(Loopback(last));
        ::bind(listener, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        ::listen(listener, 4);
        socklen_t len = sizeof sa;
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&sa), &len);
        port = ntohs(sa.sin_port);
    }

    // Serves one connection on a thread: reads the request (bounded in size and time), then
    // sends `answer` and closes.
    void ServeOnce(std::string answer) {
        thread = std::thread([this, answer = std::move(answer)] {
            pollfd p{listener, POLLIN, 0};
            if (::poll(&p, 1, 5000) <= 0) {
                return;
            }
            sockaddr_in peer{};
            socklen_t len = sizeof peer;
            int c = ::accept(listener, reinterpret_cast<sockaddr*>(&peer), &len);
            if (c < 0) {
                return;
            }
            clientPort = ntohs(peer.sin_port);
            char buffer[4096];
            while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
                pollfd q{c, POLLIN, 0};
                if (::poll(&q, 1, 5000) <= 0) {
                    break;
                }
                ssize_t n = ::recv(c, buffer, sizeof buffer, 0);
                if (n <= 0) {
                    break;
                }
                request.append(buffer, static_cast<std::size_t>(n));
            }
            for (std::size_t sent = 0; sent < answer.size();) {
                ssize_t n = ::send(c, answer.data() + sent, answer.size() - sent, MSG_NOSIGNAL);
                if (n <= 0) {
                    break;
                }
                sent += static_cast<std::size_t>(n);
            }
            ::close(c);
        });
    }

    void Wait() {
        if (thread.joinable()) {
            thread.join();
        }
    }

    ~LoopbackServer() {
        Wait();
        ::close(listener);
    }
};

}  // namespace webtest
