// The routines every dialog shares: the common error box, centring, the trace sink and the
// handler of the cancel-only progress dialogs.
#include "ui/common.h"

#include <cstdarg>
#include <cstdio>

#include "platform/process.h"
#include "ui/dialog_ids.h"

int ShowFailure(const char* message, const char* caption) {
    return platform::ShowMessageBox(nullptr, message,
                                    caption != nullptr ? caption : kFailureCaption,
                                    platform::kMessageBoxOk | platform::kMessageBoxTaskModal);
}

void FailAndEndProcess(const char* message) {
    ShowFailure(message);
    platform::EndProcess(0);
}

void SetUpgradeTitle(platform::Hwnd dialog, const char* displayName) {
    char title[64];
    std::snprintf(title, sizeof title, "%s Firmware Upgrade", displayName);
    platform::SetWindowTitle(dialog, title);
}

int CenteredCoordinate(int low, int high, int screenExtent) {
    return (low - high + screenExtent) >> 1;
}

void CenterWindow(platform::Hwnd window) {
    platform::Rect rect;
    if (!platform::GetWindowRectangle(window, &rect)) {
        return;
    }
    int width = 0;
    int height = 0;
    platform::GetPrimaryScreenSize(&width, &height);
    platform::MoveWindowTo(window, CenteredCoordinate(rect.left, rect.right, width),
                           CenteredCoordinate(rect.top, rect.bottom, height));
}

void Trace(const char* format, ...) {
#ifdef ZEB_TRACE
    std::va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stderr, format, arguments);
    va_end(arguments);
#else
    (void)format;
#endif
}

void TraceText(const char* text, int length) {
#ifdef ZEB_TRACE
    std::fwrite(text, 1, static_cast<std::size_t>(length), stderr);
#else
    (void)text;
    (void)length;
#endif
}

std::intptr_t CancelOnlyDialogProc(platform::Hwnd dialog, std::uint32_t message,
                                   std::uintptr_t wParam, std::intptr_t) {
    if (message == platform::kMessageInitDialog) {
        CenterWindow(dialog);
        return 1;  // the platform focuses the first tab stop, the Cancel button
    }
    if (message == platform::kMessageCommand && (wParam & 0xffffu) == kControlCancel) {
        platform::DestroyDialogWindow(dialog);
        FailAndEndProcess(kUserAbortMessage);
    }
    return 0;
}
