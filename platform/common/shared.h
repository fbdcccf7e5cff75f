// Pieces of the platform layer that the POSIX and the Win32 implementations share.
#pragma once

#include <cstdint>

namespace platform::shared {

// Runs the registered process end hooks, most recent first, for the first thread that ends the
// process. False for any later caller, which must then wait for the first to end the process.
bool RunProcessEndHooksOnce();

// The local address list set by the test seam, when one is set: copies up to `max` addresses
// (network order) and returns true with their count in *count.
bool TakeLocalAddressesOverride(std::uint32_t* networkOrder, int max, int* count);

}  // namespace platform::shared
