// Layout of the virtual desktop's windows in a character terminal: dialog units to cells, the
// box of each dialog and message box, where it goes on the screen, and the text each control
// shows. Pure arithmetic on snapshots; the drawing with ncurses lives in terminal_renderer.cpp.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/dialog_template.h"
#include "platform/dialogs.h"
#include "platform/virtual_desktop.h"

namespace terminal {

// One cell is one average character of the dialog font: 4 horizontal and 8 vertical units.
inline constexpr int kUnitsPerColumn = 4;
inline constexpr int kUnitsPerRow = 8;
// Horizontal scale in thousandths. The templates were laid out for a proportional font, so a
// dialog whose fixed texts do not fit in monospace cells is widened as a whole, never by more
// than kMaxScale and never beyond the terminal.
inline constexpr int kBaseScale = 1000;
inline constexpr int kMaxScale = 1500;
// Height in dialog units of a closed drop-down list (the template height includes its list).
inline constexpr int kClosedListHeight = 14;

// A rectangle of cells. For controls: relative to the dialog's client area (inside the frame).
struct CellRect {
    int column, row, width, height;
};

struct DialogLayout {
    int scale;                       // horizontal scale used, in thousandths
    int clientColumns, clientRows;   // inside the frame
    int boxColumns, boxRows;         // frame included
    std::vector<CellRect> controls;  // one per control, in the order given
};

int ColumnOf(int xUnits, int scale);
int RowOf(int yUnits);

// The cells a control occupies. Single-line controls (buttons, fields, lists, address entry,
// progress bar, one-line labels) take the one row that holds their vertical centre; multi-line
// controls (text panels, taller labels, icons) take the rows their edges fall in. Edges round
// down, so controls that do not overlap in dialog units never overlap in cells.
CellRect ControlCells(const platform::desktop::ControlView& control, int scale);

// Lays a dialog of the given client size (dialog units) out for a terminal of `maxColumns` x
// `maxRows`. A dialog taller than the terminal drops empty rows (and then the rows its texts do
// not use) until it fits or has none left; whatever still does not fit is clipped when drawn.
DialogLayout LayoutDialog(int widthUnits, int heightUnits,
                          const std::vector<platform::desktop::ControlView>& controls,
                          int maxColumns, int maxRows);
// The window's template gives the client size; without one the controls' extent does.
DialogLayout LayoutWindow(const platform::desktop::WindowView& window, int maxColumns, int maxRows);
// Controls of a template as a freshly created dialog shows them (texts of the template).
std::vector<platform::desktop::ControlView> TemplateControls(
    const platform::DialogTemplate& dialog);

// Top-left cell of a box so that it sits where the window sits on the virtual screen (the
// utility centres its dialogs, so they come out centred), kept on the screen where it fits.
struct CellPoint {
    int column, row;
};
CellPoint PlaceBox(const platform::Rect& virtualRect, int boxColumns, int boxRows,
                   int screenColumns, int screenRows);

// Text helpers. Lines break at "\r\n" (and a lone "\n").
std::vector<std::string> SplitLines(std::string_view text);
// Wraps at word boundaries within `width`; hard breaks are kept; a word longer than the width
// is cut. Spaces at a wrap point are dropped.
std::vector<std::string> WrapWords(std::string_view text, int width);

enum class Align { Left, Right, Centre };
// Pads or cuts `text` to exactly `width` cells.
std::string Fit(std::string_view text, int width, Align align = Align::Left);

// The lines a control shows in a `width` x `height` cell area (each exactly `width` long, at
// most `height` of them): buttons "< Label >" ("<[Label]>" when Enter presses it), bracketed
// fields, the masked password, the list's selected entry, the progress bar, the icon glyph.
std::vector<std::string> ControlLines(const platform::desktop::ControlView& control, int width,
                                      int height);
// The cells of one of a control's lines that are highlighted when it has the focus: the inside
// of a bracketed field, a button's face, the text of a panel or value line (as a selection).
struct Span {
    int column, width;
};
Span HighlightSpan(const platform::desktop::ControlView& control, const std::string& line);
// Column of the text cursor inside an input field, password field or address entry of the
// given width; -1 for controls without a cursor.
int CursorColumn(const platform::desktop::ControlView& control, int width);

// The rows of an opened drop-down list below its closed row: at most `rows` entries, scrolled
// so that the selection shows; `first` is the index of the first entry shown.
struct ListWindow {
    int first, count;
};
ListWindow OpenListWindow(int itemCount, int selection, int rows);

// A message box: its text wrapped, an "< OK >" button centred below, the box centred on the
// screen (clipped to it when the screen is too small).
struct MessageBoxLayout {
    int boxColumns, boxRows;
    CellPoint origin;
    std::vector<std::string> lines;  // text lines, each at most the text width
    int textColumn, textRow;         // of the first text line, relative to the box
    int buttonColumn, buttonRow;     // relative to the box
};
inline constexpr const char* kMessageBoxButton = "< OK >";
MessageBoxLayout LayoutMessageBox(std::string_view title, std::string_view text, int screenColumns,
                                  int screenRows);

}  // namespace terminal
