// The virtual desktop: an in-process model of every open dialog and message box, serving the
// operations of platform/dialogs.h on POSIX. Renderers (the terminal) and the scripted test user
// read it through snapshots and feed it input through the driver calls below; the dialog logic
// never sees the difference. All calls are thread-safe.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/dialog_template.h"
#include "platform/dialogs.h"

namespace platform::desktop {

// Virtual screen in pixels; dialog units map to pixels as for an 8-point "MS Sans Serif" font.
inline constexpr int kScreenWidth = 1024;
inline constexpr int kScreenHeight = 768;

struct ControlView {
    int id;
    ControlKind kind;
    // As shown: the password field's real text (renderers mask it); the address entry's four
    // fields as typed, joined by dots, blank fields empty ("10.1.." while typing, "..." blank).
    std::string text;
    int x, y, width, height;  // dialog units, from the template
    bool tabStop;
    bool focused;
    int iconId;
    std::vector<std::string> items;  // drop-down list entries
    int selection;                   // drop-down list selection, -1 for none
    int rangeMax;                    // progress bar range 0..rangeMax
    int position;                    // progress bar position
    bool isDefault;                  // the button Enter presses
};

struct WindowView {
    Hwnd handle;
    int templateId;  // 0 for a message box
    bool isMessageBox;
    bool modal;     // a modal dialog (dialog keys apply) or a message box
    bool visible;
    bool enabled;   // false while a task-modal box of its thread is up
    std::string title;
    std::string text;    // message box text
    std::uint32_t flags;  // message box flags
    Rect rect;           // screen rectangle in virtual pixels, frame included
    std::uint64_t ownerThread;
    std::vector<ControlView> controls;  // template order
};

// Every visible window, bottom to top (the most recently shown last).
std::vector<WindowView> Snapshot();
// Grows by one on every change a renderer or a test could see.
std::uint64_t ChangeCount();
// Waits until ChangeCount() differs from `seen` or the time is up; returns the new count.
std::uint64_t WaitForChange(std::uint64_t seen, int timeoutMs);
// Called (on the thread that made the change) after every change; keep it short.
void SetChangeObserver(std::function<void()> observer);

enum class Key {
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
    OpenList,  // Alt-Down or F4 on a drop-down list
};

// Input, as a person gives it. Each call acts on `window` as the dialog keyboard handling of a
// modal dialog would; commands are posted to the window's owning thread and take effect when
// that thread pumps its messages.
void TypeText(Hwnd window, const std::string& text);  // into the focused control
void PressKey(Hwnd window, Key key);
void ClickButton(Hwnd window, int controlId);  // also focuses it, as a mouse click does
void ClickControl(Hwnd window, int controlId);  // focus a control with the mouse
void ChooseListEntry(Hwnd window, int controlId, int index);
void CloseBox(Hwnd window);  // the close box: command 2 (Cancel)
void DismissMessageBox(Hwnd box);  // OK

// Resets the model between tests (no window may be open).
void ResetForTest();

}  // namespace platform::desktop
