#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/terminal/input.h"

namespace {

using platform::ControlKind;
using platform::desktop::ControlView;
using platform::desktop::Key;
using platform::desktop::WindowView;
using terminal::Action;
using terminal::InputKey;
using Type = Action::Type;

ControlView Control(int id, ControlKind kind, bool focused) {
    ControlView c{};
    c.id = id;
    c.kind = kind;
    c.focused = focused;
    c.selection = -1;
    return c;
}

// A window whose focus is on a control of the given kind (id 7), beside a Cancel button.
WindowView Window(bool modal, ControlKind focusedKind) {
    WindowView w{};
    w.modal = modal;
    w.visible = true;
    w.enabled = true;
    w.controls = {Control(2, ControlKind::Button, focusedKind == ControlKind::Button),
                  Control(7, focusedKind, focusedKind != ControlKind::Button)};
    if (focusedKind == ControlKind::Button) {
        w.controls.pop_back();
    }
    return w;
}

std::string Describe(const std::vector<Action>& actions) {
    std::string text;
    for (const Action& a : actions) {
        switch (a.type) {
            case Type::PressKey:
                text += "press" + std::to_string(static_cast<int>(a.key)) + " ";
                break;
            case Type::TypeText:
                text += "type'" + a.text + "' ";
                break;
            case Type::ClickButton:
                text += "click" + std::to_string(a.controlId) + " ";
                break;
            case Type::CloseBox:
                text += "close ";
                break;
            case Type::DismissMessageBox:
                text += "dismiss ";
                break;
            case Type::OpenList:
                text += "open" + std::to_string(a.controlId) + " ";
                break;
            case Type::CloseList:
                text += "fold ";
                break;
        }
    }
    return text;
}

std::string Press(Key key) {
    return "press" + std::to_string(static_cast<int>(key)) + " ";
}

TEST(TerminalInputTest, KeysBecomeDesktopActions) {
    WindowView box{};
    box.isMessageBox = true;
    box.modal = true;
    struct Case {
        const char* name;
        WindowView window;
        terminal::Keystroke stroke;
        bool listOpen;
        std::string actions;
    };
    const Case cases[] = {
        // Modal dialogs: the desktop's dialog keyboard handling does the work.
        {"modal Enter",
         Window(true, ControlKind::InputField),
         {InputKey::Enter, 0},
         false,
         Press(Key::Enter)},
        {"modal Escape",
         Window(true, ControlKind::InputField),
         {InputKey::Escape, 0},
         false,
         Press(Key::Escape)},
        {"modal Tab",
         Window(true, ControlKind::Button),
         {InputKey::ShiftTab, 0},
         false,
         Press(Key::ShiftTab)},
        {"Ctrl-C is the close box",
         Window(true, ControlKind::Button),
         {InputKey::Interrupt, 0},
         false,
         "close "},
        // Modeless progress dialogs have no dialog keys of their own.
        {"modeless Escape",
         Window(false, ControlKind::Button),
         {InputKey::Escape, 0},
         false,
         "close "},
        {"modeless Enter on Cancel",
         Window(false, ControlKind::Button),
         {InputKey::Enter, 0},
         false,
         "click2 "},
        {"modeless Enter elsewhere",
         Window(false, ControlKind::TextPanel),
         {InputKey::Enter, 0},
         false,
         ""},
        {"modeless Space",
         Window(false, ControlKind::Button),
         {InputKey::Space, 0},
         false,
         Press(Key::Space)},
        // Message boxes: Enter, Space, Escape and Ctrl-C dismiss; nothing else does.
        {"box Enter", box, {InputKey::Enter, 0}, false, "dismiss "},
        {"box Escape", box, {InputKey::Escape, 0}, false, "dismiss "},
        {"box Ctrl-C", box, {InputKey::Interrupt, 0}, false, "dismiss "},
        {"box Tab", box, {InputKey::Tab, 0}, false, ""},
        {"box letter", box, {InputKey::Character, 'x'}, false, ""},
        // Typing.
        {"letter in input",
         Window(true, ControlKind::InputField),
         {InputKey::Character, 'a'},
         false,
         "type'a' "},
        {"space in password",
         Window(true, ControlKind::PasswordField),
         {InputKey::Space, 0},
         false,
         "type' ' "},
        {"digit in address",
         Window(true, ControlKind::AddressEntry),
         {InputKey::Character, '7'},
         false,
         "type'7' "},
        {"dot in address",
         Window(true, ControlKind::AddressEntry),
         {InputKey::Character, '.'},
         false,
         "type'.' "},
        {"letter in address",
         Window(true, ControlKind::AddressEntry),
         {InputKey::Character, 'x'},
         false,
         ""},
        {"letter on button",
         Window(true, ControlKind::Button),
         {InputKey::Character, 'x'},
         false,
         ""},
        {"Backspace",
         Window(true, ControlKind::AddressEntry),
         {InputKey::Backspace, 0},
         false,
         Press(Key::Backspace)},
        // Drop-down list: F4 drops it down; while down the arrows move, Enter and Escape fold.
        {"F4 on list",
         Window(true, ControlKind::DropDownList),
         {InputKey::OpenList, 0},
         false,
         "open7 "},
        {"F4 elsewhere", Window(true, ControlKind::InputField), {InputKey::OpenList, 0}, false, ""},
        {"Down on closed list",
         Window(true, ControlKind::DropDownList),
         {InputKey::Down, 0},
         false,
         Press(Key::Down)},
        {"Down in open list",
         Window(true, ControlKind::DropDownList),
         {InputKey::Down, 0},
         true,
         Press(Key::Down)},
        {"Enter folds",
         Window(true, ControlKind::DropDownList),
         {InputKey::Enter, 0},
         true,
         "fold "},
        {"Escape folds, no Cancel",
         Window(true, ControlKind::DropDownList),
         {InputKey::Escape, 0},
         true,
         "fold "},
        {"Tab folds and moves",
         Window(true, ControlKind::DropDownList),
         {InputKey::Tab, 0},
         true,
         "fold " + Press(Key::Tab)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Describe(terminal::DecideActions(c.window, c.stroke, c.listOpen)), c.actions)
            << c.name;
    }
}

TEST(TerminalInputTest, TheTopMessageBoxOrEnabledWindowTakesTheKeyboard) {
    WindowView waiting = Window(false, ControlKind::Button);
    waiting.templateId = 114;
    WindowView connecting = Window(false, ControlKind::Button);
    connecting.templateId = 105;
    WindowView box{};
    box.isMessageBox = true;
    box.templateId = 0;
    WindowView disabled = Window(true, ControlKind::Button);
    disabled.enabled = false;
    disabled.templateId = 101;

    EXPECT_EQ(terminal::InputWindow({}), nullptr);
    EXPECT_EQ(terminal::InputWindow({waiting, connecting})->templateId, 105);
    // A box shown earlier still holds the keyboard when a dialog of another thread comes up.
    std::vector<WindowView> windows = {waiting, box, connecting};
    EXPECT_TRUE(terminal::InputWindow(windows)->isMessageBox);
    // The top window is disabled (its thread shows a task-modal box): the next one down.
    windows = {waiting, disabled};
    EXPECT_EQ(terminal::InputWindow(windows)->templateId, 114);
    windows = {disabled};
    EXPECT_EQ(terminal::InputWindow(windows), nullptr);
}

}  // namespace
