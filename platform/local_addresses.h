// This computer's IPv4 addresses.
#pragma once

#include <cstdint>

namespace platform {

// Fills up to `max` addresses in network byte order, in the order the system gives them, and
// returns how many were stored. Windows resolves the host name; POSIX lists the interfaces that
// are up, loopback addresses last.
int ListLocalIPv4Addresses(std::uint32_t* networkOrder, int max);

}  // namespace platform

namespace platform {

// The local address (network order) that the system would send from to reach `remote` (network
// order): a UDP socket connected to it, then its local name. 0 when there is no route.
std::uint32_t LocalAddressToward(std::uint32_t remoteNetworkOrder);

}  // namespace platform
