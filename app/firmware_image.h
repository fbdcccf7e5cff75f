// An embedded firmware image and the two header fields the utility reads.
#pragma once

#include <cstdint>

inline constexpr int kImageHeaderSize = 128;
inline constexpr int kImageTagOffset = 0;
inline constexpr int kImageVersionOffset = 92;

// A copy of the first 128 bytes of an image.
struct ImageHeader {
    std::uint8_t bytes[kImageHeaderSize];

    const char* Tag() const { return reinterpret_cast<const char*>(bytes + kImageTagOffset); }
    // NUL-terminated inside the header in every image the build embeds.
    const char* Version() const {
        return reinterpret_cast<const char*>(bytes + kImageVersionOffset);
    }
};

struct FirmwareImage {
    const std::uint8_t* bytes;  // view of the embedded resource; null when absent
    std::uint32_t size;         // 0 when absent
    ImageHeader header;         // all zero when absent
};

inline constexpr int kTargetImageId = 112;
inline constexpr int kTransitionImageId = 319;
