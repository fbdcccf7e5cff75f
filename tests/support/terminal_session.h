// A program run under a real terminal for end-to-end tests: a private tmux server (its own
// socket, no configuration file) with one window of a fixed size, keys sent by tmux key name,
// the screen read as text, and the program's exit code caught through a file.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

struct TerminalSession {
    std::string socketName;  // tmux -L name, unique to the process and session
    std::string directory;   // private temporary directory
    std::string exitFile;    // receives "EXIT=<code>" when the program ends
    bool started = false;
};

// Whether a tmux binary can be run.
bool TmuxAvailable();

// Runs `argv` in a new tmux window `columns` x `rows` with `environment` ("NAME=value" entries)
// added. False when tmux cannot start it.
bool StartTerminalSession(TerminalSession* session, const std::vector<std::string>& argv,
                          int columns, int rows, const std::vector<std::string>& environment = {});

// The screen as text, one line per row; empty once the program and the session have ended.
// With attributes, the text carries the escape sequences of its colours and video attributes.
std::string CaptureScreen(const TerminalSession& session, bool withAttributes = false);

// Polls the screen every 50 ms until it contains `text` or `timeoutMs` has passed. The last
// screen read is left in `screen` (for the failure message).
bool WaitForScreen(const TerminalSession& session, const std::string& text, int timeoutMs,
                   std::string* screen);

// Sends keys by tmux name ("Enter", "Tab", "BTab", "Escape", "C-c") or literal text.
void SendKeys(const TerminalSession& session, const std::vector<std::string>& keys);
void SendText(const TerminalSession& session, const std::string& text);

// Waits until the program has ended and returns its exit code; -1 when it is still running
// after `timeoutMs`.
int WaitForExitCode(const TerminalSession& session, int timeoutMs);

// After the program has ended: whether the terminal's modes (stty) are as they were before it
// started.
bool TerminalModesRestored(const TerminalSession& session);

// Kills the tmux server (and with it the program) and removes the temporary directory.
void EndTerminalSession(TerminalSession* session);

}  // namespace testsupport
