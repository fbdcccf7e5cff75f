// One TFTP transfer of the firmware image to the device, on the listener's socket, followed by
// the flashing wait, the check of the version the device then reports and the success dialog.
#pragma once

#include <cstdint>

#include "platform/dialogs.h"
#include "platform/net.h"
#include "tftp/tftp_packets.h"

inline constexpr int kTftpFileNameSize = 128;

struct TftpSession {
    char fileName[kTftpFileNameSize];      // the accepted read request's name
    std::uint8_t packet[kTftpPacketSize];  // every packet sent and every datagram received
    std::uint32_t localAddress;            // host order
    std::uint32_t peerAddress;             // host order; source of the read request
    std::uint16_t localPort;
    std::uint16_t peerPort;
    platform::Socket socket;  // the listener's; never closed here
    std::uint32_t nextBlock;  // block whose ACK is awaited; 0 while the OACK is outstanding
    std::uint32_t fileSize;
    std::uint32_t finalBlock;
    std::uint32_t bytesAcked;
    std::uint32_t finalBlockLength;
    std::uint32_t blockLength;  // data length of the block sent last
};

// The counts that pace a transfer: a time-out is this many unanswered 1-ms polls, the transfer
// fails after this many time-outs in a row, and the flashing wait lasts this many 32-ms ticks.
inline constexpr int kTftpPollsPerTimeout = 100;
inline constexpr int kTftpTimeoutsToFail = 30;
inline constexpr std::uint32_t kFlashWaitTicks = 937;

// Serves the image of the current stage to peerAddress:peerPort, waits while the device writes
// it, verifies the version the device then reports and, in stage Target, shows the success
// dialog. Returns 0 whatever the outcome; ends the process on Cancel.
std::int32_t RunTftpSession(platform::Socket socket, std::uint32_t localAddress,
                            std::uint16_t localPort, std::uint32_t peerAddress,
                            std::uint16_t peerPort, const char* fileName);

std::intptr_t SuccessDialogProc(platform::Hwnd dialog, std::uint32_t message, std::uintptr_t wParam,
                                std::intptr_t lParam);
