// The dialog operations of platform/dialogs.h on USER32 and the common controls. Dialogs are
// built at run time from the same template data every renderer uses (ui/dialog_templates.cpp).
#include "platform/dialogs.h"

#include <windows.h>

#include <commctrl.h>

#include <new>
#include <vector>

#include "platform/dialog_template.h"
#include "platform/win32/dialog_builder.h"

namespace platform {
namespace {

HWND Native(Hwnd window) {
    return reinterpret_cast<HWND>(window);
}
Hwnd Neutral(HWND window) {
    return reinterpret_cast<Hwnd>(window);
}

LRESULT CALLBACK AppWindowProc(HWND, UINT, WPARAM, LPARAM) {
    return 0;
}

// The platform-neutral handler of one dialog and the parameter it was created with. The
// trampoline keeps it in DWLP_USER from WM_INITDIALOG on and hands every message to it.
struct HandlerRecord {
    DialogHandler handler;
    std::intptr_t param;
    bool owned;  // allocated for a modeless dialog, freed with the dialog's window
};

// What the creating call passes as the creation parameter: the record, and whether the dialog
// reached WM_INITDIALOG and took it.
struct Creation {
    HandlerRecord* record;
    bool attached;
};

INT_PTR CALLBACK TrampolineDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* creation = reinterpret_cast<Creation*>(lParam);
        HandlerRecord* record = creation->record;
        creation->attached = true;
        ::SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(record));
        return record->handler(Neutral(window), message, wParam, record->param);
    }
    auto* record = reinterpret_cast<HandlerRecord*>(::GetWindowLongPtrA(window, DWLP_USER));
    if (record == nullptr) {
        return FALSE;  // WM_SETFONT and the like, before WM_INITDIALOG
    }
    INT_PTR result = record->handler(Neutral(window), message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrA(window, DWLP_USER, 0);
        if (record->owned) {
            delete record;
        }
    }
    return result;
}

const DLGTEMPLATE* AsTemplate(const std::vector<std::uint32_t>& words) {
    return reinterpret_cast<const DLGTEMPLATE*>(words.data());
}

LRESULT SendToControl(Hwnd dialog, int controlId, UINT message, WPARAM wParam, LPARAM lParam) {
    return ::SendDlgItemMessageA(Native(dialog), controlId, message, wParam, lParam);
}

}  // namespace

bool RegisterAppWindowClass(Instance instance, const char* className) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = AppWindowProc;
    windowClass.hInstance = static_cast<HINSTANCE>(instance);
    windowClass.lpszClassName = className;
    return ::RegisterClassA(&windowClass) != 0;
}

void InitCommonControls(std::uint32_t classes) {
    INITCOMMONCONTROLSEX controls;
    controls.dwSize = sizeof controls;
    controls.dwICC = classes;
    ::InitCommonControlsEx(&controls);
}

std::intptr_t RunModalDialog(Instance instance, int templateId, DialogHandler handler,
                             std::intptr_t param) {
    const DialogTemplate* dialog = FindDialogTemplate(templateId);
    if (dialog == nullptr) {
        return -1;  // what DialogBoxIndirectParam answers when it cannot make the dialog
    }
    std::vector<std::uint32_t> words = win32::BuildDialogTemplateEx(*dialog);
    HandlerRecord record{handler, param, false};
    Creation creation{&record, false};
    return ::DialogBoxIndirectParamA(static_cast<HINSTANCE>(instance), AsTemplate(words), nullptr,
                                     TrampolineDialogProc, reinterpret_cast<LPARAM>(&creation));
}

void EndModalDialog(Hwnd dialog, std::intptr_t result) {
    ::EndDialog(Native(dialog), result);
}

Hwnd CreateModelessDialog(Instance instance, int templateId, DialogHandler handler,
                          std::intptr_t param) {
    const DialogTemplate* dialog = FindDialogTemplate(templateId);
    auto* record = new (std::nothrow) HandlerRecord{handler, param, true};
    if (dialog == nullptr || record == nullptr) {
        delete record;
        return nullptr;
    }
    // The template is read only while the dialog is created, so it may go when this returns.
    std::vector<std::uint32_t> words = win32::BuildDialogTemplateEx(*dialog);
    Creation creation{record, false};
    HWND window =
        ::CreateDialogIndirectParamA(static_cast<HINSTANCE>(instance), AsTemplate(words), nullptr,
                                     TrampolineDialogProc, reinterpret_cast<LPARAM>(&creation));
    if (!creation.attached) {
        delete record;  // a dialog that failed before WM_INITDIALOG never took it
    }
    return Neutral(window);
}

void ShowDialogWindow(Hwnd dialog) {
    ::ShowWindow(Native(dialog), SW_SHOWNORMAL);
}

void DestroyDialogWindow(Hwnd dialog) {
    ::DestroyWindow(Native(dialog));
}

bool DispatchOneMessage(Hwnd dialog) {
    // With a window filter PeekMessage also takes the messages of the dialog's controls.
    MSG message;
    if (!::PeekMessageA(&message, Native(dialog), 0, 0, PM_REMOVE)) {
        return false;
    }
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
    return true;
}

void SetWindowTitle(Hwnd window, const char* title) {
    ::SetWindowTextA(Native(window), title);
}

void SetControlText(Hwnd dialog, int controlId, const char* text) {
    ::SetDlgItemTextA(Native(dialog), controlId, text);
}

int GetControlText(Hwnd dialog, int controlId, char* destination, int limit) {
    if (limit <= 0) {
        return 0;
    }
    destination[0] = '\0';
    return static_cast<int>(::GetDlgItemTextA(Native(dialog), controlId, destination, limit));
}

void SetControlFocus(Hwnd dialog, int controlId) {
    ::SetFocus(::GetDlgItem(Native(dialog), controlId));
}

void ListAddEntry(Hwnd dialog, int controlId, const char* text) {
    SendToControl(dialog, controlId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
}

void ListSelectEntry(Hwnd dialog, int controlId, int index) {
    SendToControl(dialog, controlId, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int ListSelectedEntry(Hwnd dialog, int controlId) {
    LRESULT index = SendToControl(dialog, controlId, CB_GETCURSEL, 0, 0);
    return index == CB_ERR ? -1 : static_cast<int>(index);
}

void ProgressSetRange(Hwnd dialog, int controlId, int maximum) {
    // Minimum 0 in the low word, maximum in the high word.
    SendToControl(dialog, controlId, PBM_SETRANGE, 0,
                  static_cast<LPARAM>(static_cast<std::uint32_t>(maximum) << 16));
}

void ProgressSetPosition(Hwnd dialog, int controlId, int position) {
    SendToControl(dialog, controlId, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

int ShowMessageBox(Hwnd owner, const char* text, const char* caption, std::uint32_t flags) {
    return ::MessageBoxA(Native(owner), text, caption, flags);
}

void GetPrimaryScreenSize(int* width, int* height) {
    *width = ::GetSystemMetrics(SM_CXSCREEN);
    *height = ::GetSystemMetrics(SM_CYSCREEN);
}

bool GetWindowRectangle(Hwnd window, Rect* rect) {
    RECT r;
    if (!::GetWindowRect(Native(window), &r)) {
        return false;
    }
    *rect = Rect{r.left, r.top, r.right, r.bottom};
    return true;
}

void MoveWindowTo(Hwnd window, int x, int y) {
    ::SetWindowPos(Native(window), HWND_TOP, x, y, 0, 0, SWP_NOSIZE);
}

}  // namespace platform
