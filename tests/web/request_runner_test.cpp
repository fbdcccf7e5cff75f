// The request runner with a person at the virtual desktop: each run happens in a child process,
// since Cancel ends the process, and the transcript shows the dialogs in the order they opened.
#include "web/request_runner.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include "app/upgrade_state.h"
#include "platform/test_hooks.h"
#include "tests/support/child_process.h"
#include "tests/support/scripted_user.h"
#include "tests/support/simulated_device.h"
#include "ui/dialog_ids.h"

namespace {

constexpr std::uint16_t kDevicePort = 18080;
constexpr int kControlUserName = 1003;
constexpr int kControlPassword = 1005;

std::uint32_t Loopback(int last) {
    return 0x7f000000u | static_cast<std::uint32_t>(last);
}

std::vector<std::string> DeviceArguments(int last, std::vector<std::string> extra) {
    std::vector<std::string> arguments = {"--address", "127.0.0." + std::to_string(last), "--port",
                                          std::to_string(kDevicePort)};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return arguments;
}

// In a child: the user's script runs on its own thread while RunDeviceRequest runs on the
// child's main thread against 127.0.0.`last`, with `typedAddress` as the address the user typed.
// The result, the nonce count and the scraped version end the transcript.
ChildResult RunRequest(int last, const char* typedAddress,
                       std::function<void(ScriptedUser&)> script, int timeoutMs = 30000) {
    return RunInChild(
        [=] {
            std::snprintf(gUpgradeState.deviceAddressText, sizeof gUpgradeState.deviceAddressText,
                          "%s", typedAddress);
            std::thread([script] {
                ScriptedUser user;
                script(user);
            }).detach();
            std::int32_t result =
                RunDeviceRequest(nullptr, Loopback(last), 23456, Loopback(last), kDevicePort,
                                 "/admin/advanced", gUpgradeState.responseArea, kResponseCapacity);
            TranscriptLine("result %s nc %u version %s",
                           result > 0 ? "answer" : std::to_string(result).c_str(),
                           gUpgradeState.digest.nonceCount,
                           gUpgradeState.deviceInfo.softwareVersion);
        },
        timeoutMs);
}

// The template numbers of the dialogs that opened, in order: "105 104 105".
std::string Opened(const std::string& transcript) {
    std::string ids;
    for (const std::string& line : TranscriptLines(transcript, "open ")) {
        ids += (ids.empty() ? "" : " ") + line.substr(5, 3);
    }
    return ids;
}

bool HasLine(const std::string& transcript, const std::string& line) {
    return ("\n" + transcript).find("\n" + line + "\n") != std::string::npos;
}

// Waits until the password dialog has gone, so that the next wait finds the next one. The next
// one can only come after a whole attempt, which keeps the connecting dialog up for at least a
// turn of its loop.
void WaitUntilPasswordDialogGone(ScriptedUser& user) {
    user.WaitUntil(
        [](const std::vector<platform::desktop::WindowView>& windows) {
            for (const auto& w : windows) {
                if (w.templateId == kDialogPassword) {
                    return false;
                }
            }
            return true;
        },
        "the password dialog to close");
}

void EnterPassword(ScriptedUser& user, const char* password) {
    user.WaitForDialog(kDialogPassword);
    user.Type(password);
    user.Click(kControlOk);
    WaitUntilPasswordDialogGone(user);
}

}  // namespace

TEST(RequestRunnerTest, PasswordDialogAtOnceThenAuthorisedPage) {
    SimulatedDevice device;
    ASSERT_TRUE(device.Start(DeviceArguments(54, {"--password", "s3cret", "--nonce", "fixed"})));
    ChildResult child = RunRequest(54, "127.0.0.54", [](ScriptedUser& user) {
        platform::desktop::WindowView view = user.WaitForDialog(kDialogPassword);
        bool passwordFocused = false;
        for (const auto& control : view.controls) {
            passwordFocused |= control.id == kControlPassword && control.focused;
        }
        TranscriptLine("prompt user=%s focus=%d explains=%d", user.Text(kControlUserName).c_str(),
                       passwordFocused,
                       user.Text(kControlMainText).rfind("This ZEB requires a password", 0) == 0);
        user.Type("s3cret");
        user.Click(kControlOk);
    });
    EXPECT_EQ(child.exitCode, 0) << child.transcript;
    EXPECT_EQ(Opened(child.transcript), "105 104 105");
    EXPECT_TRUE(HasLine(child.transcript, "open 105 \"Connecting with ZEB@127.0.0.54\""))
        << child.transcript;
    EXPECT_TRUE(HasLine(child.transcript, "open 104 \"Enter Password Information\""));
    EXPECT_TRUE(HasLine(child.transcript, "prompt user=admin focus=1 explains=1"))
        << child.transcript;
    EXPECT_TRUE(HasLine(child.transcript, "result answer nc 1 version 3.0.18.0411"))
        << child.transcript;
    EXPECT_TRUE(device.WaitForLog("verify ok user=admin nc=000000001", 2000)) << device.Log();
}

TEST(RequestRunnerTest, WrongPasswordWithRepeatedNonceAsksAgainAtOnce) {
    SimulatedDevice device;
    ASSERT_TRUE(device.Start(DeviceArguments(55, {"--password", "s3cret", "--nonce", "fixed"})));
    ChildResult child = RunRequest(55, "127.0.0.55", [](ScriptedUser& user) {
        EnterPassword(user, "guess");
        user.WaitForDialog(kDialogPassword);
        TranscriptLine("again user=%s password=[%s]", user.Text(kControlUserName).c_str(),
                       user.Text(kControlPassword).c_str());
        user.Type("s3cret");
        user.Click(kControlOk);
    });
    EXPECT_EQ(child.exitCode, 0) << child.transcript;
    EXPECT_EQ(Opened(child.transcript), "105 104 105 104 105");
    EXPECT_TRUE(HasLine(child.transcript, "again user=admin password=[]")) << child.transcript;
    // The repeated nonce keeps the count running: the bad try used 1, the good one 2.
    EXPECT_TRUE(HasLine(child.transcript, "result answer nc 2 version 3.0.18.0411"))
        << child.transcript;
}

TEST(RequestRunnerTest, RotatingNonceGetsOneAutomaticRetryPerPrompt) {
    SimulatedDevice device;
    ASSERT_TRUE(device.Start(DeviceArguments(56, {"--password", "s3cret", "--nonce", "fresh"})));
    ChildResult child = RunRequest(56, "127.0.0.56", [](ScriptedUser& user) {
        EnterPassword(user, "guess");
        EnterPassword(user, "guess");
        EnterPassword(user, "s3cret");
    });
    EXPECT_EQ(child.exitCode, 0) << child.transcript;
    // No credentials; wrong with nonce 2, retried with nonce 3; again after OK; then right.
    EXPECT_EQ(Opened(child.transcript), "105 104 105 105 104 105 105 104 105");
    EXPECT_TRUE(HasLine(child.transcript, "result answer nc 1 version 3.0.18.0411"))
        << child.transcript;
}

TEST(RequestRunnerTest, EmptyPasswordSendsNoCredentialsAndCancelEnds) {
    SimulatedDevice device;
    ASSERT_TRUE(device.Start(DeviceArguments(57, {"--password", "s3cret"})));
    ChildResult child = RunRequest(57, "127.0.0.57", [](ScriptedUser& user) {
        user.WaitForDialog(kDialogPassword);
        user.Click(kControlOk);
        WaitUntilPasswordDialogGone(user);
        user.WaitForDialog(kDialogPassword);
        user.Click(kControlCancel);
        user.WaitForMessageBox();
        user.Dismiss();
    });
    EXPECT_EQ(child.exitCode, 0);
    EXPECT_FALSE(child.timedOut);
    EXPECT_EQ(Opened(child.transcript), "105 104 105 104");
    EXPECT_TRUE(HasLine(child.transcript,
                        "box \"ZEB Firwmare Upgrade Error\" \"Upgrade Failed: User Abort\""))
        << child.transcript;
    EXPECT_TRUE(TranscriptLines(child.transcript, "result").empty());
    const std::string log = device.Log();
    EXPECT_EQ(log.find("auth=ok"), std::string::npos);
    EXPECT_EQ(log.find("verify"), std::string::npos) << log;  // never any credentials
}

TEST(RequestRunnerTest, CancelWhileConnectingEndsTheProcess) {
    // The device takes its time; meanwhile the bar moves and wraps, and the title shows the
    // address as typed although the request goes to another one.
    SimulatedDevice device;
    ASSERT_TRUE(device.Start(DeviceArguments(58, {"--fault", "stall", "--stall-ms", "20000"})));
    ChildResult child = RunRequest(58, "10.1.2.3", [](ScriptedUser& user) {
        platform::testing::SetTimeScale(20);
        user.WaitForDialog(kDialogConnecting);
        auto progress = [](const std::vector<platform::desktop::WindowView>& windows, auto test) {
            for (const auto& w : windows) {
                for (const auto& c : w.controls) {
                    if (w.templateId == kDialogConnecting && c.id == kControlProgress) {
                        return test(c);
                    }
                }
            }
            return false;
        };
        bool high = user.WaitUntil(
            [&](const auto& windows) {
                return progress(windows, [](const auto& c) {
                    return c.rangeMax == 100 && c.position >= 95 && c.position <= 100;
                });
            },
            "the bar near its end");
        bool wrapped = user.WaitUntil(
            [&](const auto& windows) {
                return progress(windows, [](const auto& c) { return c.position <= 3; });
            },
            "the bar back at its start");
        TranscriptLine("bar high=%d wrapped=%d", high, wrapped);
        user.Click(kControlCancel);
        user.WaitForMessageBox();
        user.Dismiss();
    });
    EXPECT_EQ(child.exitCode, 0);
    EXPECT_FALSE(child.timedOut);
    EXPECT_EQ(Opened(child.transcript), "105");
    EXPECT_TRUE(HasLine(child.transcript, "open 105 \"Connecting with ZEB@10.1.2.3\""))
        << child.transcript;
    EXPECT_TRUE(HasLine(child.transcript, "bar high=1 wrapped=1")) << child.transcript;
    EXPECT_TRUE(HasLine(child.transcript,
                        "box \"ZEB Firwmare Upgrade Error\" \"Upgrade Failed: User Abort\""));
    EXPECT_TRUE(TranscriptLines(child.transcript, "result").empty());
}

TEST(RequestRunnerTest, NoAnswerReturnsZeroAfterOneAttempt) {
    // Nothing listens on 127.0.0.38.
    ChildResult child = RunRequest(38, "127.0.0.38", [](ScriptedUser&) {});
    EXPECT_EQ(child.exitCode, 0);
    EXPECT_EQ(Opened(child.transcript), "105");
    EXPECT_TRUE(HasLine(child.transcript, "result 0 nc 0 version ")) << child.transcript;
}
