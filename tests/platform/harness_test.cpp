// The test harness itself: a child's transcript and exit code, the time limit, and the scripted
// user's bounded waits inside and outside a child.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/dialogs.h"
#include "platform/process.h"
#include "platform/virtual_desktop.h"
#include "tests/support/child_process.h"
#include "tests/support/scripted_user.h"
#include "ui/dialog_ids.h"

namespace {

std::intptr_t EndOnCommandDialogProc(platform::Hwnd dialog, std::uint32_t message,
                                     std::uintptr_t wParam, std::intptr_t) {
    if (message == platform::kMessageInitDialog) {
        return 1;
    }
    if (message == platform::kMessageCommand) {
        platform::EndModalDialog(dialog, static_cast<int>(wParam & 0xffff));
        return 1;
    }
    return 0;
}

TEST(Harness, ChildTranscriptShowsWhatTheUserSawAndTheProcessEnd) {
    ChildResult child = RunInChild(
        [] {
            std::thread user([] {
                ScriptedUser person;
                person.WaitForDialog(kDialogWarning);
                person.Click(kControlOk);
                person.WaitForMessageBox();
                person.Dismiss();
            });
            user.detach();
            platform::Hwnd uploading = platform::CreateModelessDialog(nullptr, kDialogUploading,
                                                                      EndOnCommandDialogProc, 0);
            platform::ShowDialogWindow(uploading);
            platform::SetWindowTitle(uploading, "Uploading Target Firmware to ZEB@127.0.0.2");
            platform::DestroyDialogWindow(uploading);
            std::intptr_t result =
                platform::RunModalDialog(nullptr, kDialogWarning, EndOnCommandDialogProc, 0);
            TranscriptLine("result %d", static_cast<int>(result));
            platform::ShowMessageBox(nullptr, "Upgrade Failed: User Abort",
                                     "ZEB Firwmare Upgrade Error", platform::kMessageBoxTaskModal);
            platform::EndProcess(0);
        },
        10000);
    EXPECT_FALSE(child.timedOut);
    EXPECT_EQ(child.exitCode, 0);
    EXPECT_EQ(child.transcript,
              "open 110 \"Uploading Firmware To ZEB\"\n"
              "title 110 \"Uploading Target Firmware to ZEB@127.0.0.2\"\n"
              "close 110\n"
              "open 139 \"ZEB-6600 Firmware Upgrade\"\n"
              "close 139\n"
              "result 1\n"
              "box \"ZEB Firwmare Upgrade Error\" \"Upgrade Failed: User Abort\"\n"
              "close box \"ZEB Firwmare Upgrade Error\"\n");
}

TEST(Harness, ChildThatReturnsExitsWithZeroAndStartsFromAFreshDesktop) {
    platform::Hwnd left =
        platform::CreateModelessDialog(nullptr, kDialogConnecting, EndOnCommandDialogProc, 0);
    platform::ShowDialogWindow(left);
    ChildResult child = RunInChild(
        [] { TranscriptLine("windows %zu", platform::desktop::Snapshot().size()); }, 5000);
    platform::DestroyDialogWindow(left);
    EXPECT_EQ(child.exitCode, 0);
    EXPECT_FALSE(child.timedOut);
    EXPECT_EQ(child.transcript, "windows 0\n");
}

TEST(Harness, ChildPastTheTimeLimitIsKilled) {
    auto start = std::chrono::steady_clock::now();
    ChildResult child = RunInChild(
        [] {
            TranscriptLine("before the hang");
            std::this_thread::sleep_for(std::chrono::seconds(30));
        },
        300);
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(child.timedOut);
    EXPECT_EQ(child.exitCode, 128 + 9);
    EXPECT_EQ(child.transcript, "before the hang\n");
    EXPECT_LT(elapsed, std::chrono::seconds(5));
}

TEST(Harness, ScriptedUserTimeoutInAChildEndsItWithADump) {
    ChildResult child = RunInChild(
        [] {
            platform::Hwnd connecting = platform::CreateModelessDialog(nullptr, kDialogConnecting,
                                                                       EndOnCommandDialogProc, 0);
            platform::ShowDialogWindow(connecting);
            ScriptedUser person(200);
            person.WaitForDialog(kDialogSuccess);
            TranscriptLine("not reached");
        },
        10000);
    EXPECT_FALSE(child.timedOut);
    EXPECT_EQ(child.exitCode, kExitScriptTimeout);
    std::vector<std::string> lines = TranscriptLines(child.transcript);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "open 105 \"Connecting with ZEB\"");
    EXPECT_EQ(lines[1], "TIMEOUT waiting for dialog 111");
    EXPECT_NE(child.transcript.find("dialog 105 \"Connecting with ZEB\""), std::string::npos);
    EXPECT_EQ(child.transcript.find("not reached"), std::string::npos);
}

TEST(Harness, ScriptedUserTimeoutInATestFailsItOnceAndStopsWaiting) {
    platform::desktop::ResetForTest();
    ScriptedUser person(100);
    EXPECT_NONFATAL_FAILURE(person.WaitForDialog(kDialogSuccess), "TIMEOUT waiting for dialog 111");
    EXPECT_TRUE(person.Failed());
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(person.WaitForMessageBox().handle, nullptr);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
}

}  // namespace
