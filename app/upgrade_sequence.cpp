// The order of the whole upgrade as the user meets it, and the handlers of its own dialogs.
#include "app/upgrade_sequence.h"

#include <cstdio>

#include "app/upgrade_state.h"
#include "platform/clock.h"
#include "platform/local_addresses.h"
#include "platform/net.h"
#include "tftp/tftp_listener.h"
#include "ui/address_dialog.h"
#include "ui/common.h"
#include "ui/dialog_ids.h"
#include "web/request_runner.h"

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

constexpr const char* kConfirmExplanation =
    "The following information was extracted\r\n"
    "from your ZEB. Please click \"Upgrade\"\r\n"
    "if you would like to proceed. If you would\r\n"
    "like to quit click \"Cancel\".";
constexpr const char* kTwoStageNoteFormat =
    "%s\r\n\r\nNote: Since your current firmware version\r\nis older than %s, this upgrade "
    "procedure\r\nrequires additional steps and will be\r\nslightly longer.\r\n";

// The read-only boxes of the confirm dialogs.
constexpr int kControlSerialNumber = 1002;
constexpr int kControlMacAddress = 1003;
constexpr int kControlSoftwareVersion = 1004;
constexpr int kControlHardwareVersion = 1005;
constexpr int kControlProductName = 1006;

constexpr const char* kStatusPath = "/admin/advanced";
constexpr std::uint16_t kHttpBasePort = 23456;
constexpr std::uint16_t kDevicePort = 80;
constexpr std::uint32_t kIdleStepMs = 10;

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

std::int32_t RequestFromDevice(const char* path) {
    UpgradeState& s = gUpgradeState;
    return RunDeviceRequest(s.instance, s.localAddress, kHttpBasePort, s.deviceAddress, kDevicePort,
                            path, s.responseArea, kResponseCapacity);
}

// With no local address to choose from, take the one the system routes to the device through,
// so that the device is never told to fetch from 0.0.0.0.
void SettleLocalAddress() {
    UpgradeState& s = gUpgradeState;
    if (s.localAddress == 0) {
        s.localAddress = platform::NetworkToHost32(
            platform::LocalAddressToward(platform::HostToNetwork32(s.deviceAddress)));
        Trace("+++ routed via %x\n", s.localAddress);
    }
}

// Tells the device where to fetch the image; whatever it answers, the listener keeps waiting.
void SendUpgradeRequest(std::uint16_t port) {
    char path[128];
    BuildUpgradePath(port, path, sizeof path);
    RequestFromDevice(path);
}

// The listener thread carries the upgrade to its end and ends the process.
[[noreturn]] void IdleUntilTheProcessEnds() {
    for (;;) {
        platform::SleepMilliseconds(kIdleStepMs);
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

    // 3. Query.
    if (RequestFromDevice(kStatusPath) < 1) {
        ShowFailure("Upgrade Failed: No Response From ZEB");
        return;
    }

    // 4. Confirm.
    int confirmDialog = s.stage.load() == Target ? kDialogConfirmSingle : kDialogConfirmTwoStage;
    if (platform::RunModalDialog(s.instance, confirmDialog, ConfirmDialogProc, 0) == 0) {
        ShowFailure(kUserAbortMessage);
        return;
    }

    // 5. Listener, started before the device is told to fetch anything.
    SettleLocalAddress();
    std::uint16_t port = StartTftpListener(s.localAddress);

    // 6. Upgrade request.
    SendUpgradeRequest(port);

    // 7. In a two-stage build, ask for the Target image once the first transfer has ended.
    if (s.stage.load() != Target) {
        while (s.stage.load() != Target) {
            platform::SleepMilliseconds(kIdleStepMs);
        }
        MakeTransferFileName(Target);
        SendUpgradeRequest(port);
    }
    IdleUntilTheProcessEnds();
}

std::intptr_t ConfirmDialogProc(platform::Hwnd dialog, std::uint32_t message, std::uintptr_t wParam,
                                std::intptr_t) {
    const UpgradeState& s = gUpgradeState;
    if (message == platform::kMessageInitDialog) {
        char text[512];
        std::snprintf(text, sizeof text, "Confirm Upgrade to Ver. %s",
                      s.targetImage.header.Version());
        platform::SetWindowTitle(dialog, text);
        if (s.stage.load() == Target) {
            platform::SetControlText(dialog, kControlMainText, kConfirmExplanation);
        } else {
            std::snprintf(text, sizeof text, kTwoStageNoteFormat, kConfirmExplanation,
                          s.transitionImage.header.Version());
            platform::SetControlText(dialog, kControlMainText, text);
        }
        const DeviceInfo& info = s.deviceInfo;
        platform::SetControlText(dialog, kControlSerialNumber, info.serialNumber);
        platform::SetControlText(dialog, kControlMacAddress, info.macAddress);
        platform::SetControlText(dialog, kControlSoftwareVersion, info.softwareVersion);
        platform::SetControlText(dialog, kControlHardwareVersion, info.hardwareVersion);
        platform::SetControlText(dialog, kControlProductName, info.productName);
        CenterWindow(dialog);
        return 1;  // the dialog's default focus: the Upgrade button
    }
    if (message == platform::kMessageCommand) {
        return EndOnOkOrCancel(dialog, wParam);
    }
    return 0;
}
