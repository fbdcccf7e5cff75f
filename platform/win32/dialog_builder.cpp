// Lays a dialog template out in the DLGTEMPLATEEX format, the same bytes a resource compiler
// writes for a DIALOGEX statement.
#include "platform/win32/dialog_builder.h"

#include <windows.h>

#include <commctrl.h>

#include <cstring>

namespace platform::win32 {
namespace {

constexpr std::uint16_t kButtonAtom = 0x0080;
constexpr std::uint16_t kEditAtom = 0x0081;
constexpr std::uint16_t kStaticAtom = 0x0082;
constexpr std::uint16_t kComboBoxAtom = 0x0085;
constexpr std::uint16_t kOrdinalMark = 0xFFFF;

// Appends words to the template; items start on DWORD boundaries.
struct TemplateWriter {
    std::vector<std::uint16_t> words;

    void Word(std::uint16_t w) { words.push_back(w); }
    void Dword(std::uint32_t d) {
        Word(static_cast<std::uint16_t>(d & 0xFFFF));
        Word(static_cast<std::uint16_t>(d >> 16));
    }
    void Short(int v) { Word(static_cast<std::uint16_t>(static_cast<std::int16_t>(v))); }
    // The template texts are plain ASCII; each byte becomes one UTF-16 unit.
    void Text(const char* text) {
        for (const char* c = text; c != nullptr && *c != '\0'; ++c) {
            Word(static_cast<unsigned char>(*c));
        }
        Word(0);
    }
    void WideText(const wchar_t* text) {
        for (const wchar_t* c = text; *c != L'\0'; ++c) {
            Word(static_cast<std::uint16_t>(*c));
        }
        Word(0);
    }
    void AlignToDword() {
        if (words.size() % 2 != 0) {
            Word(0);
        }
    }
};

}  // namespace

ControlClass ClassOfKind(ControlKind kind) {
    constexpr std::uint32_t child = WS_CHILD | WS_VISIBLE;
    switch (kind) {
        case ControlKind::DefaultButton:
            return {kButtonAtom, nullptr, child | BS_DEFPUSHBUTTON};
        case ControlKind::Button:
            return {kButtonAtom, nullptr, child | BS_PUSHBUTTON};
        case ControlKind::TextPanel:
            return {kEditAtom, nullptr, child | ES_MULTILINE | ES_AUTOHSCROLL | ES_READONLY};
        case ControlKind::PlainValue:
            return {kEditAtom, nullptr, child | ES_AUTOHSCROLL | ES_READONLY};
        case ControlKind::ValueField:
            return {kEditAtom, nullptr, child | WS_BORDER | ES_AUTOHSCROLL | ES_READONLY};
        case ControlKind::CentredValueField:
            return {kEditAtom, nullptr,
                    child | WS_BORDER | ES_CENTER | ES_AUTOHSCROLL | ES_READONLY};
        case ControlKind::InputField:
            return {kEditAtom, nullptr, child | WS_BORDER | ES_AUTOHSCROLL};
        case ControlKind::PasswordField:
            return {kEditAtom, nullptr, child | WS_BORDER | ES_AUTOHSCROLL | ES_PASSWORD};
        case ControlKind::LabelLeft:
            return {kStaticAtom, nullptr, child | SS_LEFT | WS_GROUP};
        case ControlKind::LabelRight:
            return {kStaticAtom, nullptr, child | SS_RIGHT | WS_GROUP};
        case ControlKind::LabelCentred:
            return {kStaticAtom, nullptr, child | SS_CENTER | WS_GROUP};
        case ControlKind::Icon:
            return {kStaticAtom, nullptr, child | SS_ICON};
        case ControlKind::DropDownList:
            return {kComboBoxAtom, nullptr, child | CBS_DROPDOWNLIST | WS_VSCROLL};
        case ControlKind::AddressEntry:
            return {0, WC_IPADDRESSW, child};
        case ControlKind::ProgressBar:
            return {0, PROGRESS_CLASSW, child | WS_BORDER};
    }
    return {kStaticAtom, nullptr, child};
}

std::vector<std::uint32_t> BuildDialogTemplateEx(const DialogTemplate& dialog) {
    TemplateWriter w;
    w.Word(1);       // dlgVer
    w.Word(0xFFFF);  // signature: the extended template
    w.Dword(0);      // helpID
    w.Dword(0);      // exStyle
    w.Dword(kDialogStyle);
    w.Word(static_cast<std::uint16_t>(dialog.controlCount));
    w.Short(dialog.x);
    w.Short(dialog.y);
    w.Short(dialog.width);
    w.Short(dialog.height);
    w.Word(0);  // no menu
    w.Word(0);  // the standard dialog class
    w.Text(dialog.caption);
    w.Word(static_cast<std::uint16_t>(kDialogFontPoints));
    w.Word(FW_DONTCARE);
    w.Word(DEFAULT_CHARSET << 8);  // italic 0, then the character set byte
    w.Text(kDialogFontName);

    for (int i = 0; i < dialog.controlCount; ++i) {
        const ControlTemplate& c = dialog.controls[i];
        ControlClass cls = ClassOfKind(c.kind);
        w.AlignToDword();
        w.Dword(0);  // helpID
        w.Dword(0);  // exStyle
        w.Dword(cls.style | (c.tabStop ? WS_TABSTOP : 0));
        w.Short(c.x);
        w.Short(c.y);
        w.Short(c.width);
        w.Short(c.height);
        w.Dword(static_cast<std::uint32_t>(c.id));  // -1 is 0xFFFFFFFF, as compilers store it
        if (cls.name != nullptr) {
            w.WideText(cls.name);
        } else {
            w.Word(kOrdinalMark);
            w.Word(cls.atom);
        }
        if (c.kind == ControlKind::Icon) {
            w.Word(kOrdinalMark);  // the picture is the icon resource of that number
            w.Word(static_cast<std::uint16_t>(c.iconId));
        } else {
            w.Text(c.text);
        }
        w.Word(0);  // no creation data
    }
    w.AlignToDword();

    std::vector<std::uint32_t> dwords(w.words.size() / 2);
    std::memcpy(dwords.data(), w.words.data(), dwords.size() * sizeof(std::uint32_t));
    return dwords;
}

}  // namespace platform::win32
