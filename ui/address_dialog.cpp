// The address entry: the device's IPv4 address, the local address to use, and the transfer file
// name made when an address is accepted.
#include "ui/address_dialog.h"

#include <cstdio>

#include "app/random.h"
#include "app/upgrade_state.h"
#include "ui/common.h"
#include "ui/dialog_ids.h"

namespace {

constexpr int kControlAddressEntry = 1000;
constexpr int kControlHint = 1008;
constexpr int kControlVersion = 1015;
constexpr int kControlLocalAddresses = 1017;

constexpr const char* kHeading = "This program will upgrade your ZEB\r\nfirmware to:";
constexpr const char* kHandsetHint =
    "To proceed, please provide the IP address\r\nof your ZEB. To find out the IP address of\r\n"
    "your ZEB, press the I button on the phone,\r\nselect \"Network\" option, and check the\r\n"
    "value of \"Current IP\". For example, 10.1.0.13\r\n\r\nPlease enter IP address of your ZEB:";
constexpr const char* kAdapterHint =
    "To proceed, please provide the IP address\r\nof your ZEB. To find out the IP address\r\n"
    "of your ZEB, using a telephone handset,\r\nenter * * * *, option 110#, and write down\r\n"
    "the value. For example, 10.1.0.123\r\n\r\nPlease enter IP address of your ZEB:";
constexpr const char* kInvalidAddressText = "Invalid IP Address";
constexpr const char* kInvalidAddressCaption = "Error";

constexpr int kMinAddressLength = 7;   // "1.2.3.4"
constexpr int kMaxAddressLength = 15;  // "255.255.255.255"

bool IsSeparator(char c) {
    return c == '.' || c == '*';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

void InitAddressDialog(platform::Hwnd dialog) {
    const UpgradeState& s = gUpgradeState;
    int count = 0;
    while (count < kMaxLocalAddresses && s.localAddresses.entries[count] != 0) {
        std::uint32_t a = s.localAddresses.entries[count];
        char text[16];
        std::snprintf(text, sizeof text, "%u.%u.%u.%u", a >> 24, (a >> 16) & 0xffu,
                      (a >> 8) & 0xffu, a & 0xffu);
        platform::ListAddEntry(dialog, kControlLocalAddresses, text);
        ++count;
    }
    // With no local address the list stays empty and without a selection.
    if (count > 0) {
        platform::ListSelectEntry(dialog, kControlLocalAddresses, 0);
    }

    SetUpgradeTitle(dialog, s.profile.displayName);
    platform::SetControlText(dialog, kControlMainText, kHeading);
    platform::SetControlText(dialog, kControlHint, s.profile.handset ? kHandsetHint : kAdapterHint);
    char line[64];
    std::snprintf(line, sizeof line, "Version %s", s.targetImage.header.Version());
    platform::SetControlText(dialog, kControlVersion, line);
    platform::SetControlFocus(dialog, kControlAddressEntry);
    CenterWindow(dialog);
}

void AcceptAddress(platform::Hwnd dialog) {
    UpgradeState& s = gUpgradeState;
    platform::GetControlText(dialog, kControlAddressEntry, s.deviceAddressText,
                             sizeof s.deviceAddressText);
    // Only the stored address counts: 0.0.0.0 parses but is no device address.
    ParseDottedAddress(s.deviceAddressText, &s.deviceAddress);
    if (s.deviceAddress == 0) {
        platform::ShowMessageBox(dialog, kInvalidAddressText, kInvalidAddressCaption,
                                 platform::kMessageBoxOk);
        platform::SetControlFocus(dialog, kControlAddressEntry);
        return;
    }
    MakeTransferFileName(s.stage.load());
    int index = platform::ListSelectedEntry(dialog, kControlLocalAddresses);
    // No selection (an empty list) leaves no local address; the sequence finds the route later.
    s.localAddress = index >= 0 && index < kMaxLocalAddresses ? s.localAddresses.entries[index] : 0;
    Trace("+++ using %x\n", s.localAddress);
    platform::EndModalDialog(dialog, 1);
}

}  // namespace

std::intptr_t AddressDialogProc(platform::Hwnd dialog, std::uint32_t message, std::uintptr_t wParam,
                                std::intptr_t) {
    if (message == platform::kMessageInitDialog) {
        InitAddressDialog(dialog);
        return 0;  // keep the focus on the address entry
    }
    if (message != platform::kMessageCommand) {
        return 0;
    }
    switch (wParam & 0xffffu) {
        case kControlOk:
            AcceptAddress(dialog);
            return 1;
        case kControlCancel:
            platform::EndModalDialog(dialog, 0);
            return 1;
        default:
            return 0;
    }
}

int ParseDottedAddress(const char* text, std::uint32_t* address) {
    *address = 0;
    int length = 0;
    while (length <= kMaxAddressLength && text[length] != '\0') {
        ++length;
    }
    if (length < kMinAddressLength || length > kMaxAddressLength) {
        return 4;
    }
    for (int i = 0; i < length; ++i) {
        if (!IsDigit(text[i]) && !IsSeparator(text[i])) {
            return 5;
        }
    }

    // Dots and asterisks separate parts alike; runs of them and separators at either end make
    // no empty part.
    std::uint32_t octets[4];
    int taken = 0;
    int i = 0;
    while (i < length) {
        if (IsSeparator(text[i])) {
            ++i;
            continue;
        }
        if (taken == 4) {
            return 2;
        }
        // Decimal, leading zeros allowed; the value stops growing once it is out of range, so a
        // long run of digits cannot overflow.
        std::uint32_t value = 0;
        for (; i < length && IsDigit(text[i]); ++i) {
            if (value <= 255) {
                value = value * 10 + static_cast<std::uint32_t>(text[i] - '0');
            }
        }
        if (value > 255) {
            return 1;
        }
        octets[taken++] = value;
    }
    if (taken < 4) {  // no part at all, or too few
        return 3;
    }
    *address = octets[0] << 24 | octets[1] << 16 | octets[2] << 8 | octets[3];
    return 0;
}

void FormatTransferFileName(unsigned value, int stageValue, char* name, int capacity) {
    std::snprintf(name, static_cast<std::size_t>(capacity), "/zeb%x.bi%d", value & 0xffffu,
                  stageValue);
}

void MakeTransferFileName(int stageValue) {
    char name[kTransferFileNameSize];
    FormatTransferFileName(static_cast<unsigned>(NextRandom()), stageValue, name, sizeof name);
    gUpgradeState.transferFileName.Set(name);
}
