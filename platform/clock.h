// The millisecond clock and sleeping.
#pragma once

#include <cstdint>

namespace platform {

// Milliseconds since an arbitrary start, wrapping at 2^32 (timeGetTime on Windows).
std::uint32_t MillisecondClock();
void SleepMilliseconds(std::uint32_t milliseconds);

}  // namespace platform
