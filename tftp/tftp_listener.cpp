#include "tftp/tftp_listener.h"

#include <cstring>
#include <new>

#include "app/upgrade_state.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/process.h"
#include "platform/thread.h"
#include "tftp/tftp_session.h"
#include "ui/common.h"
#include "ui/dialog_ids.h"
#include "web/http_exchange.h"

namespace {

constexpr const char* kListenerMallocFailure = "Upgrade Failed: Can't malloc for TFTP listener";
constexpr const char* kListenerSocketFailure = "Upgrade Failed: Can't create TFTP listener socket";
constexpr const char* kListenerBindFailure = "Upgrade Failed: Can't bind TFTP listener socket";

constexpr int kControlWaitingText = 1022;
constexpr int kHeartbeatRange = 1000;

constexpr const char* kWaitingExplanation =
    "Firmware upload will begin when the ZEB is idle, where the ZEB will request to download the "
    "firmware from this PC using TFTP at the first available UDP port starting at port number "
    "69.\r\n\r\nIf firmware download does not start, please check that you have done the "
    "following: a) Hangup properly all the phones attached to the ZEB, b) Disable any firewall "
    "software (such as Internet Connection Firewall) on this PC, and c) Make sure that this PC "
    "and the ZEB are on the same LAN subnet; it will not work for example if this PC is behind a "
    "router while the ZEB is in front of it.";

// Shows the waiting dialog 114; the explanation is given only the first time (null after).
platform::Hwnd OpenWaitingDialog(const char* explanation) {
    platform::Hwnd dialog = platform::CreateModelessDialog(gUpgradeState.instance, kDialogWaiting,
                                                           CancelOnlyDialogProc, 0);
    platform::ShowDialogWindow(dialog);
    platform::ProgressSetRange(dialog, kControlProgress, kHeartbeatRange);
    platform::ProgressSetPosition(dialog, kControlProgress, 0);
    if (explanation != nullptr) {
        platform::SetControlText(dialog, kControlWaitingText, explanation);
    }
    return dialog;
}

// The peer and name of an accepted read request.
struct AcceptedRequest {
    std::uint32_t address;
    std::uint16_t port;
    char name[kTftpPacketSize];
};

// Acts on one received datagram. True when it was a read request for the transfer file name.
bool HandleDatagram(TftpListener& listener, int length, const platform::SocketAddress& from,
                    AcceptedRequest* accepted) {
    const char* transferFileName = gUpgradeState.transferFileName.Get();
    RequestedName name{};
    ListenerAction action =
        ClassifyListenerDatagram(listener.receiveBuffer, length, transferFileName, &name);
    switch (action) {
        case ListenerAction::Accept:
        case ListenerAction::RefuseName:
            break;
        case ListenerAction::WriteRequest:
            Trace("TFTP Rx WRQ?\n");
            return false;
        case ListenerAction::DataPacket:
            Trace("TFTP Rx Data?\n");
            return false;
        case ListenerAction::AckPacket:
            Trace("TFTP Rx ACK?\n");
            return false;
        case ListenerAction::ErrorPacket:
            Trace("TFTP Rx Error?\n");
            return false;
        case ListenerAction::Ignore:
            return false;
    }
    // The name as text; one without its NUL in the datagram is cut at the datagram's end.
    ReadSocketAddress(from, &accepted->address, &accepted->port);
    std::memcpy(accepted->name, name.text, static_cast<std::size_t>(name.length));
    accepted->name[name.length] = '\0';
    Trace("%s %s\n", transferFileName, accepted->name);
    if (action == ListenerAction::RefuseName) {
        Trace("+++ Bad TFTP RRQ filename %s\n", accepted->name);
        return false;
    }
    return true;
}

// Waits for the read request naming the transfer file name, pumping the waiting dialog.
void WaitForRequest(TftpListener& listener, platform::Hwnd dialog, AcceptedRequest* accepted) {
    int heartbeat = 0;
    for (;;) {
        platform::SocketAddress from;
        int length = platform::ReceiveDatagram(listener.socket, listener.receiveBuffer,
                                               kTftpPacketSize, &from);
        if (length >= 2) {
            if (HandleDatagram(listener, length, from, accepted)) {
                return;
            }
            continue;
        }
        if (length < 0) {
            // An empty poll waits up to 1 ms, but a datagram arriving meanwhile ends the wait.
            platform::WaitReadable(listener.socket, 1);
        } else {
            // Too short to hold an opcode: an empty poll that sleeps its full 1 ms.
            platform::SleepMilliseconds(1);
        }
        heartbeat = (heartbeat + 1) % kHeartbeatRange;
        platform::ProgressSetPosition(dialog, kControlProgress, heartbeat);
        while (platform::DispatchOneMessage(dialog)) {
        }
    }
}

}  // namespace

std::uint16_t StartTftpListener(std::uint32_t localAddress) {
    auto* listener = new (std::nothrow) TftpListener{};
    if (listener == nullptr) {
        FailAndEndProcess(kListenerMallocFailure);
    }
    listener->socket = platform::OpenUdpSocket();
    if (listener->socket == platform::kInvalidSocket) {
        FailAndEndProcess(kListenerSocketFailure);
    }
    int tries = 0;
    std::uint16_t port = kTftpFirstPort;
    for (;; ++port) {
        platform::SocketAddress local;
        MakeSocketAddress(localAddress, port, &local);
        if (platform::BindSocket(listener->socket, local) == 0) {
            break;
        }
        if (++tries == kTftpPortTries) {
            FailAndEndProcess(kListenerBindFailure);
        }
    }
    listener->localAddress = localAddress;
    listener->port = port;
    platform::ReleaseThread(platform::StartThread(RunTftpListener, listener));
    return port;
}

std::int32_t RunTftpListener(void* argument) {
    TftpListener& listener = *static_cast<TftpListener*>(argument);
    platform::Hwnd dialog = OpenWaitingDialog(kWaitingExplanation);
    platform::SetNonBlocking(listener.socket, true);
    AcceptedRequest request{};
    for (;;) {
        WaitForRequest(listener, dialog, &request);
        platform::DestroyDialogWindow(dialog);
        RunTftpSession(listener.socket, listener.localAddress, listener.port, request.address,
                       request.port, request.name);
        if (gUpgradeState.stage.load() == Target) {
            platform::CloseSocket(listener.socket);
            platform::EndProcess(0);
        }
        gUpgradeState.stage.store(Target);
        dialog = OpenWaitingDialog(nullptr);
    }
}
