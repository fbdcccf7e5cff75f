// Runs a piece of the utility in a child process, the way the utility really ends: through
// platform::EndProcess from whichever thread gets there first. The child writes a transcript of
// what the user saw (every window that opened or closed, every title change, every message box)
// and of anything the test adds with TranscriptLine; the parent collects it and the exit code.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct ChildResult {
    int exitCode;   // the child's exit code; 128 + signal when a signal ended it
    bool timedOut;  // the child ran past the time limit and was killed
    std::string transcript;
};

// Exit codes the harness itself gives a child.
inline constexpr int kExitScriptTimeout = 97;  // a ScriptedUser wait ran out of time
inline constexpr int kExitException = 98;      // the body let an exception escape

// Forks; the child resets the virtual desktop and the upgrade state, starts the desktop recorder,
// runs `body` and exits 0 if it returns. The parent collects the transcript until the child ends,
// or kills it (SIGKILL) once `timeoutMs` have passed. Only the calling thread lives on in the
// child, so call it while no other thread of the test is using the desktop.
ChildResult RunInChild(const std::function<void()>& body, int timeoutMs);

// True inside a child started by RunInChild.
bool InChildProcess();

// Writes one line to the transcript (a newline is added). Thread-safe; does nothing outside a
// child.
void TranscriptLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Lines of `transcript` that start with `prefix`, in order ("" gives every line).
std::vector<std::string> TranscriptLines(const std::string& transcript,
                                         const std::string& prefix = "");
