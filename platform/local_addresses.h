// This computer's IPv4 addresses.
#pragma once

#include <cstdint>

namespace platform {

// Fills up to `max` addresses in network byte order, in the order the system gives them, and
// returns how many were stored. Windows resolves the host name; POSIX lists the interfaces that
// are up, loopback addresses last.
int ListLocalIPv4Addresses(std::uint32_t* networkOrder, int max);

}  // namespace platform
