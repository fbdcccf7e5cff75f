// In-memory Win32 dialog templates (DLGTEMPLATEEX) built from the utility's template data, so
// the dialogs have one source of truth on every platform.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/dialog_template.h"

namespace platform::win32 {

// Window class and style of one control kind, as a resource compiler would store them.
struct ControlClass {
    std::uint16_t atom;   // predefined class atom (0x0080 BUTTON ...), 0 when `name` is used
    const wchar_t* name;  // registered class name, null when `atom` is used
    std::uint32_t style;  // WS_CHILD | WS_VISIBLE and the kind's own flags, no WS_TABSTOP
};

ControlClass ClassOfKind(ControlKind kind);

// The DLGTEMPLATEEX of `dialog`: the common frame (style, 8-point "MS Sans Serif"), then one
// DLGITEMTEMPLATEEX per control in template order. The words are DWORD-aligned as
// DialogBoxIndirectParam and CreateDialogIndirectParam require.
std::vector<std::uint32_t> BuildDialogTemplateEx(const DialogTemplate& dialog);

}  // namespace platform::win32
