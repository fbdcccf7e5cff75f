#include "platform/terminal/layout.h"

#include <algorithm>

namespace terminal {
namespace {

using platform::ControlKind;
using platform::desktop::ControlView;

int FloorDiv(long long a, long long b) {
    long long q = a / b;
    return static_cast<int>((a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q);
}

int CeilDiv(long long a, long long b) {
    return -FloorDiv(-a, b);
}

int Length(const std::string& text) {
    return static_cast<int>(text.size());
}

bool IsLabel(ControlKind kind) {
    return kind == ControlKind::LabelLeft || kind == ControlKind::LabelRight ||
           kind == ControlKind::LabelCentred;
}

bool IsButton(ControlKind kind) {
    return kind == ControlKind::Button || kind == ControlKind::DefaultButton;
}

bool IsBracketed(ControlKind kind) {
    switch (kind) {
        case ControlKind::ValueField:
        case ControlKind::CentredValueField:
        case ControlKind::InputField:
        case ControlKind::PasswordField:
        case ControlKind::DropDownList:
        case ControlKind::AddressEntry:
        case ControlKind::ProgressBar:
            return true;
        default:
            return false;
    }
}

// A label shorter than two rows is one line of text; taller ones hold a wrapped paragraph.
bool IsSingleLine(const ControlView& control) {
    if (IsLabel(control.kind)) {
        return control.height < 2 * kUnitsPerRow;
    }
    return control.kind != ControlKind::TextPanel && control.kind != ControlKind::Icon;
}

// Widest cell run in which an address "aaa.bbb.ccc.ddd" is shown.
constexpr int kAddressCells = 15;

// Whether a control's text shows whole in its cells.
bool ContentFits(const ControlView& control, const CellRect& cells) {
    switch (control.kind) {
        case ControlKind::TextPanel:
            for (const std::string& line : SplitLines(control.text)) {
                if (Length(line) > cells.width) {
                    return false;
                }
            }
            return true;
        case ControlKind::LabelLeft:
        case ControlKind::LabelRight:
        case ControlKind::LabelCentred: {
            // Every word whole on a line, and the wrapped lines within the rows, with a spare
            // cell so that a label never runs into the control beside it.
            int room = cells.width - 1;
            std::size_t longestWord = 0;
            for (std::size_t i = 0; i < control.text.size();) {
                std::size_t end = control.text.find_first_of(" \r\n", i);
                end = end == std::string::npos ? control.text.size() : end;
                longestWord = std::max(longestWord, end - i);
                i = end + 1;
            }
            return static_cast<int>(longestWord) <= room &&
                   static_cast<int>(WrapWords(control.text, room).size()) <= cells.height;
        }
        case ControlKind::PlainValue:
            return Length(control.text) <= cells.width;
        case ControlKind::ValueField:
        case ControlKind::CentredValueField:
            return Length(control.text) + 2 <= cells.width;
        case ControlKind::Button:
        case ControlKind::DefaultButton:
            return Length(control.text) + 4 <= cells.width;
        case ControlKind::DropDownList:
            for (const std::string& item : control.items) {
                if (Length(item) + 4 > cells.width) {
                    return false;
                }
            }
            return true;
        case ControlKind::AddressEntry:
            return kAddressCells + 2 <= cells.width;
        default:
            return true;
    }
}

std::string ButtonFace(const ControlView& control, int width) {
    const char* open = control.isDefault ? "<[" : "< ";
    const char* close = control.isDefault ? "]>" : " >";
    // Too narrow for the brackets: the label matters more.
    if (Length(control.text) + 4 > width) {
        return Fit(control.text, width, Align::Centre);
    }
    return Fit(open + control.text + close, width, Align::Centre);
}

std::string Bracketed(std::string_view inner, int width) {
    if (width < 2) {
        return Fit(inner, width);
    }
    return "[" + Fit(inner, width - 2) + "]";
}

// An editable field keeps its end (where the caret is) in view, with a cell for the caret.
std::string EditView(const std::string& shown, int inner) {
    if (inner <= 0) {
        return "";
    }
    if (Length(shown) >= inner) {
        return shown.substr(shown.size() - static_cast<std::size_t>(inner - 1));
    }
    return shown;
}

std::vector<std::string> AddressParts(const std::string& text) {
    std::vector<std::string> parts(4);
    std::size_t part = 0;
    for (char ch : text) {
        if (ch == '.') {
            if (++part == parts.size()) {
                break;
            }
        } else if (parts[part].size() < 3) {
            parts[part] += ch;
        }
    }
    return parts;
}

std::string AddressFace(const std::string& text) {
    std::string face;
    std::vector<std::string> parts = AddressParts(text);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        face += (i ? "." : "") + Fit(parts[i], 3, Align::Right);
    }
    return face;
}

std::string ProgressFace(int position, int rangeMax, int inner) {
    int filled = 0;
    if (rangeMax > 0 && inner > 0) {
        long long clamped = std::clamp(position, 0, rangeMax);
        filled = static_cast<int>(clamped * inner / rangeMax);
    }
    return std::string(static_cast<std::size_t>(filled), '#');
}

// Two-line pictures of the product: an adapter box with its light, a desk telephone.
std::vector<std::string> IconGlyph(int iconId) {
    if (iconId == 286) {
        return {"(___)", "[:::]"};
    }
    return {" ___ ", "[__o]"};
}

}  // namespace

int ColumnOf(int xUnits, int scale) {
    return FloorDiv(static_cast<long long>(xUnits) * scale,
                    static_cast<long long>(kUnitsPerColumn) * kBaseScale);
}

int RowOf(int yUnits) {
    return FloorDiv(yUnits, kUnitsPerRow);
}

CellRect ControlCells(const ControlView& control, int scale) {
    CellRect cells{};
    cells.column = ColumnOf(control.x, scale);
    cells.width = std::max(1, ColumnOf(control.x + control.width, scale) - cells.column);
    if (IsSingleLine(control)) {
        int height = control.kind == ControlKind::DropDownList
                         ? std::min(control.height, kClosedListHeight)
                         : control.height;
        cells.row = RowOf(control.y + height / 2);
        cells.height = 1;
    } else {
        cells.row = RowOf(control.y);
        cells.height = std::max(1, RowOf(control.y + control.height) - cells.row);
    }
    return cells;
}

namespace {

// Rows of the client area that no control covers.
std::vector<bool> UsedRows(const DialogLayout& layout) {
    std::vector<bool> used(static_cast<std::size_t>(std::max(layout.clientRows, 0)), false);
    for (const CellRect& cells : layout.controls) {
        for (int r = std::max(cells.row, 0); r < cells.row + cells.height && r < layout.clientRows;
             ++r) {
            used[static_cast<std::size_t>(r)] = true;
        }
    }
    return used;
}

// Removes one empty row from the longest run of empty rows; false when there is none.
bool RemoveEmptyRow(DialogLayout& layout) {
    std::vector<bool> used = UsedRows(layout);
    int best = -1;
    int bestLength = 0;
    for (int r = 0; r < layout.clientRows;) {
        if (used[static_cast<std::size_t>(r)]) {
            ++r;
            continue;
        }
        int start = r;
        while (r < layout.clientRows && !used[static_cast<std::size_t>(r)]) {
            ++r;
        }
        if (r - start > bestLength) {
            bestLength = r - start;
            best = start;
        }
    }
    if (best < 0) {
        return false;
    }
    for (CellRect& cells : layout.controls) {
        if (cells.row > best) {
            --cells.row;
        }
    }
    --layout.clientRows;
    --layout.boxRows;
    return true;
}

// A dialog taller than the terminal gives up its empty rows, then the rows its texts leave
// unused, so that its fields and buttons stay on the screen; the order of the rows is kept.
void Squeeze(DialogLayout& layout, const std::vector<ControlView>& controls, int maxRows) {
    while (layout.boxRows > maxRows && RemoveEmptyRow(layout)) {
    }
    if (layout.boxRows <= maxRows) {
        return;
    }
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const ControlView& control = controls[i];
        CellRect& cells = layout.controls[i];
        std::size_t lines = 0;
        if (control.kind == ControlKind::TextPanel) {
            lines = SplitLines(control.text).size();
        } else if (IsLabel(control.kind)) {
            lines = WrapWords(control.text, cells.width).size();
        } else {
            continue;
        }
        cells.height = std::clamp(static_cast<int>(lines), 1, cells.height);
    }
    while (layout.boxRows > maxRows && RemoveEmptyRow(layout)) {
    }
}

// A one-line label whose text (and a spare cell) is wider than its cells spills into the free
// cells of its row, away from its alignment edge: up to the nearest control or the client edge.
void SpillLabels(const std::vector<ControlView>& controls, std::vector<CellRect>& cells,
                 int clientColumns) {
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const ControlView& label = controls[i];
        CellRect& own = cells[i];
        int wanted = Length(label.text) + 1;
        bool left = label.kind == ControlKind::LabelLeft;
        if ((!left && label.kind != ControlKind::LabelRight) || !IsSingleLine(label) ||
            wanted <= own.width) {
            continue;
        }
        int limit = left ? clientColumns : 0;
        for (std::size_t j = 0; j < cells.size(); ++j) {
            const CellRect& other = cells[j];
            if (j == i || other.row > own.row || other.row + other.height <= own.row) {
                continue;
            }
            if (left && other.column >= own.column + own.width) {
                limit = std::min(limit, other.column);
            } else if (!left && other.column + other.width <= own.column) {
                limit = std::max(limit, other.column + other.width);
            }
        }
        int end = own.column + own.width;
        int width = std::min(wanted, left ? limit - own.column : end - limit);
        if (width > own.width) {
            own.width = width;
            if (!left) {
                own.column = end - width;
            }
        }
    }
}

std::vector<CellRect> CellsAt(const std::vector<ControlView>& controls, int scale,
                              int clientColumns) {
    std::vector<CellRect> cells;
    for (const ControlView& control : controls) {
        cells.push_back(ControlCells(control, scale));
    }
    SpillLabels(controls, cells, clientColumns);
    return cells;
}

}  // namespace

DialogLayout LayoutDialog(int widthUnits, int heightUnits, const std::vector<ControlView>& controls,
                          int maxColumns, int maxRows) {
    auto columnsAt = [widthUnits](int scale) {
        return CeilDiv(static_cast<long long>(widthUnits) * scale,
                       static_cast<long long>(kUnitsPerColumn) * kBaseScale);
    };
    // The smallest widening that shows every text whole; failing that, the most room there is.
    int scale = kBaseScale;
    for (int candidate = kBaseScale; candidate <= kMaxScale; candidate += 25) {
        if (candidate > kBaseScale && columnsAt(candidate) + 2 > maxColumns) {
            break;
        }
        scale = candidate;
        std::vector<CellRect> cells = CellsAt(controls, candidate, columnsAt(candidate));
        bool fits = true;
        for (std::size_t i = 0; i < controls.size() && fits; ++i) {
            fits = ContentFits(controls[i], cells[i]);
        }
        if (fits) {
            break;
        }
    }
    DialogLayout layout{};
    layout.scale = scale;
    layout.clientColumns = columnsAt(scale);
    layout.clientRows = CeilDiv(heightUnits, kUnitsPerRow);
    layout.boxColumns = layout.clientColumns + 2;
    layout.boxRows = layout.clientRows + 2;
    layout.controls = CellsAt(controls, scale, layout.clientColumns);
    Squeeze(layout, controls, maxRows);
    return layout;
}

DialogLayout LayoutWindow(const platform::desktop::WindowView& window, int maxColumns,
                          int maxRows) {
    int width = 0;
    int height = 0;
    if (const platform::DialogTemplate* dialog = platform::FindDialogTemplate(window.templateId)) {
        width = dialog->width;
        height = dialog->height;
    } else {
        for (const ControlView& c : window.controls) {
            width = std::max(width, c.x + c.width + kUnitsPerColumn);
            height = std::max(height, c.y + c.height + kUnitsPerRow);
        }
    }
    return LayoutDialog(width, height, window.controls, maxColumns, maxRows);
}

std::vector<ControlView> TemplateControls(const platform::DialogTemplate& dialog) {
    std::vector<ControlView> controls;
    for (int i = 0; i < dialog.controlCount; ++i) {
        const platform::ControlTemplate& t = dialog.controls[i];
        ControlView view{};
        view.id = t.id;
        view.kind = t.kind;
        view.text = t.text;
        view.x = t.x;
        view.y = t.y;
        view.width = t.width;
        view.height = t.height;
        view.tabStop = t.tabStop;
        view.iconId = t.iconId;
        view.selection = -1;
        view.isDefault = t.kind == ControlKind::DefaultButton;
        controls.push_back(view);
    }
    return controls;
}

CellPoint PlaceBox(const platform::Rect& virtualRect, int boxColumns, int boxRows,
                   int screenColumns, int screenRows) {
    auto place = [](long long twiceCentre, int virtualSize, int box, int screen) {
        int start = FloorDiv(twiceCentre * screen / virtualSize - box, 2);
        if (box >= screen) {
            return 0;
        }
        return std::clamp(start, 0, screen - box);
    };
    CellPoint origin{};
    origin.column = place(static_cast<long long>(virtualRect.left) + virtualRect.right,
                          platform::desktop::kScreenWidth, boxColumns, screenColumns);
    origin.row = place(static_cast<long long>(virtualRect.top) + virtualRect.bottom,
                       platform::desktop::kScreenHeight, boxRows, screenRows);
    return origin;
}

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    if (text.empty()) {
        return lines;
    }
    std::size_t start = 0;
    for (;;) {
        std::size_t end = text.find('\n', start);
        std::string_view line =
            text.substr(start, end == std::string_view::npos ? end : end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.emplace_back(line);
        if (end == std::string_view::npos) {
            return lines;
        }
        start = end + 1;
    }
}

std::vector<std::string> WrapWords(std::string_view text, int width) {
    std::vector<std::string> lines;
    if (width <= 0) {
        return lines;
    }
    const std::size_t limit = static_cast<std::size_t>(width);
    for (const std::string& hard : SplitLines(text)) {
        std::string_view rest = hard;
        if (rest.empty()) {
            lines.emplace_back();
            continue;
        }
        while (rest.size() > limit) {
            // Break at the last space that leaves the piece within the width.
            std::size_t cut = rest.rfind(' ', limit);
            std::string_view piece;
            if (cut == std::string_view::npos || rest.find_first_not_of(' ') >= cut) {
                piece = rest.substr(0, limit);
                rest.remove_prefix(limit);
            } else {
                piece = rest.substr(0, cut);
                rest.remove_prefix(cut);
            }
            piece.remove_suffix(piece.size() - (piece.find_last_not_of(' ') + 1));
            lines.emplace_back(piece);
            std::size_t next = rest.find_first_not_of(' ');
            rest.remove_prefix(next == std::string_view::npos ? rest.size() : next);
        }
        if (!rest.empty()) {
            lines.emplace_back(rest);
        }
    }
    return lines;
}

std::string Fit(std::string_view text, int width, Align align) {
    if (width <= 0) {
        return "";
    }
    std::size_t size = static_cast<std::size_t>(width);
    std::string fitted(text.substr(0, size));
    std::size_t pad = size - fitted.size();
    std::size_t before = align == Align::Right ? pad : align == Align::Centre ? pad / 2 : 0;
    return std::string(before, ' ') + fitted + std::string(pad - before, ' ');
}

std::vector<std::string> ControlLines(const ControlView& control, int width, int height) {
    std::vector<std::string> lines;
    if (width <= 0 || height <= 0) {
        return lines;
    }
    int inner = width - 2;
    switch (control.kind) {
        case ControlKind::Button:
        case ControlKind::DefaultButton:
            lines.push_back(ButtonFace(control, width));
            break;
        case ControlKind::TextPanel:
            for (const std::string& line : SplitLines(control.text)) {
                lines.push_back(Fit(line, width));
            }
            break;
        case ControlKind::LabelLeft:
        case ControlKind::LabelRight:
        case ControlKind::LabelCentred: {
            Align align = control.kind == ControlKind::LabelRight     ? Align::Right
                          : control.kind == ControlKind::LabelCentred ? Align::Centre
                                                                      : Align::Left;
            for (const std::string& line : WrapWords(control.text, width)) {
                lines.push_back(Fit(line, width, align));
            }
            break;
        }
        case ControlKind::PlainValue:
            lines.push_back(Fit(control.text, width));
            break;
        case ControlKind::ValueField:
            lines.push_back(Bracketed(control.text, width));
            break;
        case ControlKind::CentredValueField:
            lines.push_back(width < 2 ? Fit(control.text, width)
                                      : "[" + Fit(control.text, inner, Align::Centre) + "]");
            break;
        case ControlKind::InputField:
            lines.push_back(Bracketed(EditView(control.text, inner), width));
            break;
        case ControlKind::PasswordField:
            lines.push_back(
                Bracketed(EditView(std::string(control.text.size(), '*'), inner), width));
            break;
        case ControlKind::DropDownList: {
            bool chosen = control.selection >= 0 &&
                          control.selection < static_cast<int>(control.items.size());
            std::string entry = chosen ? control.items[control.selection] : "";
            lines.push_back(inner < 3 ? Bracketed(entry, width)
                                      : "[" + Fit(entry, inner - 2) + " v]");
            break;
        }
        case ControlKind::AddressEntry:
            lines.push_back(inner < kAddressCells
                                ? Bracketed(control.text, width)
                                : "[" + Fit(AddressFace(control.text), inner, Align::Centre) + "]");
            break;
        case ControlKind::ProgressBar:
            lines.push_back(
                Bracketed(ProgressFace(control.position, control.rangeMax, inner), width));
            break;
        case ControlKind::Icon:
            for (const std::string& line : IconGlyph(control.iconId)) {
                lines.push_back(Fit(line, width));
            }
            break;
    }
    if (static_cast<int>(lines.size()) > height) {
        lines.resize(static_cast<std::size_t>(height));
    }
    return lines;
}

Span HighlightSpan(const ControlView& control, const std::string& line) {
    int width = Length(line);
    if (IsBracketed(control.kind) && width >= 2) {
        return Span{1, width - 2};
    }
    std::size_t first = IsButton(control.kind) ? line.find_first_not_of(' ') : 0;
    std::size_t last = line.find_last_not_of(' ');
    if (last == std::string::npos) {
        return Span{0, 0};
    }
    return Span{static_cast<int>(first), static_cast<int>(last + 1 - first)};
}

int CursorColumn(const ControlView& control, int width) {
    int inner = width - 2;
    if (inner <= 0) {
        return -1;
    }
    switch (control.kind) {
        case ControlKind::InputField:
        case ControlKind::PasswordField:
            return 1 + std::min(Length(control.text), inner - 1);
        case ControlKind::AddressEntry: {
            if (inner < kAddressCells) {
                return 1 + std::min(Length(control.text), inner - 1);
            }
            // The caret follows the last field typed into, or the next one once a field is full.
            std::vector<std::string> parts = AddressParts(control.text);
            int field = 0;
            for (int i = 0; i < 4; ++i) {
                if (!parts[i].empty()) {
                    field = i;
                }
            }
            if (parts[field].size() == 3 && field < 3) {
                ++field;
            }
            int start = 1 + (inner - kAddressCells) / 2;
            return start + field * 4 + 3 - (field == 3 ? 1 : 0);
        }
        default:
            return -1;
    }
}

ListWindow OpenListWindow(int itemCount, int selection, int rows) {
    ListWindow shown{};
    shown.count = std::clamp(itemCount, 0, std::max(rows, 0));
    if (shown.count > 0) {
        shown.first = std::clamp(selection - shown.count + 1, 0, itemCount - shown.count);
    }
    return shown;
}

MessageBoxLayout LayoutMessageBox(std::string_view title, std::string_view text, int screenColumns,
                                  int screenRows) {
    MessageBoxLayout box{};
    constexpr int kLongestLine = 60;
    constexpr int kPadding = 2;
    int wrapWidth = std::max(1, std::min(kLongestLine, screenColumns - 2 - 2 * kPadding));
    box.lines = WrapWords(text, wrapWidth);
    int textWidth = 0;
    for (const std::string& line : box.lines) {
        textWidth = std::max(textWidth, Length(line));
    }
    int buttonWidth = static_cast<int>(std::string_view(kMessageBoxButton).size());
    int inner =
        std::max({textWidth, static_cast<int>(title.size()) + 2, buttonWidth}) + 2 * kPadding;
    box.boxColumns = inner + 2;
    box.boxRows = static_cast<int>(box.lines.size()) + 5;
    box.textColumn = 1 + (inner - textWidth) / 2;
    box.textRow = 2;
    box.buttonColumn = (box.boxColumns - buttonWidth) / 2;
    box.buttonRow = box.boxRows - 2;
    box.origin.column = std::max(0, (screenColumns - box.boxColumns) / 2);
    box.origin.row = std::max(0, (screenRows - box.boxRows) / 2);
    return box;
}

}  // namespace terminal
