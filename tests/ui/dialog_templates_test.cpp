// The template data: the rows other code relies on, the rules every template must keep, and the
// relations between sibling templates.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>
#include <utility>

#include "platform/dialog_template.h"
#include "ui/dialog_ids.h"

namespace {

using platform::ControlKind;
using platform::ControlTemplate;
using platform::DialogTemplate;

const ControlTemplate* FindControl(const DialogTemplate& dialog, int id) {
    for (int i = 0; i < dialog.controlCount; ++i) {
        if (dialog.controls[i].id == id) {
            return &dialog.controls[i];
        }
    }
    return nullptr;
}

const DialogTemplate& Template(int id) {
    const DialogTemplate* t = platform::FindDialogTemplate(id);
    EXPECT_NE(t, nullptr) << id;
    static const DialogTemplate empty{};
    return t != nullptr ? *t : empty;
}

bool TakesFocus(ControlKind kind) {
    switch (kind) {
        case ControlKind::LabelLeft:
        case ControlKind::LabelRight:
        case ControlKind::LabelCentred:
        case ControlKind::Icon:
        case ControlKind::ProgressBar:
            return false;
        default:
            return true;
    }
}

TEST(DialogTemplates, AllTenAreListedAndFoundByNumber) {
    int count = 0;
    const DialogTemplate* const* all = platform::AllDialogTemplates(&count);
    ASSERT_EQ(count, 10);
    std::set<int> ids;
    for (int i = 0; i < count; ++i) {
        ids.insert(all[i]->id);
        EXPECT_EQ(platform::FindDialogTemplate(all[i]->id), all[i]);
    }
    EXPECT_EQ(ids,
              (std::set<int>{kDialogWarning, kDialogAddressAdapter, kDialogAddressHandset,
                             kDialogConfirmSingle, kDialogConfirmTwoStage, kDialogPassword,
                             kDialogConnecting, kDialogWaiting, kDialogUploading, kDialogSuccess}));
    EXPECT_EQ(platform::FindDialogTemplate(0), nullptr);
    EXPECT_EQ(platform::FindDialogTemplate(102), nullptr);
}

TEST(DialogTemplates, WarningDefaultsToCancelAndKeepsItsTextOutOfTheTabOrder) {
    const DialogTemplate& warning = Template(kDialogWarning);
    const ControlTemplate* cancel = FindControl(warning, kControlCancel);
    const ControlTemplate* proceed = FindControl(warning, kControlOk);
    const ControlTemplate* text = FindControl(warning, 1021);
    ASSERT_TRUE(cancel && proceed && text);
    EXPECT_EQ(cancel->kind, ControlKind::DefaultButton);
    EXPECT_EQ(cancel->x, 109);
    EXPECT_EQ(cancel->y, 116);
    EXPECT_EQ(proceed->kind, ControlKind::Button);
    EXPECT_STREQ(proceed->text, "Continue");
    EXPECT_EQ(text->kind, ControlKind::TextPanel);
    EXPECT_FALSE(text->tabStop);
}

TEST(DialogTemplates, AddressDialogsDifferOnlyInFrameAndPicture) {
    const DialogTemplate& adapter = Template(kDialogAddressAdapter);
    const DialogTemplate& handset = Template(kDialogAddressHandset);
    ASSERT_EQ(adapter.controlCount, handset.controlCount);
    for (int i = 0; i < adapter.controlCount; ++i) {
        const ControlTemplate& a = adapter.controls[i];
        const ControlTemplate& h = handset.controls[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(a.id, h.id);
        EXPECT_EQ(a.kind, h.kind);
        EXPECT_STREQ(a.text, h.text);
        EXPECT_EQ(std::tie(a.x, a.y, a.width, a.height, a.tabStop),
                  std::tie(h.x, h.y, h.width, h.height, h.tabStop));
        if (a.kind == ControlKind::Icon) {
            EXPECT_EQ(a.iconId, kIconAdapter);
            EXPECT_EQ(h.iconId, kIconTelephone);
        } else {
            EXPECT_EQ(a.iconId, h.iconId);
        }
    }
    EXPECT_STRNE(adapter.caption, handset.caption);
    EXPECT_EQ(std::make_tuple(adapter.x, adapter.y, adapter.width, adapter.height),
              std::make_tuple(200, 200, 165, 181));
    EXPECT_EQ(handset.width, 164);
    EXPECT_EQ(handset.height, 178);
    const ControlTemplate* entry = FindControl(adapter, 1000);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->kind, ControlKind::AddressEntry);
    EXPECT_TRUE(entry->tabStop);
}

TEST(DialogTemplates, TwoStageConfirmationMovesEveryControlButKeepsTheirOrderAndSize) {
    const DialogTemplate& single = Template(kDialogConfirmSingle);
    const DialogTemplate& twoStage = Template(kDialogConfirmTwoStage);
    ASSERT_EQ(single.controlCount, twoStage.controlCount);
    for (int i = 0; i < single.controlCount; ++i) {
        const ControlTemplate& s = single.controls[i];
        const ControlTemplate& t = twoStage.controls[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(s.id, t.id);
        EXPECT_EQ(s.kind, t.kind);
        EXPECT_STREQ(s.text, t.text);
        EXPECT_EQ(s.width, t.width);
        EXPECT_TRUE(s.x != t.x && s.y != t.y);
        if (s.id != kControlMainText) {
            EXPECT_EQ(s.height, t.height);
        }
    }
    const ControlTemplate* upgrade = FindControl(twoStage, kControlOk);
    ASSERT_NE(upgrade, nullptr);
    EXPECT_EQ(upgrade->kind, ControlKind::DefaultButton);
    EXPECT_EQ(std::make_pair(upgrade->x, upgrade->y), std::make_pair(42, 179));
    EXPECT_EQ(FindControl(single, kControlMainText)->height, 37);
    EXPECT_EQ(FindControl(twoStage, kControlMainText)->height, 77);
}

// Rules every template keeps: addressed ids are unique, the tab stops follow the control kinds,
// icons name a picture, at most one default button, and no two controls that take input share
// any pixel, so a click always reaches the control the user sees.
TEST(DialogTemplates, EveryTemplateKeepsTheLayoutRules) {
    int count = 0;
    const DialogTemplate* const* all = platform::AllDialogTemplates(&count);
    for (int d = 0; d < count; ++d) {
        const DialogTemplate& dialog = *all[d];
        SCOPED_TRACE(dialog.id);
        EXPECT_TRUE(dialog.caption != nullptr && *dialog.caption != '\0');
        std::set<int> ids;
        int defaults = 0;
        for (int i = 0; i < dialog.controlCount; ++i) {
            const ControlTemplate& c = dialog.controls[i];
            SCOPED_TRACE(c.id);
            if (c.id != -1) {
                EXPECT_TRUE(ids.insert(c.id).second) << "duplicate id";
            }
            bool panelOutsideTabOrder = dialog.id == kDialogWarning && c.id == 1021;
            EXPECT_EQ(c.tabStop, TakesFocus(c.kind) && !panelOutsideTabOrder);
            EXPECT_EQ(c.iconId != 0, c.kind == ControlKind::Icon);
            defaults += c.kind == ControlKind::DefaultButton;
            // Inside the dialog (a drop-down list's height includes its open list).
            int visibleHeight = c.kind == ControlKind::DropDownList ? 12 : c.height;
            EXPECT_TRUE(c.x >= 0 && c.y >= 0 && c.x + c.width <= dialog.width &&
                        c.y + visibleHeight <= dialog.height);
            for (int j = 0; j < i && c.tabStop; ++j) {
                const ControlTemplate& o = dialog.controls[j];
                if (!o.tabStop) {
                    continue;
                }
                bool apart = c.x + c.width <= o.x || o.x + o.width <= c.x ||
                             c.y + c.height <= o.y || o.y + o.height <= c.y;
                EXPECT_TRUE(apart) << "overlaps control " << o.id;
            }
        }
        EXPECT_LE(defaults, 1);
    }
}

}  // namespace
