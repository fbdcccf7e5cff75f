// A person at the virtual desktop, for tests: waits for what should appear and gives input the
// way a user would (typing, keys, clicks). Use it from its own thread, while the code under test
// runs and pumps its dialogs on theirs.
//
// Every wait is bounded (15 s of real time unless SetTimeout says otherwise). When a wait runs
// out of time the user writes "TIMEOUT waiting for <what>" and a dump of the visible windows:
// - inside a child of RunInChild, to the transcript, and the child ends with exit code
//   kExitScriptTimeout (97);
// - in an ordinary test, as a non-fatal GoogleTest failure (ADD_FAILURE). The user is then
//   "failed": later waits return at once with nothing found and input is no longer given, so the
//   script runs to its end without piling up further timeouts. Check Failed() to stop early.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/virtual_desktop.h"

class ScriptedUser {
  public:
    explicit ScriptedUser(int timeoutMs = 15000) : timeoutMs_(timeoutMs) {}

    void SetTimeout(int timeoutMs) { timeoutMs_ = timeoutMs; }
    bool Failed() const { return failed_; }

    // Waits until dialog `templateId` is visible, enabled and on top of its thread's windows;
    // it becomes the window that input goes to. Empty view (null handle) after a timeout.
    platform::desktop::WindowView WaitForDialog(int templateId);
    // Waits for a message box; it becomes the window that input goes to.
    platform::desktop::WindowView WaitForMessageBox();
    // Waits for a visible window whose title contains `substring`; input then goes to it.
    platform::desktop::WindowView WaitForTitle(const std::string& substring);
    // Waits until `condition` holds for the visible windows (bottom to top).
    bool WaitUntil(
        const std::function<bool(const std::vector<platform::desktop::WindowView>&)>& condition,
        const char* what);

    // Input to the current window (the one the last wait found).
    void Type(const std::string& text);
    void Press(platform::desktop::Key key);
    void Click(int controlId);
    void Choose(int controlId, int index);
    void Close();    // the close box
    void Dismiss();  // OK on the current message box

    // What the program would read from the current window's control (the address entry's dotted
    // form, the drop-down list's selected entry); "" when the window or control is gone.
    std::string Text(int controlId);
    // The current window's title; "" when it is no longer visible.
    std::string Title();
    platform::Hwnd Current() const { return current_; }

  private:
    platform::desktop::WindowView WaitForWindow(
        const std::function<const platform::desktop::WindowView*(
            const std::vector<platform::desktop::WindowView>&)>& find,
        const std::string& what);
    void TimedOut(const std::string& what);

    int timeoutMs_;
    bool failed_ = false;
    platform::Hwnd current_ = nullptr;
};
