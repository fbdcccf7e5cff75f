#include "platform/terminal/input.h"

namespace terminal {
namespace {

using platform::ControlKind;
using platform::desktop::ControlView;
using platform::desktop::Key;
using platform::desktop::WindowView;

const ControlView* FocusedControl(const WindowView& window) {
    for (const ControlView& control : window.controls) {
        if (control.focused) {
            return &control;
        }
    }
    return nullptr;
}

bool IsButton(const ControlView* control) {
    return control != nullptr &&
           (control->kind == ControlKind::Button || control->kind == ControlKind::DefaultButton);
}

bool IsEdit(const ControlView* control) {
    return control != nullptr && (control->kind == ControlKind::InputField ||
                                  control->kind == ControlKind::PasswordField);
}

Action Press(Key key) {
    return Action{Action::Type::PressKey, key, {}, 0};
}

Action Simple(Action::Type type, int controlId = 0) {
    return Action{type, Key::Tab, {}, controlId};
}

Key DesktopKey(InputKey key) {
    switch (key) {
        case InputKey::Tab:
            return Key::Tab;
        case InputKey::ShiftTab:
            return Key::ShiftTab;
        case InputKey::Enter:
            return Key::Enter;
        case InputKey::Escape:
            return Key::Escape;
        case InputKey::Space:
            return Key::Space;
        case InputKey::Backspace:
            return Key::Backspace;
        case InputKey::Left:
            return Key::Left;
        case InputKey::Right:
            return Key::Right;
        case InputKey::Home:
            return Key::Home;
        case InputKey::End:
            return Key::End;
        case InputKey::Up:
            return Key::Up;
        case InputKey::Down:
            return Key::Down;
        default:
            return Key::OpenList;
    }
}

}  // namespace

const WindowView* InputWindow(const std::vector<WindowView>& windows) {
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        if (it->isMessageBox) {
            return &*it;
        }
    }
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        if (it->enabled) {
            return &*it;
        }
    }
    return nullptr;
}

std::vector<Action> DecideActions(const WindowView& window, Keystroke stroke, bool listOpen) {
    const InputKey key = stroke.key;
    if (window.isMessageBox) {
        if (key == InputKey::Enter || key == InputKey::Space || key == InputKey::Escape ||
            key == InputKey::Interrupt) {
            return {Simple(Action::Type::DismissMessageBox)};
        }
        return {};
    }
    const ControlView* focused = FocusedControl(window);
    if (listOpen) {
        // A dropped-down list keeps the arrows; Enter, Escape and F4 fold it up.
        switch (key) {
            case InputKey::Up:
            case InputKey::Down:
                return {Press(DesktopKey(key))};
            case InputKey::Enter:
            case InputKey::Escape:
            case InputKey::OpenList:
                return {Simple(Action::Type::CloseList)};
            case InputKey::Tab:
            case InputKey::ShiftTab:
                return {Simple(Action::Type::CloseList), Press(DesktopKey(key))};
            case InputKey::Interrupt:
                return {Simple(Action::Type::CloseList), Simple(Action::Type::CloseBox)};
            default:
                return {};
        }
    }
    switch (key) {
        case InputKey::Interrupt:
            return {Simple(Action::Type::CloseBox)};
        case InputKey::Escape:
            return {window.modal ? Press(Key::Escape) : Simple(Action::Type::CloseBox)};
        case InputKey::Enter:
            if (window.modal) {
                return {Press(Key::Enter)};
            }
            if (IsButton(focused)) {
                return {Simple(Action::Type::ClickButton, focused->id)};
            }
            return {};
        case InputKey::Space:
            if (IsEdit(focused)) {
                return {Action{Action::Type::TypeText, Key::Space, " ", 0}};
            }
            return {Press(Key::Space)};
        case InputKey::OpenList:
            if (focused != nullptr && focused->kind == ControlKind::DropDownList) {
                return {Simple(Action::Type::OpenList, focused->id)};
            }
            return {};
        case InputKey::Character: {
            bool addressCharacter =
                (stroke.character >= '0' && stroke.character <= '9') || stroke.character == '.';
            if (IsEdit(focused) ||
                (focused != nullptr && focused->kind == ControlKind::AddressEntry &&
                 addressCharacter)) {
                return {
                    Action{Action::Type::TypeText, Key::Tab, std::string(1, stroke.character), 0}};
            }
            return {};
        }
        default:
            return {Press(DesktopKey(key))};
    }
}

}  // namespace terminal
