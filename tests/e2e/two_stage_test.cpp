// The two-stage build: the Transition image first, then the Target image, in one run.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/upgrade_run.h"
#include "tests/support/simulated_device.h"
#include "ui/dialog_ids.h"

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

// Both upgrade requests the device received, in order, as "tftp://address:port/name".
std::vector<std::string> UpgradeRequests(const std::string& log) {
    std::vector<std::string> found;
    for (const std::string& line : TranscriptLines(log)) {
        std::size_t at = line.find("upgrade tftp://");
        if (at != std::string::npos) {
            found.push_back(line.substr(at + 8));
        }
    }
    return found;
}

std::string PortAndName(const std::string& request) {
    return request.substr(request.rfind(':') + 1);
}

ChildResult RunTwoStageUpgrade(const std::string& address, bool firstTransferFails) {
    return RunUpgradeProgram(
        [address, firstTransferFails](ScriptedUser& user) {
            PassWarningAndAddress(user, address, kDialogAddressAdapter);
            user.WaitForDialog(kDialogConfirmTwoStage);
            TranscriptLine("confirm title=%s", user.Title().c_str());
            TranscriptLine("confirm note=%s", user.Text(kControlMainText).c_str());
            user.Click(kControlOk);
            user.SetTimeout(60000);
            if (firstTransferFails) {
                DismissBox(user);
            }
            user.WaitForDialog(kDialogSuccess);
            TranscriptLine("success version=%s", user.Text(1004).c_str());
            user.Click(kControlOk);
        },
        120000);
}

TEST(TwoStageUpgrade, FetchesTransitionThenTargetOnOnePortAndSucceedsOnlyAtTheEnd) {
    SimulatedDevice device;
    ASSERT_TRUE(device.Start({"--address", "127.0.0.131", "--flash-seconds", "1"}));

    ChildResult run = RunTwoStageUpgrade("127.0.0.131", false);

    EXPECT_EQ(run.exitCode, 0) << run.transcript;
    const std::string& t = run.transcript;
    EXPECT_THAT(t, HasSubstr("confirm title=Confirm Upgrade to Ver. 3.1.24.0710"));
    EXPECT_THAT(t, HasSubstr("Note: Since your current firmware version\r\nis older than "
                             "3.0.99.0001, this upgrade procedure"));
    EXPECT_THAT(t, HasSubstr("title 110 \"Uploading Transition Firmware to ZEB@127.0.0.131 "
                             "204800/204800 Bytes\""));
    EXPECT_THAT(t, HasSubstr("title 110 \"Uploading Target Firmware to ZEB@127.0.0.131 "
                             "759100/759100 Bytes\""));
    // The success dialog comes once, after the second transfer.
    std::size_t success = t.find("open 111");
    ASSERT_NE(success, std::string::npos);
    EXPECT_GT(success, t.find("Uploading Target Firmware"));
    EXPECT_EQ(t.find("open 111", success + 1), std::string::npos);
    EXPECT_THAT(t, Not(HasSubstr("box ")));

    // Two requests on the same port under two names: the first for stage 0, the second stage 1.
    std::vector<std::string> requests = UpgradeRequests(device.Log());
    ASSERT_EQ(requests.size(), 2u) << device.Log();
    std::string first = PortAndName(requests[0]), second = PortAndName(requests[1]);
    EXPECT_EQ(first.substr(0, first.find('/')), second.substr(0, second.find('/')));
    EXPECT_EQ(first.substr(first.size() - 4), ".bi0");
    EXPECT_EQ(second.substr(second.size() - 4), ".bi1");

    std::string log = device.Log();
    EXPECT_NE(log.find("sha256=" + Sha256OfFile(ZEB_E2E_TRANSITION_IMAGE)), std::string::npos);
    EXPECT_NE(log.find("sha256=" + Sha256OfFile(ZEB_TEST_TARGET_IMAGE)), std::string::npos);
    EXPECT_LT(log.find("sha256=" + Sha256OfFile(ZEB_E2E_TRANSITION_IMAGE)),
              log.find("sha256=" + Sha256OfFile(ZEB_TEST_TARGET_IMAGE)));
}

TEST(TwoStageUpgrade, AFailedFirstTransferStillLeadsToTheSecondRequest) {
    SimulatedDevice device;
    ASSERT_TRUE(device.Start({"--address", "127.0.0.132", "--flash-seconds", "1",
                              "--tftp-never-ack-oack", "--tftp-faults-first-only"}));

    ChildResult run = RunTwoStageUpgrade("127.0.0.132", true);

    EXPECT_EQ(run.exitCode, 0) << run.transcript;
    EXPECT_THAT(run.transcript, HasSubstr("box \"ZEB Firwmare Upgrade Error\" "
                                          "\"Upgrade Failed: Firmware Upload Incomplete\""));
    EXPECT_THAT(run.transcript, HasSubstr("open 111"));
    EXPECT_EQ(UpgradeRequests(device.Log()).size(), 2u) << device.Log();
    EXPECT_EQ(device.LogValue("fetch complete", "sha256"), Sha256OfFile(ZEB_TEST_TARGET_IMAGE));
}

}  // namespace
