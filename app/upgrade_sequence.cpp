// The order of the whole upgrade as the user meets it, and the handlers of its own dialogs.
#include "app/upgrade_sequence.h"

#include <cstdio>

#include "app/upgrade_state.h"
#include "ui/address_dialog.h"
#include "ui/common.h"
#include "ui/dialog_ids.h"

namespace {

constexpr int kControlWarningText = 1021;

constexpr const char* kWarningText =
    "WARNING: Forcing a firmware upgrade on your ZEB\r\n"
    "without prior approval from your service provider or\r\n"
    "network administrator may cause interruption to your\r\n"
    "service.  If your ZEB is managed by a service\r\n"
    "provider who retains administrative control of the\r\n"
    "device, please contact the service provider for\r\n"
    "authorization before proceeding.  In such cases, the\r\n"
    "most current, approved for service firmware is\r\n"
    "automatically provided by your service provider without\r\n"
    "any onus on the end user to upgrade manually.";

// Ends a two-button modal dialog: 1 for OK (Continue, Upgrade), 0 for Cancel, Escape and the
// close box. Other commands are left to the default handling.
std::intptr_t EndOnOkOrCancel(platform::Hwnd dialog, std::uintptr_t wParam) {
    switch (wParam & 0xffffu) {
        case kControlOk:
            platform::EndModalDialog(dialog, 1);
            return 1;
        case kControlCancel:
            platform::EndModalDialog(dialog, 0);
            return 1;
        default:
            return 0;
    }
}

}  // namespace

std::intptr_t WarningDialogProc(platform::Hwnd dialog, std::uint32_t message, std::uintptr_t wParam,
                                std::intptr_t) {
    if (message == platform::kMessageInitDialog) {
        SetUpgradeTitle(dialog, gUpgradeState.profile.displayName);
        platform::SetControlText(dialog, kControlWarningText, kWarningText);
        // Cancel keeps the focus (and is the default button): Enter stops the upgrade.
        platform::SetControlFocus(dialog, kControlCancel);
        CenterWindow(dialog);
        return 0;
    }
    if (message == platform::kMessageCommand) {
        return EndOnOkOrCancel(dialog, wParam);
    }
    return 0;
}

void BuildUpgradePath(std::uint16_t port, char* path, int capacity) {
    std::uint32_t a = gUpgradeState.localAddress;
    std::snprintf(path, static_cast<std::size_t>(capacity),
                  "/admin/upgrade?tftp://%u.%u.%u.%u:%u%s", a >> 24, (a >> 16) & 0xffu,
                  (a >> 8) & 0xffu, a & 0xffu, unsigned{port},
                  gUpgradeState.transferFileName.Get());
}

void RunUpgrade() {
    UpgradeState& s = gUpgradeState;

    // 1. Warning.
    if (platform::RunModalDialog(s.instance, kDialogWarning, WarningDialogProc, 0) == 0) {
        return;
    }

    // 2. Address.
    int addressDialog = s.profile.handset ? kDialogAddressHandset : kDialogAddressAdapter;
    if (platform::RunModalDialog(s.instance, addressDialog, AddressDialogProc, 0) == 0 ||
        s.deviceAddress == 0) {
        return;
    }

    // The query, the confirmation, the listener and the upgrade request follow from here.
}
