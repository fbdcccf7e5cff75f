// The test seam's time scale, shared by the POSIX clock, sleeps and socket waits.
#pragma once

#include <cstdint>

namespace platform {

// 1 in normal runs; SetTimeScale's factor in tests.
std::uint32_t TimeScale();

}  // namespace platform
