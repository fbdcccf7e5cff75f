// The routines every dialog of the utility shares: the common error box, centring, the trace
// sink and the handler of the cancel-only progress dialogs.
#pragma once

#include <cstdint>

#include "platform/dialogs.h"

inline constexpr const char* kFailureCaption = "ZEB Firwmare Upgrade Error";
// Shown when the user cancels the confirmation, a progress window or the password prompt.
inline constexpr const char* kUserAbortMessage = "Upgrade Failed: User Abort";

// The common error box: no owner, task-modal, OK only, no icon. A null caption means
// kFailureCaption. Returns when the user dismisses it.
int ShowFailure(const char* message, const char* caption = nullptr);
// ShowFailure(message), then end the process with exit code 0.
[[noreturn]] void FailAndEndProcess(const char* message);

// Sets the title of the warning and address dialogs: "%s Firmware Upgrade" with the name.
void SetUpgradeTitle(platform::Hwnd dialog, const char* displayName);

// Moves a window to the middle of the primary screen without resizing it.
void CenterWindow(platform::Hwnd window);
// The left (or top) coordinate that centres the span low..high on a screen `screenExtent` wide:
// (low - high + screenExtent) halved by an arithmetic shift, so it rounds toward minus infinity.
int CenteredCoordinate(int low, int high, int screenExtent);

// The diagnostic trace sink: printf-style; does nothing unless the build routes it somewhere.
void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Traces a text as it stands, not as a format.
void TraceText(const char* text, int length);

// Handler of the modeless dialogs 114 and 110: Cancel ends the process after "User Abort".
std::intptr_t CancelOnlyDialogProc(platform::Hwnd dialog, std::uint32_t message,
                                   std::uintptr_t wParam, std::intptr_t lParam);
