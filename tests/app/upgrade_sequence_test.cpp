// The first two steps of the upgrade, from the process entry, with a scripted user.
#include "app/upgrade_sequence.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/entry.h"
#include "platform/virtual_desktop.h"
#include "tests/support/child_process.h"
#include "tests/support/scripted_user.h"
#include "ui/dialog_ids.h"

namespace {

using platform::desktop::Key;
using platform::desktop::WindowView;

constexpr int kChildTimeoutMs = 20000;
constexpr int kWarningTextPanel = 1021;

// Runs the entry while `script` plays the user; "returned" marks the entry coming back.
ChildResult RunEntry(const std::function<void(ScriptedUser&)>& script) {
    return RunInChild(
        [script] {
            std::thread user([script] {
                ScriptedUser person;
                script(person);
            });
            static int instanceToken;
            ZebEntry(&instanceToken);
            user.join();
            TranscriptLine("returned");
        },
        kChildTimeoutMs);
}

// Window openings and closings, and the end of the entry: what the person saw happen.
std::vector<std::string> Windows(const ChildResult& r) {
    std::vector<std::string> seen;
    for (const std::string& line : TranscriptLines(r.transcript)) {
        if (line.rfind("open ", 0) == 0 || line.rfind("close", 0) == 0 ||
            line.rfind("box ", 0) == 0 || line == "returned") {
            seen.push_back(line);
        }
    }
    return seen;
}

}  // namespace

TEST(WarningDialogTest, ShowsTheWarningWithTheFocusOnCancel) {
    ChildResult r = RunEntry([](ScriptedUser& u) {
        WindowView w = u.WaitForDialog(kDialogWarning);
        for (const auto& c : w.controls) {
            if (c.id == kWarningTextPanel) {
                std::string text;
                for (char ch : c.text) {  // one transcript line: breaks as \r and \n
                    text += ch == '\r' ? "\\r" : ch == '\n' ? "\\n" : std::string(1, ch);
                }
                TranscriptLine("text %s", text.c_str());
            }
            if (c.focused) {
                TranscriptLine("focus %d default %d", c.id, c.isDefault);
            }
        }
        int width = w.rect.right - w.rect.left;
        int height = w.rect.bottom - w.rect.top;
        TranscriptLine("at %d %d", w.rect.left - ((platform::desktop::kScreenWidth - width) >> 1),
                       w.rect.top - ((platform::desktop::kScreenHeight - height) >> 1));
        u.Press(Key::Enter);
    });
    ASSERT_EQ(r.exitCode, 0) << r.transcript;
    EXPECT_EQ(
        TranscriptLines(r.transcript, "text "),
        std::vector<std::string>{"text WARNING: Forcing a firmware upgrade on your ZEB\\r\\n"
                                 "without prior approval from your service provider or\\r\\n"
                                 "network administrator may cause interruption to your\\r\\n"
                                 "service.  If your ZEB is managed by a service\\r\\n"
                                 "provider who retains administrative control of the\\r\\n"
                                 "device, please contact the service provider for\\r\\n"
                                 "authorization before proceeding.  In such cases, the\\r\\n"
                                 "most current, approved for service firmware is\\r\\n"
                                 "automatically provided by your service provider without\\r\\n"
                                 "any onus on the end user to upgrade manually."});
    EXPECT_EQ(TranscriptLines(r.transcript, "focus "),
              std::vector<std::string>{"focus 2 default 1"});
    EXPECT_EQ(TranscriptLines(r.transcript, "at "), std::vector<std::string>{"at 0 0"});
}

TEST(WarningDialogTest, EveryWayOfCancellingEndsTheRunSilently) {
    const std::function<void(ScriptedUser&)> ways[] = {
        [](ScriptedUser& u) { u.Press(Key::Enter); },
        [](ScriptedUser& u) { u.Press(Key::Escape); },
        [](ScriptedUser& u) { u.Click(kControlCancel); },
        [](ScriptedUser& u) { u.Close(); },
    };
    for (const auto& cancel : ways) {
        ChildResult r = RunEntry([&cancel](ScriptedUser& u) {
            u.WaitForDialog(kDialogWarning);
            cancel(u);
        });
        EXPECT_EQ(r.exitCode, 0) << r.transcript;
        EXPECT_EQ(Windows(r),
                  (std::vector<std::string>{"open 139 \"Korvane QDM4 Firmware Upgrade\"",
                                            "close 139", "returned"}));
    }
}

TEST(WarningDialogTest, ContinueLeadsToTheAddressDialog) {
    ChildResult r = RunEntry([](ScriptedUser& u) {
        u.WaitForDialog(kDialogWarning);
        u.Click(kControlOk);
        u.WaitForDialog(kDialogAddressAdapter);
        u.Click(kControlCancel);
    });
    ASSERT_EQ(r.exitCode, 0) << r.transcript;
    EXPECT_EQ(Windows(r),
              (std::vector<std::string>{"open 139 \"Korvane QDM4 Firmware Upgrade\"", "close 139",
                                        "open 101 \"Korvane QDM4 Firmware Upgrade\"", "close 101",
                                        "returned"}));
}
