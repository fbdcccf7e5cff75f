#include "tftp/tftp_session.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "app/upgrade_state.h"
#include "platform/clock.h"
#include "ui/common.h"
#include "ui/dialog_ids.h"
#include "web/http_exchange.h"
#include "web/request_runner.h"

namespace {

constexpr const char* kSessionMallocFailure = "Upgrade Failed: Can't malloc for TFTP session";
constexpr const char* kUploadIncomplete = "Upgrade Failed: Firmware Upload Incomplete";
constexpr const char* kVersionMismatch = "Upgrade Failed: Version not matching";
constexpr const char* kSuccessText =
    "Your ZEB has been successfully\r\nupgraded to the version shown\r\nbelow.";

constexpr int kControlSuccessVersion = 1004;
constexpr std::uint16_t kQueryBasePort = 23456;
constexpr std::uint16_t kDeviceWebPort = 80;
constexpr const char* kStatusPath = "/admin/advanced";
constexpr int kQueryAttempts = 10;
constexpr int kSuccessTitleSize = 80;

constexpr std::uint32_t kTickShift = 5;  // a tick is 32 ms of the millisecond clock
constexpr std::uint32_t kTickMilliseconds = 1u << kTickShift;
constexpr std::uint32_t kTickWrap = 1u << (32 - kTickShift);  // ticks when the clock wraps

const char* StageName() {
    return gUpgradeState.stage.load() == Target ? "Target" : "Transition";
}

const FirmwareImage& StageImage() {
    return gUpgradeState.stage.load() == Target ? gUpgradeState.targetImage
                                                : gUpgradeState.transitionImage;
}

// The transfer's private state besides its record.
struct Transfer {
    TftpSession* session;
    const std::uint8_t* image;
    platform::Hwnd dialog;
    platform::SocketAddress peer;
    const std::uint8_t* dataPosition;  // start of the block sent last
    int polls;
    int timeouts;
};

void SendOutstanding(Transfer& t) {
    TftpSession& s = *t.session;
    if (s.nextBlock == 0) {
        SendOptionAck(s.socket, s.packet, t.peer, s.fileSize);
    } else {
        SendDataBlock(s.socket, s.packet, t.dataPosition, s.blockLength, s.nextBlock, t.peer);
    }
}

void ShowUploadProgress(Transfer& t) {
    TftpSession& s = *t.session;
    platform::ProgressSetPosition(t.dialog, kControlProgress, static_cast<int>(s.nextBlock));
    char title[256];
    std::snprintf(title, sizeof title, "Uploading %s Firmware to ZEB@%s %d/%d Bytes", StageName(),
                  gUpgradeState.deviceAddressText, static_cast<int>(s.bytesAcked),
                  static_cast<int>(s.fileSize));
    platform::SetWindowTitle(t.dialog, title);
}

// Handles the ACK of nextBlock. True when it was the last one.
bool AdvanceOnAck(Transfer& t) {
    TftpSession& s = *t.session;
    s.nextBlock += 1;
    s.bytesAcked += s.blockLength;
    t.polls = 0;
    t.timeouts = 0;
    ShowUploadProgress(t);
    if (s.nextBlock > s.finalBlock) {
        Trace("All blocks ack'd\n");
        return true;
    }
    s.blockLength = s.nextBlock == s.finalBlock ? s.finalBlockLength : kTftpBlockSize;
    t.dataPosition = s.nextBlock == 1 ? t.image : t.dataPosition + kTftpBlockSize;
    SendOutstanding(t);
    Trace("Send block %d (%d)\n", static_cast<int>(s.nextBlock), static_cast<int>(s.blockLength));
    return false;
}

// Counts one unanswered poll after its 1-ms pause. True when the transfer has failed.
bool CountPoll(Transfer& t) {
    if (++t.polls < kTftpPollsPerTimeout) {
        return false;
    }
    t.polls = 0;
    if (++t.timeouts >= kTftpTimeoutsToFail) {
        Trace("Timeout for ack; upgrade failed\n");
        return true;
    }
    if (t.session->nextBlock == 0) {
        Trace("ReSend option ack\n");
    } else {
        Trace("ReSend block %d\n", static_cast<int>(t.session->nextBlock));
    }
    SendOutstanding(t);
    return false;
}

// Serves the image in lock-step with the client's ACKs. True when every block was acknowledged.
bool ServeImage(Transfer& t) {
    TftpSession& s = *t.session;
    SendOptionAck(s.socket, s.packet, t.peer, s.fileSize);
    bool waitCutShort = false;
    for (;;) {
        platform::SocketAddress from;
        int length = platform::ReceiveDatagram(s.socket, s.packet, kTftpPacketSize, &from);
        if (length < 0) {
            platform::DispatchOneMessage(t.dialog);
            // An empty poll waits up to 1 ms, but a datagram arriving meanwhile ends the wait and
            // is handled at once. Such a shortened wait is not counted as a poll (the datagram
            // is counted, with its full pause, if it is of no use), so arrivals cannot bring a
            // time-out closer; a wait that is cut short twice without a datagram is counted.
            if (platform::WaitReadable(s.socket, 1) && !waitCutShort) {
                waitCutShort = true;
                continue;
            }
            waitCutShort = false;
            if (CountPoll(t)) {
                return false;
            }
            continue;
        }
        waitCutShort = false;
        std::uint32_t sourceAddress = 0;
        std::uint16_t sourcePort = 0;
        ReadSocketAddress(from, &sourceAddress, &sourcePort);
        switch (ClassifySessionDatagram(s.packet, length, sourceAddress, sourcePort, s.peerAddress,
                                        s.peerPort, s.nextBlock)) {
            case SessionAction::Stranger:
                Trace("Unknown source request in session: %x:%u", sourceAddress,
                      static_cast<unsigned>(sourcePort));
                break;
            case SessionAction::NotAck:
                break;
            case SessionAction::OtherAck:
                continue;
            case SessionAction::ExpectedAck:
                if (AdvanceOnAck(t)) {
                    return true;
                }
                continue;
        }
        // A datagram the transfer cannot use still costs its full pause, so strangers cannot
        // hurry the time-outs along.
        platform::SleepMilliseconds(1);
        if (CountPoll(t)) {
            return false;
        }
    }
}

std::uint32_t CurrentTick() {
    return platform::MillisecondClock() >> kTickShift;
}

// Gives the device 937 ticks of 32 ms to write the image, with the time shown on the bar.
void WaitForFlashing(Transfer& t) {
    std::uint32_t start = CurrentTick();
    platform::ProgressSetRange(t.dialog, kControlProgress, static_cast<int>(kFlashWaitTicks));
    platform::ProgressSetPosition(t.dialog, kControlProgress, 0);
    char title[256];
    std::snprintf(title, sizeof title, "Updating %s Firmware to ZEB@%s", StageName(),
                  gUpgradeState.deviceAddressText);
    platform::SetWindowTitle(t.dialog, title);
    for (;;) {
        std::uint32_t now = CurrentTick();
        if (now < start) {
            now += kTickWrap;
        }
        platform::ProgressSetPosition(t.dialog, kControlProgress, static_cast<int>(now - start));
        while (platform::DispatchOneMessage(t.dialog)) {
        }
        if (now >= start + kFlashWaitTicks) {
            return;
        }
        platform::SleepMilliseconds(kTickMilliseconds);
    }
}

// Reads the status page again from the address the read request came from. False when the
// device did not answer in 10 attempts.
bool QueryDevice(const TftpSession& s) {
    for (int attempt = 0; attempt < kQueryAttempts; ++attempt) {
        if (RunDeviceRequest(gUpgradeState.instance, s.localAddress, kQueryBasePort, s.peerAddress,
                             kDeviceWebPort, kStatusPath, gUpgradeState.responseArea,
                             kResponseCapacity) > 0) {
            return true;
        }
    }
    return false;
}

void Verify(const TftpSession& s, bool complete) {
    if (!complete) {
        ShowFailure(kUploadIncomplete);
        return;
    }
    if (!QueryDevice(s)) {
        return;
    }
    const char* imageVersion = StageImage().header.Version();
    const char* deviceVersion = gUpgradeState.deviceInfo.softwareVersion;
    std::int32_t stage = gUpgradeState.stage.load();
    Trace("[%d]%s %s\n", static_cast<int>(stage), imageVersion, deviceVersion);
    if (!gUpgradeState.profile.handset && std::strcmp(imageVersion, deviceVersion) != 0) {
        ShowFailure(kVersionMismatch);
        return;
    }
    if (stage == Target) {
        platform::RunModalDialog(gUpgradeState.instance, kDialogSuccess, SuccessDialogProc, 0);
    }
}

}  // namespace

std::int32_t RunTftpSession(platform::Socket socket, std::uint32_t localAddress,
                            std::uint16_t localPort, std::uint32_t peerAddress,
                            std::uint16_t peerPort, const char* fileName) {
    std::unique_ptr<TftpSession> record(new (std::nothrow) TftpSession{});
    if (!record) {
        FailAndEndProcess(kSessionMallocFailure);
    }
    TftpSession& s = *record;
    s.socket = socket;
    s.localAddress = localAddress;
    s.localPort = localPort;
    s.peerAddress = peerAddress;
    s.peerPort = peerPort;
    std::snprintf(s.fileName, sizeof s.fileName, "%s", fileName);
    const FirmwareImage& image = StageImage();
    s.fileSize = image.size;
    TftpSizes sizes = ApplySizesRule(s.fileSize);
    s.finalBlock = sizes.finalBlock;
    s.finalBlockLength = sizes.finalBlockLength;
    Trace("++++size %d, %d, %d\n", static_cast<int>(s.fileSize),
          static_cast<int>(s.finalBlockLength), static_cast<int>(s.finalBlock));

    Transfer t{};
    t.session = &s;
    t.image = image.bytes;
    t.dialog = platform::CreateModelessDialog(gUpgradeState.instance, kDialogUploading,
                                              CancelOnlyDialogProc, 0);
    platform::ShowDialogWindow(t.dialog);
    platform::ProgressSetRange(t.dialog, kControlProgress, static_cast<int>(s.finalBlock));
    platform::SetNonBlocking(socket, true);
    MakeSocketAddress(peerAddress, peerPort, &t.peer);

    bool complete = ServeImage(t);
    WaitForFlashing(t);
    platform::DestroyDialogWindow(t.dialog);
    Verify(s, complete);
    return 0;
}

std::intptr_t SuccessDialogProc(platform::Hwnd dialog, std::uint32_t message, std::uintptr_t wParam,
                                std::intptr_t) {
    if (message == platform::kMessageInitDialog) {
        char title[kSuccessTitleSize];
        std::snprintf(title, sizeof title, "ZEB@%s Upgrade Successful!",
                      gUpgradeState.deviceAddressText);
        platform::SetWindowTitle(dialog, title);
        platform::SetControlText(dialog, kControlMainText, kSuccessText);
        platform::SetControlText(dialog, kControlSuccessVersion,
                                 gUpgradeState.deviceInfo.softwareVersion);
        CenterWindow(dialog);
        return 1;
    }
    if (message == platform::kMessageCommand) {
        int id = static_cast<int>(wParam & 0xffff);
        if (id == platform::kIdOk) {
            platform::EndModalDialog(dialog, 1);
            return 1;
        }
        if (id == platform::kIdCancel) {
            platform::EndModalDialog(dialog, 0);
            return 1;
        }
    }
    return 0;
}
