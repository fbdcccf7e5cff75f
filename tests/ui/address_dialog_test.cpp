// The address dialog as a person meets it, run in a child process with a scripted user.
#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "app/upgrade_state.h"
#include "platform/virtual_desktop.h"
#include "tests/support/child_process.h"
#include "tests/support/scripted_user.h"
#include "ui/address_dialog.h"
#include "ui/dialog_ids.h"

namespace {

using platform::desktop::ControlView;
using platform::desktop::WindowView;

constexpr int kAddressEntry = 1000;
constexpr int kHint = 1008;
constexpr int kVersionLine = 1015;
constexpr int kLocalAddresses = 1017;
constexpr int kChildTimeoutMs = 20000;
// A transfer file name up to its stage digit: lowercase hexadecimal without leading zeros.
const std::string kFileNamePattern = "/zeb(0|[1-9a-f][0-9a-f]{0,3})\\.bi";

const ControlView* FindControl(const WindowView& w, int id) {
    for (const ControlView& c : w.controls) {
        if (c.id == id) {
            return &c;
        }
    }
    return nullptr;
}

std::string ControlText(const WindowView& w, int id) {
    const ControlView* c = FindControl(w, id);
    return c != nullptr ? c->text : "<missing>";
}

int FocusedControl(const WindowView& w) {
    for (const ControlView& c : w.controls) {
        if (c.focused) {
            return c.id;
        }
    }
    return 0;
}

// One transcript line per text: line breaks are written as \r and \n.
std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        out += c == '\r' ? "\\r" : c == '\n' ? "\\n" : std::string(1, c);
    }
    return out;
}

// Writes what the user sees of the open address dialog to the transcript.
void DescribeAddressDialog(const WindowView& w) {
    TranscriptLine("title %s", w.title.c_str());
    TranscriptLine("heading %s", Escaped(ControlText(w, kControlMainText)).c_str());
    TranscriptLine("hint %s", Escaped(ControlText(w, kHint)).c_str());
    TranscriptLine("version %s", ControlText(w, kVersionLine).c_str());
    TranscriptLine("focus %d", FocusedControl(w));
    const ControlView* list = FindControl(w, kLocalAddresses);
    std::string items;
    for (const std::string& item : list->items) {
        items += "[" + item + "]";
    }
    TranscriptLine("items %s selection %d", items.c_str(), list->selection);
    int width = w.rect.right - w.rect.left;
    int height = w.rect.bottom - w.rect.top;
    TranscriptLine("centred %d",
                   w.rect.left == (platform::desktop::kScreenWidth - width) >> 1 &&
                       w.rect.top == (platform::desktop::kScreenHeight - height) >> 1);
}

// The state start-up leaves: product, image version, local addresses (host order).
void PrepareState(const char* displayName, int handset, std::vector<std::uint32_t> addresses) {
    std::strcpy(gUpgradeState.profile.displayName, displayName);
    gUpgradeState.profile.handset = handset;
    std::strcpy(
        reinterpret_cast<char*>(gUpgradeState.targetImage.header.bytes) + kImageVersionOffset,
        "3.1.24.0710");
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        gUpgradeState.localAddresses.entries[i] = addresses[i];
    }
    gUpgradeState.localAddress = gUpgradeState.localAddresses.entries[0];
}

// Runs dialog `templateId` modally while `script` plays the user, then records the outcome.
void RunAddressDialog(int templateId, const std::function<void(ScriptedUser&)>& script) {
    std::thread user([script] {
        ScriptedUser person;
        script(person);
    });
    std::intptr_t result =
        platform::RunModalDialog(gUpgradeState.instance, templateId, AddressDialogProc, 0);
    user.join();
    const UpgradeState& s = gUpgradeState;
    TranscriptLine("result %d device %08x text %s local %08x file %s", static_cast<int>(result),
                   s.deviceAddress, s.deviceAddressText, s.localAddress, s.transferFileName.Get());
}

std::string Line(const ChildResult& r, const std::string& prefix) {
    std::vector<std::string> lines = TranscriptLines(r.transcript, prefix);
    return lines.empty() ? "<none>" : lines.front();
}

const char* kAdapterHint =
    "hint To proceed, please provide the IP address\\r\\nof your ZEB. To find out the IP "
    "address\\r\\n"
    "of your ZEB, using a telephone handset,\\r\\nenter * * * *, option 110#, and write down\\r\\n"
    "the value. For example, 10.1.0.123\\r\\n\\r\\nPlease enter IP address of your ZEB:";
const char* kHandsetHint =
    "hint To proceed, please provide the IP address\\r\\nof your ZEB. To find out the IP address "
    "of\\r\\nyour ZEB, press the I button on the phone,\\r\\nselect \"Network\" option, and check "
    "the\\r\\nvalue of \"Current IP\". For example, 10.1.0.13\\r\\n\\r\\nPlease enter IP address "
    "of "
    "your ZEB:";

}  // namespace

TEST(AddressDialogTest, AdapterShowsLocalAddressesAndUsesTheChosenOne) {
    ChildResult r = RunInChild(
        [] {
            PrepareState("Korvane QDM4", 0, {0xc0a80105, 0x0a000005, 0x7f000001});
            RunAddressDialog(kDialogAddressAdapter, [](ScriptedUser& u) {
                DescribeAddressDialog(u.WaitForDialog(kDialogAddressAdapter));
                u.Type("192.168.1.20");
                u.Choose(kLocalAddresses, 1);
                u.Click(kControlOk);
            });
        },
        kChildTimeoutMs);
    ASSERT_EQ(r.exitCode, 0) << r.transcript;
    EXPECT_EQ(Line(r, "title "), "title Korvane QDM4 Firmware Upgrade");
    EXPECT_EQ(Line(r, "heading "), "heading This program will upgrade your ZEB\\r\\nfirmware to:");
    EXPECT_EQ(Line(r, "hint "), kAdapterHint);
    EXPECT_EQ(Line(r, "version "), "version Version 3.1.24.0710");
    EXPECT_EQ(Line(r, "focus "), "focus 1000");
    EXPECT_EQ(Line(r, "items "), "items [192.168.1.5][10.0.0.5][127.0.0.1] selection 0");
    EXPECT_EQ(Line(r, "centred "), "centred 1");
    std::string result = Line(r, "result ");
    EXPECT_TRUE(std::regex_match(
        result, std::regex("result 1 device c0a80114 text 192.168.1.20 local 0a000005 file " +
                           kFileNamePattern + "1")))
        << result;
}

TEST(AddressDialogTest, HandsetHintAndFirstStageFileName) {
    ChildResult r = RunInChild(
        [] {
            PrepareState("ZEB-514/504", 1, {0x0a010002});
            gUpgradeState.stage.store(Transition);
            RunAddressDialog(kDialogAddressHandset, [](ScriptedUser& u) {
                DescribeAddressDialog(u.WaitForDialog(kDialogAddressHandset));
                u.Type("10.1.0.13");
                u.Press(platform::desktop::Key::Enter);
            });
        },
        kChildTimeoutMs);
    ASSERT_EQ(r.exitCode, 0) << r.transcript;
    EXPECT_EQ(Line(r, "title "), "title ZEB-514/504 Firmware Upgrade");
    EXPECT_EQ(Line(r, "hint "), kHandsetHint);
    EXPECT_EQ(Line(r, "items "), "items [10.1.0.2] selection 0");
    std::string result = Line(r, "result ");
    EXPECT_TRUE(std::regex_match(
        result, std::regex("result 1 device 0a01000d text 10.1.0.13 local 0a010002 file " +
                           kFileNamePattern + "0")))
        << result;
}

TEST(AddressDialogTest, InvalidAddressKeepsTheDialogOpenUntilCancel) {
    ChildResult r = RunInChild(
        [] {
            PrepareState("Korvane QDM4", 0, {0xc0a80105});
            RunAddressDialog(kDialogAddressAdapter, [](ScriptedUser& u) {
                u.WaitForDialog(kDialogAddressAdapter);
                u.Click(kControlOk);  // the entry is blank: 0.0.0.0
                WindowView box = u.WaitForMessageBox();
                TranscriptLine("flags %x", box.flags);
                u.Dismiss();
                // The focus goes back once the handler regains control from the box.
                bool back = u.WaitUntil(
                    [](const std::vector<WindowView>& windows) {
                        return windows.size() == 1 && FocusedControl(windows[0]) == kAddressEntry;
                    },
                    "the focus back on the address entry");
                TranscriptLine("focus back %d", back);
                u.WaitForDialog(kDialogAddressAdapter);
                u.Click(kControlCancel);
            });
        },
        kChildTimeoutMs);
    ASSERT_EQ(r.exitCode, 0) << r.transcript;
    EXPECT_EQ(TranscriptLines(r.transcript, "box "),
              std::vector<std::string>{"box \"Error\" \"Invalid IP Address\""});
    EXPECT_EQ(Line(r, "flags "), "flags 0");
    EXPECT_EQ(Line(r, "focus back "), "focus back 1");
    EXPECT_EQ(TranscriptLines(r.transcript, "close 101").size(), 1u);
    EXPECT_EQ(Line(r, "result "), "result 0 device 00000000 text 0.0.0.0 local c0a80105 file ");
}

TEST(AddressDialogTest, NoLocalAddressLeavesTheListEmptyAndTheLocalAddressZero) {
    ChildResult r = RunInChild(
        [] {
            PrepareState("Korvane QDM4", 0, {});
            RunAddressDialog(kDialogAddressAdapter, [](ScriptedUser& u) {
                DescribeAddressDialog(u.WaitForDialog(kDialogAddressAdapter));
                u.Type("10.0.0.9");
                u.Click(kControlOk);
            });
        },
        kChildTimeoutMs);
    ASSERT_EQ(r.exitCode, 0) << r.transcript;
    EXPECT_EQ(Line(r, "items "), "items  selection -1");
    std::string result = Line(r, "result ");
    EXPECT_TRUE(std::regex_match(
        result, std::regex("result 1 device 0a000009 text 10.0.0.9 local 00000000 file " +
                           kFileNamePattern + "1")))
        << result;
}
