// A build that carries a handset image: the handset address dialog, and no version check.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/e2e/upgrade_run.h"
#include "tests/support/simulated_device.h"
#include "ui/dialog_ids.h"

using ::testing::HasSubstr;

TEST(HandsetUpgrade, UsesTheHandsetDialogAndSkipsTheVersionCheck) {
    SimulatedDevice device;
    // The handset reports a version other than the image's after flashing: no failure for it.
    ASSERT_TRUE(device.Start({"--address", "127.0.0.130", "--flash-seconds", "1",
                              "--after-flash-version", "HS-build-77"}));

    ChildResult run = RunUpgradeProgram([](ScriptedUser& user) {
        PassWarningAndAddress(user, "127.0.0.130", kDialogAddressHandset);
        user.WaitForDialog(kDialogConfirmSingle);
        user.Click(kControlOk);
        user.SetTimeout(45000);
        user.WaitForDialog(kDialogSuccess);
        TranscriptLine("success version=%s", user.Text(1004).c_str());
        user.Click(kControlOk);
    });

    EXPECT_EQ(run.exitCode, 0) << run.transcript;
    EXPECT_THAT(run.transcript, HasSubstr("open 305 \"ZEB-514/504 Firmware Upgrade\""));
    EXPECT_THAT(run.transcript, HasSubstr("open 111 \"ZEB@127.0.0.130 Upgrade Successful!\""));
    EXPECT_THAT(run.transcript, HasSubstr("success version=HS-build-77"));
    EXPECT_EQ(device.LogValue("fetch complete", "sha256"), Sha256OfFile(ZEB_E2E_HANDSET_IMAGE));
}
