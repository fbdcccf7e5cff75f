#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/dialog_template.h"
#include "platform/terminal/layout.h"
#include "ui/dialog_ids.h"

namespace {

using platform::ControlKind;
using platform::desktop::ControlView;
using terminal::CellRect;

struct ExpectedCells {
    int id;
    const char* text;  // tells apart the controls with id -1
    CellRect cells;
};

const ControlView* FindControl(const std::vector<ControlView>& controls, int id, const char* text) {
    for (const ControlView& c : controls) {
        if (c.id == id && (id != -1 || c.text == text)) {
            return &c;
        }
    }
    return nullptr;
}

void ExpectLayout(int templateId, int scale, int boxColumns, int boxRows,
                  const std::vector<ExpectedCells>& expected) {
    SCOPED_TRACE("dialog " + std::to_string(templateId));
    const platform::DialogTemplate* dialog = platform::FindDialogTemplate(templateId);
    ASSERT_NE(dialog, nullptr);
    std::vector<ControlView> controls = terminal::TemplateControls(*dialog);
    terminal::DialogLayout layout =
        terminal::LayoutDialog(dialog->width, dialog->height, controls, 200, 100);
    EXPECT_EQ(layout.scale, scale);
    EXPECT_EQ(layout.boxColumns, boxColumns);
    EXPECT_EQ(layout.boxRows, boxRows);
    ASSERT_EQ(layout.controls.size(), controls.size());
    for (const ExpectedCells& e : expected) {
        const ControlView* control = FindControl(controls, e.id, e.text);
        ASSERT_NE(control, nullptr) << e.id;
        const CellRect& got = layout.controls[control - controls.data()];
        EXPECT_EQ(got.column, e.cells.column) << e.id << " " << e.text;
        EXPECT_EQ(got.row, e.cells.row) << e.id << " " << e.text;
        EXPECT_EQ(got.width, e.cells.width) << e.id << " " << e.text;
        EXPECT_EQ(got.height, e.cells.height) << e.id << " " << e.text;
    }
}

// Four units a column, eight a row; single-line controls sit on the row of their centre, so
// each label lines up with the field it names.
TEST(TerminalLayoutTest, WarningAndConfirmationDialogsInCells) {
    ExpectLayout(kDialogWarning, 1000, 53, 20,
                 {
                     {kControlOk, "", {10, 15, 12, 1}},
                     {kControlCancel, "", {27, 15, 12, 1}},
                     {1021, "", {3, 1, 47, 12}},
                 });
    ExpectLayout(kDialogConfirmSingle, 1000, 45, 23,
                 {
                     {kControlOk, "", {8, 18, 12, 1}},
                     {kControlCancel, "", {21, 18, 13, 1}},
                     {1002, "", {20, 7, 17, 1}},
                     {1003, "", {20, 9, 17, 1}},
                     {1004, "", {20, 11, 17, 1}},
                     {1005, "", {20, 13, 17, 1}},
                     {1006, "", {20, 15, 17, 1}},
                     {-1, "Serial Number", {1, 7, 18, 1}},
                     {-1, "MAC Address", {1, 9, 18, 1}},
                     {-1, "Software Version", {1, 11, 18, 1}},
                     {-1, "Hardware Version", {1, 13, 18, 1}},
                     {-1, "Product Name", {1, 15, 18, 1}},
                     {kControlMainText, "", {3, 0, 35, 5}},
                 });
}

// "Your IP Address" needs 15 cells and one to spare where 52 units give 13: the whole dialog
// widens until it fits, and the list's closed row lines up with its label.
TEST(TerminalLayoutTest, AddressDialogWidensForItsLabel) {
    ExpectLayout(kDialogAddressAdapter, 1150, 50, 25,
                 {
                     {kControlOk, "", {7, 16, 14, 1}},
                     {kControlCancel, "", {24, 16, 15, 1}},
                     {kControlMainText, "", {3, 0, 40, 2}},
                     {1008, "", {3, 5, 43, 7}},
                     {1015, "", {10, 4, 26, 1}},
                     {1017, "", {18, 20, 22, 1}},
                     {-1, "Your IP Address", {2, 20, 16, 1}},  // spilled into the gap cell
                     {-1, "", {34, 2, 5, 2}},
                     {1000, "", {7, 13, 31, 1}},
                 });
}

bool Overlap(const CellRect& a, const CellRect& b) {
    return a.column < b.column + b.width && b.column < a.column + a.width &&
           a.row < b.row + b.height && b.row < a.row + a.height;
}

TEST(TerminalLayoutTest, NoTemplateHasOverlappingControlsAtAnyScale) {
    int count = 0;
    const platform::DialogTemplate* const* all = platform::AllDialogTemplates(&count);
    ASSERT_EQ(count, 10);
    for (int scale : {1000, 1075, 1150, 1275, 1500}) {
        for (int t = 0; t < count; ++t) {
            const platform::DialogTemplate& dialog = *all[t];
            std::vector<ControlView> controls = terminal::TemplateControls(dialog);
            int clientColumns = terminal::ColumnOf(dialog.width, scale);
            int clientRows = (dialog.height + 7) / 8;
            for (std::size_t i = 0; i < controls.size(); ++i) {
                CellRect a = terminal::ControlCells(controls[i], scale);
                SCOPED_TRACE("dialog " + std::to_string(dialog.id) + " scale " +
                             std::to_string(scale) + " control " + std::to_string(i));
                EXPECT_GE(a.width, 1);
                EXPECT_GE(a.height, 1);
                EXPECT_LE(a.column + a.width, clientColumns);
                EXPECT_LE(a.row + a.height, clientRows);
                for (std::size_t j = i + 1; j < controls.size(); ++j) {
                    EXPECT_FALSE(Overlap(a, terminal::ControlCells(controls[j], scale)))
                        << "with control " << j;
                }
            }
        }
    }
}

constexpr const char* kWarningText =
    "WARNING: Forcing a firmware upgrade on your ZEB\r\nwithout prior approval from your "
    "service provider or\r\nnetwork administrator may cause interruption to your\r\nservice.  "
    "If your ZEB is managed by a service\r\nprovider who retains administrative control of "
    "the\r\ndevice, please contact the service provider for\r\nauthorization before "
    "proceeding.  In such cases, the\r\nmost current, approved for service firmware "
    "is\r\nautomatically provided by your service provider without\r\nany onus on the end user "
    "to upgrade manually.";

// A text panel keeps its line breaks; when its longest line (55 characters here) does not fit
// the dialog widens, but only as far as the terminal allows; beyond that lines are clipped.
TEST(TerminalLayoutTest, TextPanelWidensTheDialogWithinTheTerminal) {
    const platform::DialogTemplate* dialog = platform::FindDialogTemplate(kDialogWarning);
    ASSERT_NE(dialog, nullptr);
    std::vector<ControlView> controls = terminal::TemplateControls(*dialog);
    controls[2].text = kWarningText;

    terminal::DialogLayout wide =
        terminal::LayoutDialog(dialog->width, dialog->height, controls, 80, 40);
    EXPECT_GE(wide.controls[2].width, 55);
    EXPECT_LE(wide.boxColumns, 80);
    std::vector<std::string> lines =
        terminal::ControlLines(controls[2], wide.controls[2].width, wide.controls[2].height);
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[8].substr(0, 55), "automatically provided by your service provider without");
    // The buttons stay apart and inside the wider box.
    EXPECT_FALSE(Overlap(wide.controls[0], wide.controls[1]));
    EXPECT_LE(wide.controls[1].column + wide.controls[1].width, wide.clientColumns);

    terminal::DialogLayout narrow =
        terminal::LayoutDialog(dialog->width, dialog->height, controls, 50, 40);
    EXPECT_EQ(narrow.scale, terminal::kBaseScale);
    lines =
        terminal::ControlLines(controls[2], narrow.controls[2].width, narrow.controls[2].height);
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[8], "automatically provided by your service provider");
}

TEST(TerminalLayoutTest, LabelWrapsAtWordsAndClipsToItsRows) {
    ControlView label{};
    label.kind = ControlKind::LabelCentred;
    label.text = "Please do not unplug the power of your ZEB until the Status Light stops blinking";
    std::vector<std::string> lines = terminal::ControlLines(label, 34, 3);
    EXPECT_EQ(lines, (std::vector<std::string>{"Please do not unplug the power of ",
                                               " your ZEB until the Status Light  ",
                                               "          stops blinking          "}));
    // Two rows of twelve: the rest is cut, never drawn outside.
    lines = terminal::ControlLines(label, 12, 2);
    EXPECT_EQ(lines, (std::vector<std::string>{" Please do  ", " not unplug "}));
    label.kind = ControlKind::LabelRight;
    lines = terminal::ControlLines(label, 12, 2);
    EXPECT_EQ(lines, (std::vector<std::string>{"   Please do", "  not unplug"}));
    EXPECT_TRUE(terminal::ControlLines(label, 0, 3).empty());
    EXPECT_TRUE(terminal::ControlLines(label, 10, 0).empty());
}

TEST(TerminalLayoutTest, WrapWordsCases) {
    struct Case {
        const char* text;
        int width;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"", 10, {}},
        {"one two three", 0, {}},
        {"one two three", 7, {"one two", "three"}},
        {"one  two", 4, {"one", "two"}},         // spaces at the wrap point are dropped
        {"service.  If", 20, {"service.  If"}},  // spaces inside a line stay
        {"abcdefghij", 4, {"abcd", "efgh", "ij"}},
        {"a\r\n\r\nb\r\n", 5, {"a", "", "b", ""}},
        {"x\ny", 5, {"x", "y"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(terminal::WrapWords(c.text, c.width), c.lines) << c.text << " / " << c.width;
    }
}

ControlView Control(ControlKind kind, std::string text) {
    ControlView c{};
    c.kind = kind;
    c.text = std::move(text);
    c.selection = -1;
    return c;
}

TEST(TerminalLayoutTest, ControlFaces) {
    ControlView ok = Control(ControlKind::DefaultButton, "OK");
    ok.isDefault = true;
    ControlView cancel = Control(ControlKind::Button, "Cancel");
    ControlView password = Control(ControlKind::PasswordField, "secret");
    ControlView list = Control(ControlKind::DropDownList, "");
    list.items = {"127.0.0.1", "192.168.1.20"};
    list.selection = 1;
    ControlView progress = Control(ControlKind::ProgressBar, "");
    progress.rangeMax = 100;
    progress.position = 50;
    ControlView overfull = progress;
    overfull.position = 250;
    ControlView address = Control(ControlKind::AddressEntry, "10.1.0.");
    ControlView longInput = Control(ControlKind::InputField, "administrator");
    struct Case {
        ControlView control;
        int width;
        std::string face;
    };
    const Case cases[] = {
        {ok, 12, "   <[OK]>   "},
        {cancel, 12, " < Cancel > "},
        {cancel, 6, "Cancel"},  // too narrow for the brackets
        {Control(ControlKind::ValueField, "3.1.24.0710"), 14, "[3.1.24.0710 ]"},
        {Control(ControlKind::CentredValueField, "3.1"), 9, "[  3.1  ]"},
        {Control(ControlKind::PlainValue, "Version 3.1.24.0710"), 12, "Version 3.1."},
        {password, 10, "[******  ]"},
        {longInput, 8, "[rator ]"},  // the end, where the caret is, stays in view
        {list, 18, "[192.168.1.20   v]"},
        {progress, 12, "[#####     ]"},
        {overfull, 6, "[####]"},
        {address, 19, "[  10.  1.  0.    ]"},
        {Control(ControlKind::AddressEntry, ""), 17, "[   .   .   .   ]"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> lines = terminal::ControlLines(c.control, c.width, 1);
        ASSERT_EQ(lines.size(), 1u) << c.face;
        EXPECT_EQ(lines[0], c.face);
    }
    ControlView icon = Control(ControlKind::Icon, "");
    icon.iconId = kIconTelephone;
    EXPECT_EQ(terminal::ControlLines(icon, 5, 2).size(), 2u);
    EXPECT_NE(terminal::ControlLines(icon, 5, 2), [] {
        ControlView adapter = Control(ControlKind::Icon, "");
        adapter.iconId = kIconAdapter;
        return terminal::ControlLines(adapter, 5, 2);
    }());
}

TEST(TerminalLayoutTest, CursorAndHighlight) {
    ControlView input = Control(ControlKind::InputField, "admin");
    EXPECT_EQ(terminal::CursorColumn(input, 12), 6);
    input.text = std::string(30, 'a');
    EXPECT_EQ(terminal::CursorColumn(input, 12), 10);  // the last inner cell
    EXPECT_EQ(terminal::CursorColumn(Control(ControlKind::Button, "OK"), 12), -1);
    // The address caret follows the field being typed, and moves on once a field is full.
    ControlView address = Control(ControlKind::AddressEntry, "10.1..");
    EXPECT_EQ(terminal::CursorColumn(address, 17), 8);
    address.text = "192...";
    EXPECT_EQ(terminal::CursorColumn(address, 17), 8);

    ControlView button = Control(ControlKind::Button, "Cancel");
    terminal::Span span = terminal::HighlightSpan(button, " < Cancel > ");
    EXPECT_EQ(span.column, 1);
    EXPECT_EQ(span.width, 10);
    span = terminal::HighlightSpan(Control(ControlKind::TextPanel, ""), "two words     ");
    EXPECT_EQ(span.column, 0);
    EXPECT_EQ(span.width, 9);
    span = terminal::HighlightSpan(Control(ControlKind::ValueField, ""), "[abc   ]");
    EXPECT_EQ(span.column, 1);
    EXPECT_EQ(span.width, 6);
}

TEST(TerminalLayoutTest, BoxPlacement) {
    // A dialog the utility centred on the 1024 x 768 screen comes out centred.
    platform::Rect centred{361, 300, 663, 468};
    terminal::CellPoint at = terminal::PlaceBox(centred, 53, 20, 100, 40);
    EXPECT_EQ(at.column, 23);
    EXPECT_EQ(at.row, 10);
    // Off-centre windows keep their place proportionally, but stay on the screen.
    at = terminal::PlaceBox(platform::Rect{0, 0, 100, 100}, 20, 10, 100, 40);
    EXPECT_EQ(at.column, 0);
    EXPECT_EQ(at.row, 0);
    at = terminal::PlaceBox(platform::Rect{900, 700, 1024, 768}, 20, 10, 100, 40);
    EXPECT_EQ(at.column, 80);
    EXPECT_EQ(at.row, 30);
    // Larger than the screen: the top-left corner (title) stays visible.
    at = terminal::PlaceBox(centred, 120, 50, 100, 40);
    EXPECT_EQ(at.column, 0);
    EXPECT_EQ(at.row, 0);
}

TEST(TerminalLayoutTest, OpenListScrollsToTheSelection) {
    terminal::ListWindow shown = terminal::OpenListWindow(3, 1, 8);
    EXPECT_EQ(shown.first, 0);
    EXPECT_EQ(shown.count, 3);
    shown = terminal::OpenListWindow(8, 6, 4);
    EXPECT_EQ(shown.first, 3);
    EXPECT_EQ(shown.count, 4);
    shown = terminal::OpenListWindow(0, -1, 4);
    EXPECT_EQ(shown.count, 0);
}

TEST(TerminalLayoutTest, MessageBoxIsCentredWithItsButtonBelowTheText) {
    terminal::MessageBoxLayout box =
        terminal::LayoutMessageBox("Error", "Invalid IP Address", 100, 40);
    EXPECT_EQ(box.lines, std::vector<std::string>{"Invalid IP Address"});
    EXPECT_EQ(box.boxColumns, 24);
    EXPECT_EQ(box.boxRows, 6);
    EXPECT_EQ(box.origin.column, 38);
    EXPECT_EQ(box.origin.row, 17);
    EXPECT_EQ(box.buttonColumn, 9);
    EXPECT_GT(box.buttonRow, box.textRow);
    EXPECT_LT(box.buttonRow, box.boxRows - 1);

    // A long text wraps; the box still fits a narrow screen.
    std::string text(30, 'x');
    text += " Upgrade Failed: Firmware Upload Incomplete";
    box = terminal::LayoutMessageBox("ZEB Firwmare Upgrade Error", text, 40, 12);
    EXPECT_LE(box.boxColumns, 40);
    EXPECT_GE(box.lines.size(), 3u);
    for (const std::string& line : box.lines) {
        EXPECT_LE(static_cast<int>(line.size()) + box.textColumn, box.boxColumns - 1);
    }
}

}  // namespace

namespace {

// The password dialog is 32 rows tall; on a 24-row terminal its empty rows go so that the
// user name, password and buttons stay on the screen, in their order and apart.
TEST(TerminalLayoutTest, TallDialogDropsEmptyRowsToFitTheTerminal) {
    const platform::DialogTemplate* dialog = platform::FindDialogTemplate(kDialogPassword);
    ASSERT_NE(dialog, nullptr);
    std::vector<ControlView> controls = terminal::TemplateControls(*dialog);
    std::string text;
    for (int i = 0; i < 19; ++i) {
        text += (i ? "\r\n" : "") + std::string("line ") + std::to_string(i);
    }
    controls[6].text = text;  // 19 lines in 19 rows
    terminal::DialogLayout full =
        terminal::LayoutDialog(dialog->width, dialog->height, controls, 80, 40);
    EXPECT_EQ(full.boxRows, 32);

    terminal::DialogLayout squeezed =
        terminal::LayoutDialog(dialog->width, dialog->height, controls, 80, 24);
    EXPECT_EQ(squeezed.boxRows, 24);
    EXPECT_EQ(squeezed.controls[6].height, 19);  // the text keeps all its lines
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const CellRect& a = squeezed.controls[i];
        EXPECT_LE(a.row + a.height, squeezed.clientRows) << i;
        for (std::size_t j = 0; j < controls.size(); ++j) {
            if (i != j) {
                EXPECT_FALSE(Overlap(a, squeezed.controls[j])) << i << " " << j;
                // Rows keep their order.
                EXPECT_EQ(full.controls[i].row < full.controls[j].row,
                          a.row < squeezed.controls[j].row);
            }
        }
    }
    // Still too small: the rows a short text leaves unused go too; beyond that it is clipped.
    controls[6].text = "short";
    terminal::DialogLayout tiny =
        terminal::LayoutDialog(dialog->width, dialog->height, controls, 80, 4);
    EXPECT_EQ(tiny.controls[6].height, 1);
    EXPECT_EQ(tiny.boxRows, 2 + 4);
}

}  // namespace

namespace {

// The success dialog's web-address line is wider than its 53 units: it spills into the free
// cells of its row rather than widening the whole dialog, which only its text panel widens.
TEST(TerminalLayoutTest, OneLineLabelSpillsIntoFreeCellsOfItsRow) {
    const platform::DialogTemplate* dialog = platform::FindDialogTemplate(kDialogSuccess);
    ASSERT_NE(dialog, nullptr);
    std::vector<ControlView> controls = terminal::TemplateControls(*dialog);
    std::size_t label = 0;
    while (label < controls.size() && controls[label].kind != ControlKind::LabelLeft) {
        ++label;
    }
    ASSERT_LT(label, controls.size());
    controls[label].text = "www.zeb-voice.example";  // 21 characters in 13 cells
    controls[2].text = "Your ZEB has been successfully\r\nupgraded to the version shown\r\nbelow.";
    terminal::DialogLayout layout =
        terminal::LayoutDialog(dialog->width, dialog->height, controls, 100, 40);
    EXPECT_EQ(layout.scale, 1075);  // the panel's 30 characters, not the label, set the width
    EXPECT_EQ(layout.controls[label].width, 22);
    EXPECT_LE(layout.controls[label].column + layout.controls[label].width, layout.clientColumns);
    std::vector<std::string> lines = terminal::ControlLines(
        controls[label], layout.controls[label].width, layout.controls[label].height);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "www.zeb-voice.example ");

    // Beside another control the label stops there.
    ControlView right = controls[label];
    right.kind = ControlKind::Button;
    right.text = "X";
    right.x += right.width + 8;
    right.width = 20;
    controls.push_back(right);
    layout = terminal::LayoutDialog(dialog->width, dialog->height, controls, 100, 40);
    EXPECT_EQ(layout.controls[label].column + layout.controls[label].width,
              layout.controls.back().column);
}

}  // namespace
