// The TFTP listener: waits on the first free UDP port from 69 for the device's read request.
#pragma once

#include <cstdint>

#include "platform/net.h"
#include "tftp/tftp_packets.h"

// Handed from StartTftpListener to the listener thread; lives until the process ends.
struct TftpListener {
    std::uint32_t localAddress;  // host order; 0 binds to every local address
    std::uint16_t port;
    platform::Socket socket;  // the transfer uses the same socket
    std::uint8_t receiveBuffer[kTftpPacketSize];
};

inline constexpr std::uint16_t kTftpFirstPort = 69;
inline constexpr int kTftpPortTries = 100;  // ports 69 to 168

// Binds the listener's socket, starts the listener thread and returns the bound port. Ends the
// process when it cannot.
std::uint16_t StartTftpListener(std::uint32_t localAddress);

// The body of the listener thread (argument: a TftpListener). Never returns: it ends the process
// after the last transfer, or Cancel ends it.
std::int32_t RunTftpListener(void* listener);
