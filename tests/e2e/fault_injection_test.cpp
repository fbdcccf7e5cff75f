// The whole upgrade against a simulated device that misbehaves, on the TFTP side and on the HTTP
// side. Whatever the device does, a run ends either with the exact image on the device and the
// success dialog, or with a failure message and no success dialog; it never crashes, never hangs
// without a way out and never shows the success dialog over an image that arrived corrupted.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/upgrade_run.h"
#include "tests/support/simulated_device.h"
#include "ui/dialog_ids.h"

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

constexpr int kControlConfirmSoftware = 1004;
constexpr int kControlConfirmProduct = 1006;
constexpr const char* kPassword = "s3cret";

std::vector<std::string> DeviceArgs(const std::string& address, std::vector<std::string> extra) {
    std::vector<std::string> args = {"--address", address, "--flash-seconds", "1"};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

// Waits for the first of the given dialogs or a message box and makes it the current window.
// Returns its template (0 for a message box, -1 when nothing came in time).
int WaitForAnyOf(ScriptedUser& user, const std::vector<int>& dialogs) {
    int found = -1;
    user.WaitUntil(
        [&](const std::vector<platform::desktop::WindowView>& windows) {
            for (const auto& w : windows) {
                bool wanted = w.isMessageBox;
                for (int id : dialogs) {
                    wanted = wanted || w.templateId == id;
                }
                if (w.visible && w.enabled && wanted) {
                    found = w.isMessageBox ? 0 : w.templateId;
                    return true;
                }
            }
            return false;
        },
        "a dialog or a message box");
    if (found == 0) {
        user.WaitForMessageBox();
    } else if (found > 0) {
        user.WaitForDialog(found);
    }
    return found;
}

void WaitUntilClosed(ScriptedUser& user, platform::Hwnd dialog) {
    user.WaitUntil(
        [dialog](const std::vector<platform::desktop::WindowView>& windows) {
            for (const auto& w : windows) {
                if (w.handle == dialog) {
                    return false;
                }
            }
            return true;
        },
        "the dialog to close");
}

// --- TFTP: the transfer under loss, duplicates, strangers and a device that goes away ---

enum class Outcome {
    Success,  // the exact image on the device and the success dialog
    Failure,  // the failure message, no success dialog
};

struct TftpFaultCase {
    const char* name;
    const char* address;
    std::vector<std::string> deviceFlags;
    Outcome expected;
    const char* message;  // the failure message, for Outcome::Failure
};

const TftpFaultCase kTftpFaultCases[] = {
    {"TenPercentDataLoss",
     "127.0.0.170",
     {"--tftp-drop", "0.1", "--tftp-seed", "7"},
     Outcome::Success,
     nullptr},
    {"ThirtyPercentDataLoss",
     "127.0.0.171",
     {"--tftp-drop", "0.3", "--tftp-seed", "11"},
     Outcome::Success,
     nullptr},
    {"DuplicateAcks", "127.0.0.172", {"--tftp-duplicate-acks"}, Outcome::Success, nullptr},
    {"StrayDatagramsFromAnotherPort", "127.0.0.173", {"--tftp-stray"}, Outcome::Success, nullptr},
    {"ReadRequestFromTwoPortsAtOnce",
     "127.0.0.174",
     {"--tftp-two-ports"},
     Outcome::Success,
     nullptr},
    {"LossDuplicatesAndStraysTogether",
     "127.0.0.175",
     {"--tftp-drop", "0.3", "--tftp-seed", "13", "--tftp-duplicate-acks", "--tftp-stray"},
     Outcome::Success,
     nullptr},
    {"DeviceRestartsMidTransfer",
     "127.0.0.176",
     {"--tftp-stop-after", "700"},
     Outcome::Failure,
     "Upgrade Failed: Firmware Upload Incomplete"},
    {"DeviceRestartsAfterTheOptionAck",
     "127.0.0.177",
     {"--tftp-stop-after", "0"},
     Outcome::Failure,
     "Upgrade Failed: Firmware Upload Incomplete"},
};

class TftpFaultTest : public ::testing::TestWithParam<TftpFaultCase> {};

TEST_P(TftpFaultTest, EndsWithTheExactImageOrAFailureMessage) {
    const TftpFaultCase& c = GetParam();
    SimulatedDevice device;
    ASSERT_TRUE(device.Start(DeviceArgs(c.address, c.deviceFlags)));

    const std::string address = c.address;
    ChildResult run = RunUpgradeProgram(
        [&address](ScriptedUser& user) {
            PassWarningAndAddress(user, address, kDialogAddressAdapter);
            user.WaitForDialog(kDialogConfirmSingle);
            user.Click(kControlOk);
            user.SetTimeout(90000);
            if (WaitForAnyOf(user, {kDialogSuccess}) == kDialogSuccess) {
                TranscriptLine("success version=%s", user.Text(kControlConfirmSoftware).c_str());
                user.Click(kControlOk);
            } else {
                user.Dismiss();
            }
            WaitForTheEnd();
        },
        120000);

    EXPECT_FALSE(run.timedOut) << run.transcript;
    EXPECT_EQ(run.exitCode, 0) << run.transcript;
    const std::string& t = run.transcript;
    const std::string imageSha = Sha256OfFile(ZEB_TEST_TARGET_IMAGE);
    // Whatever the expected outcome: a success dialog only ever stands over the exact image.
    if (t.find("open 111") != std::string::npos) {
        EXPECT_EQ(device.LogValue("fetch complete", "sha256"), imageSha) << device.Log();
    }
    if (c.expected == Outcome::Success) {
        EXPECT_THAT(t, HasSubstr("success version=3.1.24.0710"));
        EXPECT_THAT(t, Not(HasSubstr("box ")));
        EXPECT_EQ(device.LogValue("fetch complete", "size"), "759100") << device.Log();
        EXPECT_EQ(device.LogValue("fetch complete", "sha256"), imageSha) << device.Log();
    } else {
        EXPECT_THAT(t, HasSubstr(std::string("box \"ZEB Firwmare Upgrade Error\" \"") + c.message));
        EXPECT_THAT(t, HasSubstr("title 110 \"Updating Target Firmware to ZEB@"));
        EXPECT_THAT(t, Not(HasSubstr("open 111")));
        EXPECT_THAT(device.Log(), Not(HasSubstr("fetch complete")));
    }
}

INSTANTIATE_TEST_SUITE_P(Transfer, TftpFaultTest, ::testing::ValuesIn(kTftpFaultCases),
                         [](const auto& info) { return std::string(info.param.name); });

// --- HTTP: hostile answers to the status request ---

struct HttpFaultCase {
    const char* name;
    const char* address;
    std::vector<std::string> deviceFlags;
    // What the run shows: the confirmation dialog with this product name ("" when the answer
    // held none), or, when `message` is set, that failure message and no confirmation.
    const char* product;
    const char* message;
    int passwordDialogs;  // how often the password dialog came
};

const HttpFaultCase kHttpFaultCases[] = {
    {"Garbage", "127.0.0.180", {"--fault", "garbage"}, "", nullptr, 0},
    {"StatusLineCutAfterTheVersion", "127.0.0.181", {"--fault", "truncated"}, "", nullptr, 0},
    {"OneMegabyteAnswer", "127.0.0.182", {"--fault", "huge"}, "ZEB-6600", nullptr, 0},
    {"LinesWithoutCr", "127.0.0.183", {"--fault", "bare-lf"}, "ZEB-6600", nullptr, 0},
    {"LinesWithoutCrBehindAPassword",
     "127.0.0.184",
     {"--fault", "bare-lf", "--password", kPassword},
     "ZEB-6600",
     nullptr,
     1},
    // The values are cut to their fields, so the device never accepts the answer: the password
    // dialog comes back until the user gives up.
    {"ChallengeWithValuesOf10000Characters",
     "127.0.0.185",
     {"--fault", "long-challenge", "--password", kPassword},
     nullptr,
     "Upgrade Failed: User Abort",
     2},
    {"ClosesWithoutAnswering",
     "127.0.0.186",
     {"--fault", "silent"},
     nullptr,
     "Upgrade Failed: No Response From ZEB",
     0},
};

class HttpFaultTest : public ::testing::TestWithParam<HttpFaultCase> {};

TEST_P(HttpFaultTest, KeepsGoingOrFailsWithItsMessage) {
    const HttpFaultCase& c = GetParam();
    SimulatedDevice device;
    ASSERT_TRUE(device.Start(DeviceArgs(c.address, c.deviceFlags)));

    const std::string address = c.address;
    ChildResult run = RunUpgradeProgram([&address](ScriptedUser& user) {
        PassWarningAndAddress(user, address, kDialogAddressAdapter);
        user.SetTimeout(30000);
        // The first password dialog gets the right password, a second one Cancel.
        for (int passwordDialogs = 0; passwordDialogs < 3;) {
            switch (WaitForAnyOf(user, {kDialogConfirmSingle, kDialogPassword})) {
                case kDialogPassword: {
                    TranscriptLine("password dialog");
                    platform::Hwnd dialog = user.Current();
                    if (++passwordDialogs == 1) {
                        user.Type(kPassword);
                        user.Press(platform::desktop::Key::Enter);
                    } else {
                        user.Click(kControlCancel);
                    }
                    WaitUntilClosed(user, dialog);
                    break;
                }
                case kDialogConfirmSingle:
                    TranscriptLine("confirm product=%s software=%s",
                                   user.Text(kControlConfirmProduct).c_str(),
                                   user.Text(kControlConfirmSoftware).c_str());
                    user.Click(kControlCancel);
                    DismissBox(user);
                    WaitForTheEnd();
                    return;
                default:
                    user.Dismiss();
                    WaitForTheEnd();
                    return;
            }
        }
    });

    EXPECT_FALSE(run.timedOut) << run.transcript;
    EXPECT_EQ(run.exitCode, 0) << run.transcript;
    const std::string& t = run.transcript;
    EXPECT_EQ(TranscriptLines(t, "password dialog").size(),
              static_cast<std::size_t>(c.passwordDialogs))
        << t;
    if (c.message == nullptr) {
        EXPECT_THAT(t, HasSubstr(std::string("confirm product=") + c.product + " software="));
    } else {
        EXPECT_THAT(t, HasSubstr(std::string("box \"ZEB Firwmare Upgrade Error\" \"") + c.message));
        EXPECT_THAT(t, Not(HasSubstr("open 103")));
    }
    EXPECT_THAT(t, Not(HasSubstr("open 114")));
}

INSTANTIATE_TEST_SUITE_P(StatusRequest, HttpFaultTest, ::testing::ValuesIn(kHttpFaultCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
