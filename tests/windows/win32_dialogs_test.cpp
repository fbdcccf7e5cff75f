// Real Win32 dialogs under Wine (on a virtual X display): every template becomes the window the
// template data describes, and the dialog operations reach the real controls.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/dialog_template.h"
#include "platform/dialogs.h"
#include "platform/win32/dialog_builder.h"

namespace {

using platform::ControlKind;

HWND Native(platform::Hwnd window) {
    return reinterpret_cast<HWND>(window);
}
platform::Instance ThisModule() {
    return ::GetModuleHandleA(nullptr);
}

// What the handler under test saw.
struct Seen {
    std::intptr_t initParam = 0;
    std::vector<int> commands;
};
Seen gSeen;

std::intptr_t RecordingDialogProc(platform::Hwnd, std::uint32_t message, std::uintptr_t wParam,
                                  std::intptr_t lParam) {
    if (message == platform::kMessageInitDialog) {
        gSeen.initParam = lParam;
        return FALSE;  // no focus change, so the buttons keep their template styles
    }
    if (message == platform::kMessageCommand) {
        gSeen.commands.push_back(static_cast<int>(wParam & 0xFFFF));
        return TRUE;
    }
    return FALSE;
}

std::string ClassOf(HWND window) {
    char name[64] = {};
    ::GetClassNameA(window, name, sizeof name);
    return name;
}

// The class and style flags of each control kind, written out independently of the code.
struct KindReference {
    const char* className;
    std::uint32_t style;  // besides WS_CHILD | WS_VISIBLE and WS_TABSTOP
};

KindReference Reference(ControlKind kind) {
    switch (kind) {
        case ControlKind::DefaultButton:
            return {"Button", BS_DEFPUSHBUTTON};
        case ControlKind::Button:
            return {"Button", BS_PUSHBUTTON};
        case ControlKind::TextPanel:
            return {"Edit", ES_MULTILINE | ES_AUTOHSCROLL | ES_READONLY};
        case ControlKind::PlainValue:
            return {"Edit", ES_AUTOHSCROLL | ES_READONLY};
        case ControlKind::ValueField:
            return {"Edit", WS_BORDER | ES_AUTOHSCROLL | ES_READONLY};
        case ControlKind::CentredValueField:
            return {"Edit", WS_BORDER | ES_CENTER | ES_AUTOHSCROLL | ES_READONLY};
        case ControlKind::InputField:
            return {"Edit", WS_BORDER | ES_AUTOHSCROLL};
        case ControlKind::PasswordField:
            return {"Edit", WS_BORDER | ES_AUTOHSCROLL | ES_PASSWORD};
        case ControlKind::LabelLeft:
            return {"Static", SS_LEFT | WS_GROUP};
        case ControlKind::LabelRight:
            return {"Static", SS_RIGHT | WS_GROUP};
        case ControlKind::LabelCentred:
            return {"Static", SS_CENTER | WS_GROUP};
        case ControlKind::Icon:
            return {"Static", SS_ICON};
        case ControlKind::DropDownList:
            return {"ComboBox", CBS_DROPDOWNLIST | WS_VSCROLL};
        case ControlKind::AddressEntry:
            return {"SysIPAddress32", 0};
        case ControlKind::ProgressBar:
            return {"msctls_progress32", WS_BORDER};
    }
    return {"", 0};
}

// The style of each item in a built template, in order.
std::vector<std::uint32_t> ItemStyles(const std::vector<std::uint32_t>& dwords) {
    const auto* words = reinterpret_cast<const std::uint16_t*>(dwords.data());
    std::size_t at = 15;  // the caption
    auto skipText = [&] {
        if (words[at] == 0xFFFF) {
            at += 2;
        } else {
            while (words[at++] != 0) {
            }
        }
    };
    skipText();
    at += 3;  // point size, weight, italic and character set
    skipText();
    std::vector<std::uint32_t> styles;
    for (int i = 0; i < words[8]; ++i) {
        at += at % 2;
        styles.push_back(words[at + 4] | (static_cast<std::uint32_t>(words[at + 5]) << 16));
        at += 12;                 // help id, extended style, style, place and size, id
        skipText();               // class
        skipText();               // text or icon ordinal
        at += 1 + words[at] / 2;  // creation data
    }
    return styles;
}

class Win32DialogTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        platform::InitCommonControls(ICC_INTERNET_CLASSES | ICC_PROGRESS_CLASS);
    }
    void SetUp() override { gSeen = Seen{}; }
};

// The extended template starts with the common frame: style 0x80C800C0, the control count, the
// size in dialog units, the caption and the 8-point "MS Sans Serif" font.
TEST_F(Win32DialogTest, TemplateHeaderCarriesTheCommonFrame) {
    const platform::DialogTemplate* warning = platform::FindDialogTemplate(139);
    ASSERT_NE(warning, nullptr);
    std::vector<std::uint32_t> dwords = platform::win32::BuildDialogTemplateEx(*warning);
    const auto* words = reinterpret_cast<const std::uint16_t*>(dwords.data());
    EXPECT_EQ(words[0], 1);             // dlgVer
    EXPECT_EQ(words[1], 0xFFFF);        // extended
    EXPECT_EQ(dwords[3], 0x80C800C0u);  // after dlgVer, signature, helpID and exStyle
    EXPECT_EQ(words[8], warning->controlCount);
    EXPECT_EQ(words[11], 204);
    EXPECT_EQ(words[12], 143);
    EXPECT_EQ(words[13], 0);  // no menu
    EXPECT_EQ(words[14], 0);  // the standard dialog class
    std::u16string caption(reinterpret_cast<const char16_t*>(words + 15));
    EXPECT_EQ(caption, u"ZEB-6600 Firmware Upgrade");
    const std::uint16_t* font = words + 15 + caption.size() + 1;
    EXPECT_EQ(font[0], 8);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(font + 3)), u"MS Sans Serif");
}

// Each control's style in the template is the visible child of its kind, with a tab stop
// exactly where the template data has one.
TEST_F(Win32DialogTest, TemplateItemsCarryTheKindsStyles) {
    int count = 0;
    const platform::DialogTemplate* const* all = platform::AllDialogTemplates(&count);
    for (int t = 0; t < count; ++t) {
        const platform::DialogTemplate& d = *all[t];
        std::vector<std::uint32_t> styles = ItemStyles(platform::win32::BuildDialogTemplateEx(d));
        ASSERT_EQ(styles.size(), static_cast<std::size_t>(d.controlCount));
        for (int i = 0; i < d.controlCount; ++i) {
            const platform::ControlTemplate& c = d.controls[i];
            EXPECT_EQ(styles[i], WS_CHILD | WS_VISIBLE | Reference(c.kind).style |
                                     (c.tabStop ? WS_TABSTOP : 0))
                << "dialog " << d.id << " control " << i;
        }
    }
    // Two spelled out: a bordered value field with a tab stop, and a progress bar.
    const platform::DialogTemplate* confirm = platform::FindDialogTemplate(103);
    EXPECT_EQ(ItemStyles(platform::win32::BuildDialogTemplateEx(*confirm))[2], 0x50810880u);
    const platform::DialogTemplate* connecting = platform::FindDialogTemplate(105);
    EXPECT_EQ(ItemStyles(platform::win32::BuildDialogTemplateEx(*connecting))[1], 0x50800000u);
}

// Every template, created for real: the frame, the caption, and each control in template order
// with its class, kind flags, tab stop, identifier, text, place and size in dialog units.
TEST_F(Win32DialogTest, EveryTemplateBecomesItsWindow) {
    int count = 0;
    const platform::DialogTemplate* const* all = platform::AllDialogTemplates(&count);
    ASSERT_EQ(count, 10);
    for (int t = 0; t < count; ++t) {
        const platform::DialogTemplate& d = *all[t];
        SCOPED_TRACE("dialog " + std::to_string(d.id));
        HWND dialog = Native(
            platform::CreateModelessDialog(ThisModule(), d.id, RecordingDialogProc, 5000 + t));
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(gSeen.initParam, 5000 + t);

        LONG style = ::GetWindowLongA(dialog, GWL_STYLE);
        EXPECT_EQ(style & (WS_POPUP | WS_CAPTION | WS_SYSMENU), WS_POPUP | WS_CAPTION | WS_SYSMENU);
        EXPECT_EQ(style & (WS_VISIBLE | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
        EXPECT_EQ(::GetWindow(dialog, GW_OWNER), nullptr);
        char title[128] = {};
        ::GetWindowTextA(dialog, title, sizeof title);
        EXPECT_STREQ(title, d.caption);

        int defaultId = -1;
        HWND child = ::GetWindow(dialog, GW_CHILD);
        for (int i = 0; i < d.controlCount; ++i, child = ::GetWindow(child, GW_HWNDNEXT)) {
            const platform::ControlTemplate& c = d.controls[i];
            SCOPED_TRACE("control " + std::to_string(i) + " id " + std::to_string(c.id));
            ASSERT_NE(child, nullptr);
            EXPECT_EQ(::GetDlgCtrlID(child), c.id);
            EXPECT_EQ(ClassOf(child), Reference(c.kind).className);

            // Edit controls draw their border themselves and a combo box hands its scroll
            // bar to its list, so those two bits leave the live style.
            std::uint32_t cs = static_cast<std::uint32_t>(::GetWindowLongA(child, GWL_STYLE));
            std::uint32_t kept = Reference(c.kind).style & ~(WS_BORDER | WS_VSCROLL);
            EXPECT_EQ(cs & kept, kept);
            EXPECT_EQ((cs & WS_TABSTOP) != 0, c.tabStop);
            if (c.kind == ControlKind::DefaultButton) {
                defaultId = c.id;
            }
            if (c.kind == ControlKind::Button || c.kind == ControlKind::DefaultButton) {
                EXPECT_EQ(cs & BS_TYPEMASK,
                          c.kind == ControlKind::DefaultButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
            }
            if (c.kind == ControlKind::Icon) {
                EXPECT_NE(::SendMessageA(child, STM_GETICON, 0, 0), 0) << "icon " << c.iconId;
            } else if (c.kind != ControlKind::AddressEntry && c.kind != ControlKind::ProgressBar) {
                char text[128] = {};
                ::GetWindowTextA(child, text, sizeof text);
                EXPECT_STREQ(text, c.text);
            }

            // The dialog manager converts position and size separately.
            RECT expected = {c.x, c.y, c.width, c.height};
            ::MapDialogRect(dialog, &expected);
            RECT actual;
            ::GetWindowRect(child, &actual);
            ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&actual), 2);
            EXPECT_EQ(actual.left, expected.left);
            EXPECT_EQ(actual.top, expected.top);
            // An icon takes the icon's own size; a drop-down list's height includes its list.
            if (c.kind != ControlKind::Icon) {
                EXPECT_EQ(actual.right - actual.left, expected.right);
            }
            if (c.kind != ControlKind::Icon && c.kind != ControlKind::DropDownList) {
                EXPECT_EQ(actual.bottom - actual.top, expected.bottom);
            }
        }
        EXPECT_EQ(child, nullptr) << "more controls than the template has";
        if (defaultId > 0) {
            LRESULT def = ::SendMessageA(dialog, DM_GETDEFID, 0, 0);
            EXPECT_EQ(HIWORD(def), DC_HASDEFID);
            EXPECT_EQ(LOWORD(def), defaultId);
        }
        platform::DestroyDialogWindow(reinterpret_cast<platform::Hwnd>(dialog));
        EXPECT_FALSE(::IsWindow(dialog));
    }
}

// The operations on controls, as the dialog handlers use them.
TEST_F(Win32DialogTest, ControlOperationsReachTheControls) {
    platform::Hwnd d = platform::CreateModelessDialog(ThisModule(), 101, RecordingDialogProc, 0);
    ASSERT_NE(d, nullptr);
    platform::ShowDialogWindow(d);
    EXPECT_TRUE(::IsWindowVisible(Native(d)));

    platform::SetWindowTitle(d, "Korvane QDM4 Firmware Upgrade");
    char text[64];
    ::GetWindowTextA(Native(d), text, sizeof text);
    EXPECT_STREQ(text, "Korvane QDM4 Firmware Upgrade");

    platform::SetControlText(d, 1015, "Version 3.1.24.0710");
    EXPECT_EQ(platform::GetControlText(d, 1015, text, sizeof text), 19);
    EXPECT_STREQ(text, "Version 3.1.24.0710");
    EXPECT_EQ(platform::GetControlText(d, 1015, text, 8), 7);  // limit includes the NUL
    EXPECT_STREQ(text, "Version");

    // The address control answers its dotted text.
    ::SendDlgItemMessageA(Native(d), 1000, IPM_SETADDRESS, 0, MAKEIPADDRESS(127, 0, 0, 2));
    platform::GetControlText(d, 1000, text, 32);
    unsigned a = 9, b = 9, c = 9, e = 9;
    ASSERT_EQ(std::sscanf(text, "%u.%u.%u.%u", &a, &b, &c, &e), 4) << text;
    EXPECT_EQ((a << 24) | (b << 16) | (c << 8) | e, 0x7F000002u) << text;

    EXPECT_EQ(platform::ListSelectedEntry(d, 1017), -1);
    platform::ListAddEntry(d, 1017, "192.168.1.5");
    platform::ListAddEntry(d, 1017, "127.0.0.1");
    platform::ListSelectEntry(d, 1017, 1);
    EXPECT_EQ(platform::ListSelectedEntry(d, 1017), 1);
    platform::GetControlText(d, 1017, text, sizeof text);
    EXPECT_STREQ(text, "127.0.0.1");

    platform::SetControlFocus(d, 1000);
    HWND focus = ::GetFocus();
    EXPECT_TRUE(focus == ::GetDlgItem(Native(d), 1000) ||
                ::IsChild(::GetDlgItem(Native(d), 1000), focus));

    platform::Rect before;
    ASSERT_TRUE(platform::GetWindowRectangle(d, &before));
    platform::MoveWindowTo(d, -2, 361);
    platform::Rect after;
    ASSERT_TRUE(platform::GetWindowRectangle(d, &after));
    EXPECT_EQ(after.left, -2);
    EXPECT_EQ(after.top, 361);
    EXPECT_EQ(after.right - after.left, before.right - before.left);
    EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
    platform::DestroyDialogWindow(d);

    platform::Hwnd p = platform::CreateModelessDialog(ThisModule(), 110, RecordingDialogProc, 0);
    ASSERT_NE(p, nullptr);
    platform::ProgressSetRange(p, 1010, 1483);
    platform::ProgressSetPosition(p, 1010, 700);
    PBRANGE range;
    ::SendDlgItemMessageA(Native(p), 1010, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(range.iLow, 0);
    EXPECT_EQ(range.iHigh, 1483);
    EXPECT_EQ(::SendDlgItemMessageA(Native(p), 1010, PBM_GETPOS, 0, 0), 700);
    platform::DestroyDialogWindow(p);

    int width = 0, height = 0;
    platform::GetPrimaryScreenSize(&width, &height);
    EXPECT_EQ(width, ::GetSystemMetrics(SM_CXSCREEN));
    EXPECT_GT(height, 0);
}

// One pending message of the dialog (or of one of its controls) at a time; another dialog's
// messages stay queued for their own pump.
TEST_F(Win32DialogTest, DispatchOneMessageTakesOnlyThatDialogsMessages) {
    platform::Hwnd first =
        platform::CreateModelessDialog(ThisModule(), 114, RecordingDialogProc, 0);
    platform::Hwnd second =
        platform::CreateModelessDialog(ThisModule(), 110, RecordingDialogProc, 0);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    MSG drain;
    while (::PeekMessageA(&drain, nullptr, 0, 0, PM_REMOVE)) {
        ::DispatchMessageA(&drain);
    }
    ::PostMessageA(Native(second), WM_COMMAND, 77, 0);
    ::PostMessageA(Native(first), WM_COMMAND, 1, 0);
    ::PostMessageA(Native(first), WM_COMMAND, 2, 0);
    EXPECT_TRUE(platform::DispatchOneMessage(first));
    EXPECT_EQ(gSeen.commands, std::vector<int>{1});
    EXPECT_TRUE(platform::DispatchOneMessage(first));
    EXPECT_EQ(gSeen.commands, (std::vector<int>{1, 2}));
    EXPECT_FALSE(platform::DispatchOneMessage(first));

    // A click on the Cancel button arrives through the button's own messages.
    HWND cancel = ::GetDlgItem(Native(first), 2);
    ::PostMessageA(cancel, WM_KEYDOWN, VK_SPACE, 0);
    ::PostMessageA(cancel, WM_KEYUP, VK_SPACE, 0xC0000000);
    for (int i = 0; i < 10 && platform::DispatchOneMessage(first); ++i) {
    }
    EXPECT_EQ(gSeen.commands, (std::vector<int>{1, 2, 2}));

    EXPECT_TRUE(platform::DispatchOneMessage(second));
    EXPECT_EQ(gSeen.commands.back(), 77);
    platform::DestroyDialogWindow(first);
    platform::DestroyDialogWindow(second);
}

std::intptr_t EndOnCancelDialogProc(platform::Hwnd dialog, std::uint32_t message,
                                    std::uintptr_t wParam, std::intptr_t lParam) {
    if (message == platform::kMessageInitDialog) {
        gSeen.initParam = lParam;
        ::PostMessageA(Native(dialog), WM_CLOSE, 0, 0);  // the close box
        return TRUE;
    }
    if (message == platform::kMessageCommand && (wParam & 0xFFFF) == platform::kIdCancel) {
        platform::EndModalDialog(dialog, 7);
        return TRUE;
    }
    return FALSE;
}

// A modal dialog runs until its handler ends it: the close box arrives as command 2 (Cancel)
// and the handler's value is the result. A template that does not exist gives -1.
TEST_F(Win32DialogTest, ModalDialogEndsWithTheHandlersValue) {
    EXPECT_EQ(platform::RunModalDialog(ThisModule(), 111, EndOnCancelDialogProc, 31), 7);
    EXPECT_EQ(gSeen.initParam, 31);
    EXPECT_EQ(platform::RunModalDialog(ThisModule(), 4242, EndOnCancelDialogProc, 0), -1);
    EXPECT_EQ(platform::CreateModelessDialog(ThisModule(), 4242, RecordingDialogProc, 0), nullptr);
}

// The application's window class is registered once; a second registration fails.
TEST_F(Win32DialogTest, AppWindowClassRegistersOnce) {
    EXPECT_TRUE(platform::RegisterAppWindowClass(ThisModule(), "ZebUpgradeTestClass"));
    WNDCLASSA found;
    ASSERT_TRUE(
        ::GetClassInfoA(static_cast<HINSTANCE>(ThisModule()), "ZebUpgradeTestClass", &found));
    EXPECT_EQ(found.hIcon, nullptr);
    EXPECT_EQ(found.hCursor, nullptr);
    EXPECT_EQ(found.hbrBackground, nullptr);
    EXPECT_EQ(::CallWindowProcA(found.lpfnWndProc, nullptr, WM_CLOSE, 0, 0), 0);
    EXPECT_FALSE(platform::RegisterAppWindowClass(ThisModule(), "ZebUpgradeTestClass"));
}

}  // namespace
