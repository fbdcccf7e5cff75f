// What a key does in the terminal, with Windows dialog conventions: which window takes the
// keyboard and which driver calls of the virtual desktop a keystroke becomes. Pure decisions on
// snapshots; terminal_renderer.cpp reads the keys and carries the actions out.
#pragma once

#include <string>
#include <vector>

#include "platform/dialogs.h"
#include "platform/virtual_desktop.h"

namespace terminal {

enum class InputKey {
    Tab,
    ShiftTab,
    Enter,
    Escape,
    Space,
    Backspace,
    Left,
    Right,
    Home,
    End,
    Up,
    Down,
    OpenList,   // F4 or Alt-Down
    Interrupt,  // Ctrl-C: the close box of the top window
    Character,  // a printable character other than space
};

struct Keystroke {
    InputKey key;
    char character;  // for InputKey::Character
};

struct Action {
    enum class Type {
        PressKey,
        TypeText,
        ClickButton,
        CloseBox,
        DismissMessageBox,
        OpenList,   // the renderer drops the focused drop-down list down
        CloseList,  // and folds it up again
    };
    Type type;
    platform::desktop::Key key;  // PressKey
    std::string text;            // TypeText
    int controlId;               // ClickButton, OpenList
};

// The window that takes the keyboard: the top message box while one is up (it holds the input
// until dismissed), else the top window that is enabled. Null when there is none.
const platform::desktop::WindowView* InputWindow(
    const std::vector<platform::desktop::WindowView>& windows);

// The actions of one keystroke on `window`. `listOpen` tells whether the window's focused
// drop-down list is dropped down. Modal dialogs get the dialog keys through the desktop's
// dialog keyboard handling; the modeless progress dialogs, which have none, still take Escape
// as their close box and Enter on their focused button.
std::vector<Action> DecideActions(const platform::desktop::WindowView& window, Keystroke stroke,
                                  bool listOpen);

}  // namespace terminal
