// The whole upgrade in the shipped single-stage build, against the simulated device.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/upgrade_run.h"
#include "tests/support/simulated_device.h"
#include "ui/dialog_ids.h"

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

constexpr const char* kAbortBox =
    "box \"ZEB Firwmare Upgrade Error\" \"Upgrade Failed: User Abort\"";

std::vector<std::string> DeviceArgs(const std::string& address, std::vector<std::string> extra) {
    std::vector<std::string> args = {"--address", address, "--flash-seconds", "1"};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

// Confirms on dialog 103 after noting what it shows, then OK on the success dialog.
void ConfirmAndFinish(ScriptedUser& user) {
    user.WaitForDialog(kDialogConfirmSingle);
    TranscriptLine("confirm title=%s software=%s product=%s serial=%s", user.Title().c_str(),
                   user.Text(1004).c_str(), user.Text(1006).c_str(), user.Text(1002).c_str());
    user.Click(kControlOk);
    user.SetTimeout(45000);
    user.WaitForDialog(kDialogSuccess);
    TranscriptLine("success version=%s", user.Text(1004).c_str());
    user.Click(kControlOk);
}

TEST(UpgradeEndToEnd, PasswordProtectedDeviceIsUpgradedWithTheEmbeddedImage) {
    SimulatedDevice device;
    ASSERT_TRUE(device.Start(DeviceArgs("127.0.0.2", {"--password", "s3cret"})));

    ChildResult run = RunUpgradeProgram([](ScriptedUser& user) {
        PassWarningAndAddress(user, "127.0.0.2", kDialogAddressAdapter);
        user.WaitForDialog(kDialogPassword);
        TranscriptLine("password user=%s", user.Text(1003).c_str());
        user.Type("s3cret");
        user.Press(platform::desktop::Key::Enter);
        ConfirmAndFinish(user);
    });

    EXPECT_EQ(run.exitCode, 0) << run.transcript;
    const std::string& t = run.transcript;
    EXPECT_THAT(t, HasSubstr("open 105 \"Connecting with ZEB@127.0.0.2\""));
    EXPECT_THAT(t, HasSubstr("password user=admin"));
    EXPECT_THAT(t, HasSubstr("confirm title=Confirm Upgrade to Ver. 3.1.24.0710 "
                             "software=3.0.18.0411 product=ZEB-6600 serial=ZEB0012345"));
    EXPECT_THAT(t, HasSubstr("open 114 \"Waiting For Firmware Download Request From ZEB\""));
    EXPECT_THAT(t, HasSubstr("title 110 \"Uploading Target Firmware to ZEB@127.0.0.2 "
                             "759100/759100 Bytes\""));
    EXPECT_THAT(t, HasSubstr("title 110 \"Updating Target Firmware to ZEB@127.0.0.2\""));
    EXPECT_THAT(t, HasSubstr("open 111 \"ZEB@127.0.0.2 Upgrade Successful!\""));
    EXPECT_THAT(t, HasSubstr("success version=3.1.24.0710"));
    EXPECT_THAT(t, Not(HasSubstr("box ")));

    // The device holds exactly the image the utility carries, fetched under the name it was told.
    EXPECT_EQ(device.LogValue("fetch complete", "sha256"), Sha256OfFile(ZEB_TEST_TARGET_IMAGE));
    EXPECT_EQ(device.LogValue("fetch complete", "size"), "759100");
    EXPECT_THAT(device.Log(), HasSubstr("auth=ok"));
    EXPECT_THAT(device.Log(), HasSubstr("upgrade tftp://127.0.0.1:"));
}

TEST(UpgradeEndToEnd, UnprotectedDeviceNeedsNoPassword) {
    SimulatedDevice device;
    ASSERT_TRUE(device.Start(DeviceArgs("127.0.0.101", {})));

    ChildResult run = RunUpgradeProgram([](ScriptedUser& user) {
        PassWarningAndAddress(user, "127.0.0.101", kDialogAddressAdapter);
        ConfirmAndFinish(user);
    });

    EXPECT_EQ(run.exitCode, 0) << run.transcript;
    EXPECT_THAT(run.transcript, Not(HasSubstr("open 104")));
    EXPECT_THAT(run.transcript, HasSubstr("open 111 \"ZEB@127.0.0.101 Upgrade Successful!\""));
    EXPECT_EQ(device.LogValue("fetch complete", "sha256"), Sha256OfFile(ZEB_TEST_TARGET_IMAGE));
}

TEST(UpgradeEndToEnd, NoDeviceAtTheAddressStopsBeforeTheListener) {
    ChildResult run = RunUpgradeProgram([](ScriptedUser& user) {
        PassWarningAndAddress(user, "127.0.0.102", kDialogAddressAdapter);
        DismissBox(user);
        WaitForTheEnd();
    });

    EXPECT_EQ(run.exitCode, 0) << run.transcript;
    EXPECT_THAT(run.transcript, HasSubstr("box \"ZEB Firwmare Upgrade Error\" "
                                          "\"Upgrade Failed: No Response From ZEB\""));
    EXPECT_THAT(run.transcript, Not(HasSubstr("open 103")));
    EXPECT_THAT(run.transcript, Not(HasSubstr("open 114")));
}

// Cancel at every dialog of the road: what the user is told, and how far the upgrade got.
struct CancelCase {
    const char* name;
    const char* address;
    std::vector<std::string> deviceFlags;
    void (*script)(ScriptedUser&, const std::string& address);
    bool abortBox;         // "Upgrade Failed: User Abort" is shown
    bool listenerStarted;  // the waiting dialog was ever opened
};

void ReachConfirm(ScriptedUser& user, const std::string& address) {
    PassWarningAndAddress(user, address, kDialogAddressAdapter);
    user.WaitForDialog(kDialogConfirmSingle);
}

const CancelCase kCancelCases[] = {
    {"Warning",
     "127.0.0.110",
     {},
     [](ScriptedUser& u, const std::string&) {
         u.WaitForDialog(kDialogWarning);
         u.Click(kControlCancel);
         WaitForTheEnd();
     },
     false,
     false},
    {"Address",
     "127.0.0.111",
     {},
     [](ScriptedUser& u, const std::string&) {
         u.WaitForDialog(kDialogWarning);
         u.Click(kControlOk);
         u.WaitForDialog(kDialogAddressAdapter);
         u.Close();
         WaitForTheEnd();
     },
     false,
     false},
    {"Password",
     "127.0.0.112",
     {"--password", "pw"},
     [](ScriptedUser& u, const std::string& a) {
         PassWarningAndAddress(u, a, kDialogAddressAdapter);
         u.WaitForDialog(kDialogPassword);
         u.Click(kControlCancel);
         DismissBox(u);
         WaitForTheEnd();
     },
     true,
     false},
    {"Connecting",
     "127.0.0.113",
     {"--fault", "stall", "--stall-ms", "30000"},
     [](ScriptedUser& u, const std::string& a) {
         PassWarningAndAddress(u, a, kDialogAddressAdapter);
         u.WaitForDialog(kDialogConnecting);
         u.Click(kControlCancel);
         DismissBox(u);
         WaitForTheEnd();
     },
     true,
     false},
    {"Confirm",
     "127.0.0.114",
     {},
     [](ScriptedUser& u, const std::string& a) {
         ReachConfirm(u, a);
         u.Click(kControlCancel);
         DismissBox(u);
         WaitForTheEnd();
     },
     true,
     false},
    // A device that never fetches: the waiting dialog stays until the user cancels it.
    {"WaitingForADeviceThatNeverFetches",
     "127.0.0.115",
     {"--no-fetch"},
     [](ScriptedUser& u, const std::string& a) {
         ReachConfirm(u, a);
         u.Click(kControlOk);
         u.WaitForDialog(kDialogWaiting);
         std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // 24 s of program time
         TranscriptLine("still waiting=%d", u.WaitForDialog(kDialogWaiting).handle != nullptr);
         u.Click(kControlCancel);
         DismissBox(u);
         WaitForTheEnd();
     },
     true,
     true},
    {"Uploading",
     "127.0.0.116",
     {"--tftp-never-ack-oack"},
     [](ScriptedUser& u, const std::string& a) {
         ReachConfirm(u, a);
         u.Click(kControlOk);
         u.WaitForDialog(kDialogUploading);
         u.Click(kControlCancel);
         DismissBox(u);
         WaitForTheEnd();
     },
     true,
     true},
};

void PrintTo(const CancelCase& c, std::ostream* os) {
    *os << c.name;
}

class CancelTest : public ::testing::TestWithParam<CancelCase> {};

TEST_P(CancelTest, EndsTheRunWithExitCodeZero) {
    const CancelCase& c = GetParam();
    const std::string address = c.address;
    SimulatedDevice device;
    ASSERT_TRUE(device.Start(DeviceArgs(address, c.deviceFlags)));

    ChildResult run = RunUpgradeProgram([&c, &address](ScriptedUser& u) { c.script(u, address); });

    EXPECT_EQ(run.exitCode, 0) << run.transcript;
    EXPECT_FALSE(run.timedOut);
    if (c.abortBox) {
        EXPECT_THAT(run.transcript, HasSubstr(kAbortBox));
    } else {
        EXPECT_THAT(run.transcript, Not(HasSubstr("box ")));
    }
    EXPECT_EQ(run.transcript.find("open 114") != std::string::npos, c.listenerStarted)
        << run.transcript;
    EXPECT_THAT(run.transcript, Not(HasSubstr("open 111")));
    if (c.listenerStarted && std::string(c.name).rfind("Waiting", 0) == 0) {
        EXPECT_THAT(run.transcript, HasSubstr("still waiting=1"));
    }
}

INSTANTIATE_TEST_SUITE_P(AtEveryDialog, CancelTest, ::testing::ValuesIn(kCancelCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Failures after the transfer: the message of each, and never the success dialog.
struct FailureCase {
    const char* name;
    const char* address;
    std::vector<std::string> deviceFlags;
    const char* message;
};

const FailureCase kFailureCases[] = {
    {"UploadNeverAcknowledged",
     "127.0.0.120",
     {"--tftp-never-ack-oack"},
     "Upgrade Failed: Firmware Upload Incomplete"},
    {"DeviceReportsAnotherVersion",
     "127.0.0.121",
     {"--after-flash-version", "3.1.24.9999"},
     "Upgrade Failed: Version not matching"},
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class FailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(FailureTest, ShowsItsMessageAndNoSuccess) {
    const FailureCase& c = GetParam();
    SimulatedDevice device;
    ASSERT_TRUE(device.Start(DeviceArgs(c.address, c.deviceFlags)));

    const std::string address = c.address;
    ChildResult run = RunUpgradeProgram([&address](ScriptedUser& u) {
        ReachConfirm(u, address);
        u.Click(kControlOk);
        u.SetTimeout(45000);
        DismissBox(u);
        WaitForTheEnd();
    });

    EXPECT_EQ(run.exitCode, 0) << run.transcript;
    EXPECT_THAT(run.transcript,
                HasSubstr(std::string("box \"ZEB Firwmare Upgrade Error\" \"") + c.message));
    // The flashing wait ran before the verdict, and the success dialog never came.
    EXPECT_THAT(run.transcript, HasSubstr("title 110 \"Updating Target Firmware to ZEB@"));
    EXPECT_THAT(run.transcript, Not(HasSubstr("open 111")));
}

INSTANTIATE_TEST_SUITE_P(AfterTheTransfer, FailureTest, ::testing::ValuesIn(kFailureCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
