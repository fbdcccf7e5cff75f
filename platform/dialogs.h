// The dialog operations the utility needs, in the shape of the Win32 dialog manager: handlers
// of (window, message, two parameters), modal and modeless dialogs built from templates, a
// message queue per thread. Win32 serves them with USER32; POSIX with the virtual desktop.
#pragma once

#include <cstdint>

namespace platform {

struct WindowObject;
using Hwnd = WindowObject*;
using Instance = void*;

// Returns nonzero (TRUE) when it handled the message.
using DialogHandler = std::intptr_t (*)(Hwnd window, std::uint32_t message, std::uintptr_t wParam,
                                        std::intptr_t lParam);

inline constexpr std::uint32_t kMessageInitDialog = 0x0110;  // lParam: the creation parameter
inline constexpr std::uint32_t kMessageCommand = 0x0111;     // low 16 bits of wParam: control id
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

inline constexpr std::uint32_t kMessageBoxOk = 0x0000;         // MB_OK, no icon flag
inline constexpr std::uint32_t kMessageBoxTaskModal = 0x2000;  // MB_TASKMODAL

struct Rect {
    int left, top, right, bottom;
};

// Registers the application's window class (never used for a window). False on failure.
bool RegisterAppWindowClass(Instance instance, const char* className);
// Registers the address entry and progress bar classes (InitCommonControlsEx 0x820).
void InitCommonControls(std::uint32_t classes);

// Runs a dialog modally, without owner, on the calling thread until EndModalDialog.
std::intptr_t RunModalDialog(Instance instance, int templateId, DialogHandler handler,
                             std::intptr_t param);
void EndModalDialog(Hwnd dialog, std::intptr_t result);

// Creates a hidden modeless dialog owned by the calling thread, which must pump it.
Hwnd CreateModelessDialog(Instance instance, int templateId, DialogHandler handler,
                          std::intptr_t param);
void ShowDialogWindow(Hwnd dialog);
void DestroyDialogWindow(Hwnd dialog);
// Removes at most one pending message for `dialog` or its controls from the calling thread's
// queue, translates and dispatches it (no dialog keyboard handling). True when there was one.
bool DispatchOneMessage(Hwnd dialog);

void SetWindowTitle(Hwnd window, const char* title);
void SetControlText(Hwnd dialog, int controlId, const char* text);
// Copies at most limit - 1 characters and a NUL; returns the characters copied.
int GetControlText(Hwnd dialog, int controlId, char* destination, int limit);
void SetControlFocus(Hwnd dialog, int controlId);
void ListAddEntry(Hwnd dialog, int controlId, const char* text);
void ListSelectEntry(Hwnd dialog, int controlId, int index);
int ListSelectedEntry(Hwnd dialog, int controlId);  // -1 when nothing is selected
void ProgressSetRange(Hwnd dialog, int controlId, int maximum);  // minimum 0, maximum <= 65535
void ProgressSetPosition(Hwnd dialog, int controlId, int position);

// Shows a message box and waits until it is dismissed; returns the button pressed.
int ShowMessageBox(Hwnd owner, const char* text, const char* caption, std::uint32_t flags);

void GetPrimaryScreenSize(int* width, int* height);
bool GetWindowRectangle(Hwnd window, Rect* rect);  // screen coordinates, frame included
void MoveWindowTo(Hwnd window, int x, int y);      // keeps the size; top of the Z order

}  // namespace platform
