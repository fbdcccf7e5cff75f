// The test seam's time scale, shared by the Win32 clock, sleeps and socket waits.
#pragma once

#include <cstdint>

namespace platform {

std::uint32_t TimeScale();  // 1 outside tests

}  // namespace platform
