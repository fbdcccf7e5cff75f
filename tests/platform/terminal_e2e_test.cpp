// The real utility under a real terminal (tmux): what a person at a shell sees and types.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "platform/local_addresses.h"
#include "tests/support/terminal_session.h"

namespace {

constexpr int kTimeoutMs = 10000;
constexpr const char* kWarningFirstLine = "WARNING: Forcing a firmware upgrade on your ZEB";

// Whether `label` is drawn in reverse video (the focus): the attribute sequence right before it
// carries the parameter 7.
bool Highlighted(const std::string& screenWithAttributes, const std::string& label) {
    std::size_t at = screenWithAttributes.find(label);
    if (at == std::string::npos || at == 0 || screenWithAttributes[at - 1] != 'm') {
        return false;
    }
    std::size_t start = screenWithAttributes.rfind("\033[", at);
    if (start == std::string::npos) {
        return false;
    }
    std::string parameters = screenWithAttributes.substr(start + 2, at - 1 - (start + 2));
    std::size_t from = 0;
    for (;;) {
        std::size_t end = parameters.find(';', from);
        if (parameters.substr(from, end == std::string::npos ? end : end - from) == "7") {
            return true;
        }
        if (end == std::string::npos) {
            return false;
        }
        from = end + 1;
    }
}

class TerminalEndToEndTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!testsupport::TmuxAvailable()) {
            GTEST_SKIP() << "tmux is not installed";
        }
        ASSERT_TRUE(testsupport::StartTerminalSession(&session_, {ZEBUPGRADE_PATH}, 100, 40));
    }
    void TearDown() override { testsupport::EndTerminalSession(&session_); }

    std::string WaitFor(const std::string& text) {
        std::string screen;
        EXPECT_TRUE(testsupport::WaitForScreen(session_, text, kTimeoutMs, &screen))
            << "waiting for \"" << text << "\" on this screen:\n"
            << screen;
        return screen;
    }

    // Waits (bounded) until `text` has left the screen.
    bool WaitUntilGone(const std::string& text) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTimeoutMs);
        while (testsupport::CaptureScreen(session_).find(text) != std::string::npos) {
            if (std::chrono::steady_clock::now() >= deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return true;
    }

    bool WaitForHighlight(const std::string& label) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTimeoutMs);
        while (!Highlighted(testsupport::CaptureScreen(session_, true), label)) {
            if (std::chrono::steady_clock::now() >= deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return true;
    }

    void ExpectCleanExit() {
        EXPECT_EQ(testsupport::WaitForExitCode(session_, kTimeoutMs), 0);
        EXPECT_TRUE(testsupport::TerminalModesRestored(session_));
    }

    testsupport::TerminalSession session_;
};

TEST_F(TerminalEndToEndTest, WarningOpensOnCancelAndEnterEndsTheProgram) {
    std::string screen = WaitFor(kWarningFirstLine);
    EXPECT_NE(screen.find("Firmware Upgrade"), std::string::npos);
    // The widest line of the warning shows whole.
    EXPECT_NE(screen.find("automatically provided by your service provider without"),
              std::string::npos);
    EXPECT_NE(screen.find("< Continue >"), std::string::npos);
    // Cancel is the default button and has the focus.
    EXPECT_TRUE(WaitForHighlight("<[Cancel]>")) << testsupport::CaptureScreen(session_);
    EXPECT_FALSE(Highlighted(testsupport::CaptureScreen(session_, true), "< Continue >"));

    testsupport::SendKeys(session_, {"Enter"});
    ExpectCleanExit();
}

TEST_F(TerminalEndToEndTest, AddressDialogListsAddressesAndRejectsAnInvalidOne) {
    WaitFor(kWarningFirstLine);
    // Shift-Tab to Continue, which then is the button Enter presses.
    testsupport::SendKeys(session_, {"BTab"});
    ASSERT_TRUE(WaitForHighlight("<[Continue]>"));
    testsupport::SendKeys(session_, {"Enter"});

    std::string screen = WaitFor("Version " ZEB_DEFAULT_IMAGE_VERSION);
    EXPECT_NE(screen.find("Please enter IP address of your ZEB:"), std::string::npos);
    // The drop-down list shows the first local address; dropped down (Shift-Tab reaches it from
    // the address entry, F4 opens it) it shows them all.
    std::uint32_t addresses[8];
    int count = platform::ListLocalIPv4Addresses(addresses, 8);
    ASSERT_GT(count, 0);
    std::vector<std::string> dotted;
    for (int i = 0; i < count; ++i) {
        char text[INET_ADDRSTRLEN];
        in_addr a{};
        a.s_addr = addresses[i];
        dotted.push_back(inet_ntop(AF_INET, &a, text, sizeof text));
    }
    EXPECT_NE(screen.find("[" + dotted[0]), std::string::npos) << screen;
    testsupport::SendKeys(session_, {"BTab", "F4"});
    screen = WaitFor("|" + dotted[0]);
    for (const std::string& address : dotted) {
        EXPECT_NE(screen.find("|" + address), std::string::npos) << address << "\n" << screen;
    }
    // Escape folds the list without cancelling the dialog.
    testsupport::SendKeys(session_, {"Escape"});
    ASSERT_TRUE(WaitUntilGone("|" + dotted[0]));
    EXPECT_NE(testsupport::CaptureScreen(session_).find("Version"), std::string::npos);

    // Back to the blank address entry: OK on it gives the error box, which Enter dismisses.
    testsupport::SendKeys(session_, {"Tab", "Enter"});
    screen = WaitFor("Invalid IP Address");
    EXPECT_NE(screen.find(" Error "), std::string::npos) << screen;
    EXPECT_NE(screen.find("< OK >"), std::string::npos) << screen;
    testsupport::SendKeys(session_, {"Enter"});
    ASSERT_TRUE(WaitUntilGone("Invalid IP Address"));
    EXPECT_NE(testsupport::CaptureScreen(session_).find("Version"), std::string::npos);

    testsupport::SendKeys(session_, {"Escape"});
    ExpectCleanExit();
}

// Ctrl-C is the close box of the top dialog: on the warning it cancels, and the program ends
// with the terminal as it was.
TEST_F(TerminalEndToEndTest, CtrlCClosesTheWarning) {
    WaitFor(kWarningFirstLine);
    testsupport::SendKeys(session_, {"C-c"});
    ExpectCleanExit();
}

}  // namespace
