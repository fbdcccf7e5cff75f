// The exchange's two fatal failures, each in a child process since they end it.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "app/upgrade_state.h"
#include "tests/support/child_process.h"
#include "tests/support/scripted_user.h"
#include "tests/web/loopback_server.h"
#include "web/http_exchange.h"

namespace {

constexpr int kLast = 59;  // 127.0.0.59

// The user presses OK on the box when it comes (the transcript records the box), then waits for
// the process to end: a thread that ended while a test has used up every descriptor would trip
// the sanitizers' type check, which needs descriptors of its own.
void DismissTheBox() {
    std::thread([] {
        ScriptedUser user;
        user.WaitForMessageBox();
        user.Dismiss();
        std::this_thread::sleep_for(std::chrono::seconds(30));
    }).detach();
}

int BindLocalPort(std::uint16_t port) {
    int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(webtest::Loopback(kLast));
    sa.sin_port = htons(port);
    return ::bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 ? s : -1;
}

}  // namespace

TEST(DeviceConnectionFatalTest, LastFreePortIsUsedThenNoneIsLeft) {
    ChildResult child = RunInChild(
        [] {
            for (int port = 23456; port < 23556; ++port) {
                if (BindLocalPort(static_cast<std::uint16_t>(port)) < 0) {
                    TranscriptLine("could not take %d", port);
                }
            }
            webtest::LoopbackServer server(kLast);
            server.ServeOnce("HTTP/1.1 200 OK\r\n\r\n");
            platform::Socket s = OpenDeviceConnection(webtest::Loopback(kLast), 23456,
                                                      webtest::Loopback(kLast), server.port);
            platform::CloseSocket(s);
            server.Wait();
            TranscriptLine("connected from %u", server.clientPort);

            BindLocalPort(23556);
            DismissTheBox();
            OpenDeviceConnection(webtest::Loopback(kLast), 23456, webtest::Loopback(kLast),
                                 server.port);
            TranscriptLine("still running");
        },
        20000);
    EXPECT_EQ(child.exitCode, 0);
    EXPECT_EQ(child.transcript,
              "connected from 23556\n"
              "box \"ZEB Firwmare Upgrade Error\" \"Upgrade Failed: Can't bind HTTP socket\"\n"
              "close box \"ZEB Firwmare Upgrade Error\"\n");
}

TEST(DeviceConnectionFatalTest, NoSocketLeft) {
    ChildResult child = RunInChild(
        [] {
            DismissTheBox();
            // Use up every descriptor the process may have, so that no socket can be made.
            while (::dup(0) >= 0) {
            }
            OpenDeviceConnection(webtest::Loopback(kLast), 23456, webtest::Loopback(kLast), 80);
            TranscriptLine("still running");
        },
        20000);
    EXPECT_EQ(child.exitCode, 0);
    EXPECT_NE(child.transcript.find(
                  "box \"ZEB Firwmare Upgrade Error\" \"Upgrade Failed: Can't open HTTP socket\""),
              std::string::npos)
        << child.transcript;
    EXPECT_EQ(child.transcript.find("still running"), std::string::npos);
}
