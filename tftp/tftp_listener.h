// The TFTP listener: waits on the first free UDP port from 69 for the device's read request.
#pragma once

#include <cstdint>

// Binds the listener's socket, starts the listener thread and returns the bound port. Ends the
// process when it cannot.
std::uint16_t StartTftpListener(std::uint32_t localAddress);
