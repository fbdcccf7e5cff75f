// Firmware images embedded in the executable (resources of type "ZEB_FIRMWARE").
#pragma once

#include <cstdint>

namespace platform {

// Finds firmware resource `id` (112 Target, 319 Transition). False when the build has none.
bool FindFirmwareResource(int id, const std::uint8_t** bytes, std::uint32_t* size);

// The stage the build starts at: 1 (Target) for a single-stage build, 0 (Transition) for a
// two-stage build. Fixed when the executable is built, beside the embedded images.
std::int32_t BuildInitialStage();

}  // namespace platform
