// The ten dialog templates of the utility: layout in dialog units, control kinds, identifiers,
// texts and template order (which is also the Tab order). Every renderer builds its dialogs
// from this data and nothing else.
#include <array>
#include <cstddef>

#include "platform/dialog_template.h"
#include "ui/dialog_ids.h"

namespace platform {
namespace {

using K = ControlKind;

// Tab stops follow the kind: buttons, text panels, value lines and fields, input fields, the
// drop-down list and the address entry take the focus; labels, icons and progress bars do not.
constexpr ControlTemplate kWarningControls[] = {
    {kControlOk, K::Button, "Continue", 41, 116, 50, 14, true, 0},
    {kControlCancel, K::DefaultButton, "Cancel", 109, 116, 50, 14, true, 0},
    {1021, K::TextPanel, "", 12, 13, 189, 95, false, 0},  // the one panel outside the Tab order
};

// Dialogs 101 (adapters) and 305 (handsets) share their controls; only the picture differs.
constexpr std::array<ControlTemplate, 9> AddressControls(int iconId) {
    return {{
        {kControlOk, K::DefaultButton, "OK", 26, 126, 50, 14, true, 0},
        {kControlCancel, K::Button, "Cancel", 86, 126, 50, 14, true, 0},
        {kControlMainText, K::TextPanel, "", 13, 6, 139, 16, true, 0},
        {1008, K::TextPanel, "", 13, 42, 148, 56, true, 0},
        {1015, K::PlainValue, "", 37, 28, 89, 14, true, 0},
        {1017, K::DropDownList, "", 63, 153, 79, 80, true, 0},
        {-1, K::LabelLeft, "Your IP Address", 9, 156, 52, 8, false, 0},
        {-1, K::Icon, "", 119, 18, 20, 20, false, iconId},
        {1000, K::AddressEntry, "", 26, 103, 109, 15, true, 0},
    }};
}

constexpr auto kAddressAdapterControls = AddressControls(kIconAdapter);
constexpr auto kAddressHandsetControls = AddressControls(kIconTelephone);

constexpr ControlTemplate kConfirmSingleControls[] = {
    {kControlOk, K::DefaultButton, "Upgrade", 33, 143, 50, 14, true, 0},
    {kControlCancel, K::Button, "Cancel", 87, 143, 50, 14, true, 0},
    {1002, K::ValueField, "", 82, 49, 67, 14, true, 0},
    {1003, K::ValueField, "", 82, 66, 67, 14, true, 0},
    {1004, K::ValueField, "", 82, 84, 67, 14, true, 0},
    {1005, K::ValueField, "", 82, 100, 67, 14, true, 0},
    {1006, K::ValueField, "", 82, 118, 67, 14, true, 0},
    {-1, K::LabelRight, "Serial Number", 4, 52, 72, 8, false, 0},
    {-1, K::LabelRight, "MAC Address", 4, 70, 72, 8, false, 0},
    {-1, K::LabelRight, "Software Version", 4, 87, 72, 8, false, 0},
    {-1, K::LabelRight, "Hardware Version", 4, 103, 72, 8, false, 0},
    {-1, K::LabelRight, "Product Name", 4, 121, 72, 8, false, 0},
    {kControlMainText, K::TextPanel, "", 12, 6, 142, 37, true, 0},
};

// The two-stage confirmation: a taller explanation pushes everything down.
constexpr ControlTemplate kConfirmTwoStageControls[] = {
    {kControlOk, K::DefaultButton, "Upgrade", 42, 179, 50, 14, true, 0},
    {kControlCancel, K::Button, "Cancel", 96, 179, 50, 14, true, 0},
    {1002, K::ValueField, "", 92, 86, 67, 14, true, 0},
    {1003, K::ValueField, "", 92, 103, 67, 14, true, 0},
    {1004, K::ValueField, "", 92, 121, 67, 14, true, 0},
    {1005, K::ValueField, "", 92, 137, 67, 14, true, 0},
    {1006, K::ValueField, "", 92, 154, 67, 14, true, 0},
    {-1, K::LabelRight, "Serial Number", 14, 89, 72, 8, false, 0},
    {-1, K::LabelRight, "MAC Address", 14, 106, 72, 8, false, 0},
    {-1, K::LabelRight, "Software Version", 14, 124, 72, 8, false, 0},
    {-1, K::LabelRight, "Hardware Version", 14, 140, 72, 8, false, 0},
    {-1, K::LabelRight, "Product Name", 14, 158, 72, 8, false, 0},
    {kControlMainText, K::TextPanel, "", 23, 7, 142, 77, true, 0},
};

constexpr ControlTemplate kPasswordControls[] = {
    {kControlOk, K::DefaultButton, "OK", 32, 210, 50, 14, true, 0},
    {kControlCancel, K::Button, "Cancel", 104, 210, 50, 14, true, 0},
    {1003, K::InputField, "", 68, 168, 85, 14, true, 0},
    {1005, K::PasswordField, "", 68, 186, 85, 14, true, 0},
    {-1, K::LabelRight, "User", 18, 170, 44, 8, false, 0},
    {-1, K::LabelRight, "Password", 18, 191, 44, 8, false, 0},
    {kControlMainText, K::TextPanel, "", 15, 9, 165, 152, true, 0},
};

constexpr ControlTemplate kConnectingControls[] = {
    {kControlCancel, K::Button, "Cancel", 65, 34, 50, 14, true, 0},
    {kControlProgress, K::ProgressBar, "", 22, 10, 141, 14, false, 0},
};

constexpr ControlTemplate kWaitingControls[] = {
    {kControlCancel, K::Button, "Cancel", 108, 115, 50, 14, true, 0},
    {kControlProgress, K::ProgressBar, "", 38, 95, 191, 14, false, 0},
    {1022, K::LabelLeft, "", 15, 9, 244, 79, false, 0},
};

constexpr ControlTemplate kUploadingControls[] = {
    {kControlCancel, K::Button, "Cancel", 126, 52, 50, 14, true, 0},
    {kControlProgress, K::ProgressBar, "", 31, 36, 242, 8, false, 0},
    {-1, K::LabelCentred,
     "Please do not unplug the power of your ZEB until the Status Light stops blinking", 86, 12,
     137, 22, false, 0},
};

constexpr ControlTemplate kSuccessControls[] = {
    {kControlOk, K::DefaultButton, "OK", 59, 94, 50, 14, true, 0},
    {1004, K::CentredValueField, "", 15, 69, 136, 14, true, 0},
    {kControlMainText, K::TextPanel, "", 29, 9, 111, 33, true, 0},
    {-1, K::LabelLeft, "www.zeb.test", 82, 50, 53, 8, false, 0},
};

template <int N>
constexpr DialogTemplate Dialog(int id, const char* caption, int x, int y, int width, int height,
                                const ControlTemplate (&controls)[N]) {
    return DialogTemplate{id, caption, x, y, width, height, controls, N};
}

template <std::size_t N>
constexpr DialogTemplate Dialog(int id, const char* caption, int x, int y, int width, int height,
                                const std::array<ControlTemplate, N>& controls) {
    return DialogTemplate{id, caption, x, y, width, height, controls.data(), static_cast<int>(N)};
}

constexpr DialogTemplate kTemplates[] = {
    Dialog(kDialogWarning, "ZEB-6600 Firmware Upgrade", 0, 0, 204, 143, kWarningControls),
    Dialog(kDialogAddressAdapter, "Enter ZEB IP Address", 200, 200, 165, 181,
           kAddressAdapterControls),
    Dialog(kDialogAddressHandset, "Dialog", 0, 0, 164, 178, kAddressHandsetControls),
    Dialog(kDialogConfirmSingle, "Confirm Upgrade", 200, 200, 172, 166, kConfirmSingleControls),
    Dialog(kDialogConfirmTwoStage, "Confirm Upgrade", 0, 0, 186, 198, kConfirmTwoStageControls),
    Dialog(kDialogPassword, "Enter Password Information", 200, 200, 191, 236, kPasswordControls),
    Dialog(kDialogConnecting, "Connecting with ZEB", 200, 200, 186, 55, kConnectingControls),
    Dialog(kDialogWaiting, "Waiting For Firmware Download Request From ZEB", 0, 0, 270, 141,
           kWaitingControls),
    Dialog(kDialogUploading, "Uploading Firmware To ZEB", 0, 0, 303, 77, kUploadingControls),
    Dialog(kDialogSuccess, "ZEB Upgrade Successful!", 0, 0, 171, 126, kSuccessControls),
};

constexpr int kTemplateCount = sizeof(kTemplates) / sizeof(kTemplates[0]);

const DialogTemplate* const* TemplateList() {
    static const DialogTemplate* const list[kTemplateCount] = {
        &kTemplates[0], &kTemplates[1], &kTemplates[2], &kTemplates[3], &kTemplates[4],
        &kTemplates[5], &kTemplates[6], &kTemplates[7], &kTemplates[8], &kTemplates[9],
    };
    return list;
}

}  // namespace

const DialogTemplate* FindDialogTemplate(int templateId) {
    for (const DialogTemplate& t : kTemplates) {
        if (t.id == templateId) {
            return &t;
        }
    }
    return nullptr;
}

const DialogTemplate* const* AllDialogTemplates(int* count) {
    *count = kTemplateCount;
    return TemplateList();
}

}  // namespace platform
