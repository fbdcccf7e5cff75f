// The real program in a real terminal, at real speed: a person's keystrokes carry a
// password-protected upgrade of the simulated device through to the success dialog.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/simulated_device.h"
#include "tests/support/terminal_session.h"

namespace {

constexpr int kStepMs = 15000;
// The device flashes while the program counts its 29.984-second wait on the real clock.
constexpr int kFlashingMs = 60000;

class TerminalUpgradeTest : public ::testing::Test {
  protected:
    void TearDown() override { testsupport::EndTerminalSession(&session_); }

    void WaitFor(const std::string& text, int timeoutMs = kStepMs) {
        std::string screen;
        ASSERT_TRUE(testsupport::WaitForScreen(session_, text, timeoutMs, &screen))
            << "waiting for \"" << text << "\" on this screen:\n"
            << screen << "\nsimulator log:\n"
            << device_.Log();
    }

    testsupport::TerminalSession session_;
    SimulatedDevice device_;
};

TEST_F(TerminalUpgradeTest, KeystrokesCarryAPasswordProtectedUpgradeToSuccess) {
    if (!testsupport::TmuxAvailable()) {
        GTEST_SKIP() << "tmux is not installed";
    }
    ASSERT_TRUE(device_.Start({"--address", "127.0.0.3", "--password", "letmein"}));
    ASSERT_TRUE(testsupport::StartTerminalSession(&session_, {ZEBUPGRADE_PATH}, 100, 40));

    WaitFor("WARNING: Forcing a firmware upgrade");
    testsupport::SendKeys(session_, {"BTab", "Enter"});  // Continue

    // The device address, then this computer's loopback address: the last of the local list.
    WaitFor("Please enter IP address of your ZEB:");
    testsupport::SendText(session_, "127.0.0.3");
    testsupport::SendKeys(session_,
                          {"BTab", "Down", "Down", "Down", "Down", "Down", "Down", "Down", "Down"});
    WaitFor("127.0.0.1");
    testsupport::SendKeys(session_, {"Enter"});

    WaitFor("Enter Password Information");
    testsupport::SendText(session_, "letmein");
    testsupport::SendKeys(session_, {"Enter"});

    WaitFor("Confirm Upgrade to Ver. " ZEB_DEFAULT_IMAGE_VERSION);
    testsupport::SendKeys(session_, {"Enter"});  // Upgrade

    WaitFor("Updating Target Firmware to ZEB@127.0.0.3");
    WaitFor("ZEB@127.0.0.3 Upgrade Successful!", kFlashingMs);
    WaitFor(ZEB_DEFAULT_IMAGE_VERSION);
    testsupport::SendKeys(session_, {"Enter"});

    EXPECT_EQ(testsupport::WaitForExitCode(session_, kStepMs), 0);
    EXPECT_TRUE(testsupport::TerminalModesRestored(session_));
    EXPECT_EQ(device_.LogValue("fetch complete", "sha256"), Sha256OfFile(ZEB_PROGRAM_TARGET_IMAGE))
        << device_.Log();
    EXPECT_NE(device_.Log().find("auth=ok"), std::string::npos) << device_.Log();
}

}  // namespace
