// Test seams of the POSIX platform: let tests simulate conditions the machine does not have.
// Not used by the utility itself.
#pragma once

#include <cstdint>

namespace platform::testing {

// The clock runs `factor` times faster and every sleep is `factor` times shorter (1 = real time).
// Counts of polls, time-outs and ticks stay as they are; only wall time shrinks.
void SetTimeScale(std::uint32_t factor);
// Makes StartNetworking fail, as a missing socket layer would.
void SetNetworkingFails(bool fails);
// Replaces the list of local addresses (network order); a negative count restores the real list.
void SetLocalAddressesOverride(const std::uint32_t* networkOrder, int count);

}  // namespace platform::testing
