// Runs the whole utility in a child process against the simulator, with a scripted user.
#pragma once

#include <functional>
#include <string>

#include "tests/support/child_process.h"
#include "tests/support/scripted_user.h"

// How much faster than real time the utility's clock and sleeps run in these tests: the
// 29.984-second flashing wait takes under two seconds, with every count unchanged.
inline constexpr int kE2eTimeScale = 16;

// Runs the program from its entry in a child (local address list: 127.0.0.1 alone) while
// `script` plays the user on its own thread. Returns the child's exit code and transcript.
ChildResult RunUpgradeProgram(const std::function<void(ScriptedUser&)>& script,
                              int timeoutMs = 60000);

// The usual answers: Continue on the warning, the device address typed in the address dialog
// (template 101 for adapters, 305 for handsets).
void PassWarningAndAddress(ScriptedUser& user, const std::string& deviceAddress, int addressDialog);

// Dismisses the message box that comes up, after noting it in the transcript.
void DismissBox(ScriptedUser& user);

// Ends a script that expects the program to end by itself: waits (bounded) without acting.
void WaitForTheEnd();
