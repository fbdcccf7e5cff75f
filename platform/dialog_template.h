// The description of a dialog template: what a resource compiler would store. The data of the
// utility's ten dialogs lives in ui/dialog_templates.cpp; every renderer builds its dialogs from it.
#pragma once

#include <cstdint>

namespace platform {

enum class ControlKind {
    DefaultButton,      // BUTTON, BS_DEFPUSHBUTTON, tab stop
    Button,             // BUTTON, BS_PUSHBUTTON, tab stop
    TextPanel,          // EDIT multi-line read-only, no border; lines break at "\r\n"
    PlainValue,         // EDIT single-line read-only, no border
    ValueField,         // EDIT single-line read-only, border
    CentredValueField,  // as ValueField, text centred
    InputField,         // EDIT single-line editable, border
    PasswordField,      // as InputField, masked
    LabelLeft,          // STATIC SS_LEFT, starts a group, no tab stop
    LabelRight,         // STATIC SS_RIGHT
    LabelCentred,       // STATIC SS_CENTER
    Icon,               // STATIC SS_ICON showing icon resource `iconId`
    DropDownList,       // COMBOBOX CBS_DROPDOWNLIST with vertical scroll bar, tab stop
    AddressEntry,       // "SysIPAddress32", tab stop
    ProgressBar,        // "msctls_progress32", bordered, segmented, no tab stop
};

// Position and size in dialog units of the dialog font (8-point "MS Sans Serif").
struct ControlTemplate {
    int id;  // -1: never addressed by the program
    ControlKind kind;
    const char* text;  // text in the template ("" when empty)
    int x, y, width, height;
    bool tabStop;
    int iconId;  // icon resource for ControlKind::Icon, else 0
};

struct DialogTemplate {
    int id;
    const char* caption;
    int x, y, width, height;
    const ControlTemplate* controls;  // in template order (also the Tab order)
    int controlCount;
};

// Common frame of every template: WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT.
inline constexpr std::uint32_t kDialogStyle = 0x80C800C0u;
inline constexpr const char* kDialogFontName = "MS Sans Serif";
inline constexpr int kDialogFontPoints = 8;
inline constexpr int kTemplateLanguage = 1033;

// Looks a template up by its number; null when there is none. Defined with the data.
const DialogTemplate* FindDialogTemplate(int templateId);
// All templates, for renderers and tests that check every one.
const DialogTemplate* const* AllDialogTemplates(int* count);

}  // namespace platform
