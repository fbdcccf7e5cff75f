// The handler of the modeless progress dialogs: only Cancel does anything, and it ends the run.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/upgrade_state.h"
#include "platform/clock.h"
#include "platform/virtual_desktop.h"
#include "tests/support/child_process.h"
#include "tests/support/scripted_user.h"
#include "ui/common.h"
#include "ui/dialog_ids.h"

namespace {

// Shows dialog `templateId` with CancelOnlyDialogProc, offers it other commands, then pumps it
// (for at most 15 s) while `cancel` plays the user.
ChildResult RunCancelOnly(int templateId, const std::function<void(ScriptedUser&)>& cancel) {
    return RunInChild(
        [templateId, cancel] {
            platform::Hwnd dialog = platform::CreateModelessDialog(
                gUpgradeState.instance, templateId, CancelOnlyDialogProc, 0);
            platform::ShowDialogWindow(dialog);
            // OK, and a notification from a control with a 2 in its high bits: both ignored.
            TranscriptLine("command 1 -> %d",
                           static_cast<int>(CancelOnlyDialogProc(dialog, platform::kMessageCommand,
                                                                 kControlOk, 0)));
            TranscriptLine("command 0x20001 -> %d",
                           static_cast<int>(CancelOnlyDialogProc(dialog, platform::kMessageCommand,
                                                                 0x20001, 0)));
            std::thread([templateId, cancel] {
                ScriptedUser user;
                platform::desktop::WindowView w = user.WaitForDialog(templateId);
                for (const auto& c : w.controls) {
                    if (c.focused) {
                        TranscriptLine("focus %d", c.id);
                    }
                }
                int width = w.rect.right - w.rect.left;
                TranscriptLine("x %d",
                               w.rect.left - ((platform::desktop::kScreenWidth - width) >> 1));
                cancel(user);
                platform::desktop::WindowView box = user.WaitForMessageBox();
                TranscriptLine("flags %x", box.flags);
                user.Dismiss();
            }).detach();
            for (int i = 0; i < 3000; ++i) {
                platform::DispatchOneMessage(dialog);
                platform::SleepMilliseconds(5);
            }
            TranscriptLine("still running");
        },
        20000);
}

}  // namespace

TEST(CancelOnlyDialogTest, CancelEndsTheProcessAfterUserAbort) {
    struct Case {
        int templateId;
        std::function<void(ScriptedUser&)> cancel;
    };
    const Case cases[] = {
        {kDialogWaiting, [](ScriptedUser& u) { u.Click(kControlCancel); }},
        {kDialogUploading, [](ScriptedUser& u) { u.Close(); }},
    };
    for (const Case& c : cases) {
        ChildResult r = RunCancelOnly(c.templateId, c.cancel);
        EXPECT_EQ(r.exitCode, 0);
        std::string open = "open " + std::to_string(c.templateId);
        // The user's own line about the box may come before or after the recorder's.
        EXPECT_EQ(TranscriptLines(r.transcript, "flags "), std::vector<std::string>{"flags 2000"});
        std::vector<std::string> lines;
        for (const std::string& line : TranscriptLines(r.transcript)) {
            if (line.rfind("flags ", 0) != 0) {
                lines.push_back(line);
            }
        }
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines[0].rfind(open, 0), 0u) << r.transcript;
        lines.erase(lines.begin());
        EXPECT_EQ(lines, (std::vector<std::string>{
                             "command 1 -> 0", "command 0x20001 -> 0", "focus 2", "x 0",
                             "close " + std::to_string(c.templateId),
                             "box \"ZEB Firwmare Upgrade Error\" \"Upgrade Failed: User Abort\"",
                             "close box \"ZEB Firwmare Upgrade Error\""}));
    }
}
