// The two committed icons: one 32 x 32 image of 16 colours each, well formed, and showing what
// they promise (a grey box with a green light; a black telephone with a green display).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

std::vector<std::uint8_t> ReadIcon(const char* name) {
    std::string path = std::string(ZEB_SOURCE_DIR) + "/resources/icons/" + name;
    std::vector<std::uint8_t> bytes;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        int c;
        while ((c = std::fgetc(f)) != EOF && bytes.size() < 100000) {
            bytes.push_back(static_cast<std::uint8_t>(c));
        }
        std::fclose(f);
    }
    return bytes;
}

std::uint32_t U16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8;
}
std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return U16(b, at) | U16(b, at + 2) << 16;
}

// Counts the opaque pixels of each colour (as 0xRRGGBB) after checking the layout.
std::map<std::uint32_t, int> OpaqueColours(const std::vector<std::uint8_t>& icon) {
    std::map<std::uint32_t, int> counts;
    constexpr std::size_t kImage = 22, kPalette = kImage + 40, kColour = kPalette + 64,
                          kMask = kColour + 512, kEnd = kMask + 128;
    EXPECT_EQ(icon.size(), kEnd);
    if (icon.size() != kEnd) {
        return counts;
    }
    EXPECT_EQ(U16(icon, 0), 0u);
    EXPECT_EQ(U16(icon, 2), 1u);  // icon
    EXPECT_EQ(U16(icon, 4), 1u);  // one image
    EXPECT_EQ(icon[6], 32);
    EXPECT_EQ(icon[7], 32);
    EXPECT_EQ(icon[8], 16);
    EXPECT_EQ(U16(icon, 12), 4u);
    EXPECT_EQ(U32(icon, 14), kEnd - kImage);
    EXPECT_EQ(U32(icon, 18), kImage);
    EXPECT_EQ(U32(icon, kImage), 40u);
    EXPECT_EQ(U32(icon, kImage + 4), 32u);
    EXPECT_EQ(U32(icon, kImage + 8), 64u);  // colour bitmap and mask
    EXPECT_EQ(U16(icon, kImage + 14), 4u);
    EXPECT_EQ(U32(icon, kImage + 16), 0u);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            bool transparent = (icon[kMask + y * 4 + x / 8] >> (7 - x % 8) & 1) != 0;
            std::uint8_t pair = icon[kColour + y * 16 + x / 2];
            int index = x % 2 == 0 ? pair >> 4 : pair & 0xf;
            if (!transparent) {
                std::size_t p = kPalette + index * 4;  // blue, green, red, 0
                ++counts[icon[p + 2] << 16 | icon[p + 1] << 8 | icon[p]];
            }
        }
    }
    return counts;
}

bool IsGreen(std::uint32_t rgb) {
    return (rgb & 0xff) < 0x40 && (rgb >> 16) < 0x40 && ((rgb >> 8) & 0xff) >= 0x80;
}
bool IsGrey(std::uint32_t rgb) {
    std::uint32_t r = rgb >> 16, g = (rgb >> 8) & 0xff, b = rgb & 0xff;
    return r == g && g == b && r >= 0x60 && r <= 0xe0;
}

int Count(const std::map<std::uint32_t, int>& colours, bool (*is)(std::uint32_t)) {
    int n = 0;
    for (auto [rgb, count] : colours) {
        n += is(rgb) ? count : 0;
    }
    return n;
}

}  // namespace

TEST(IconsTest, AdapterIsAGreyBoxWithAGreenLight) {
    std::map<std::uint32_t, int> colours = OpaqueColours(ReadIcon("adapter.ico"));
    int opaque = 0;
    for (auto [rgb, count] : colours) {
        opaque += count;
    }
    EXPECT_GT(opaque, 200);
    EXPECT_LT(opaque, 32 * 32);  // the desktop shows around the box
    EXPECT_GT(Count(colours, IsGrey), opaque / 2);
    EXPECT_GT(Count(colours, IsGreen), 0);
}

TEST(IconsTest, TelephoneIsBlackWithAGreenDisplay) {
    std::map<std::uint32_t, int> colours = OpaqueColours(ReadIcon("telephone.ico"));
    int opaque = 0;
    for (auto [rgb, count] : colours) {
        opaque += count;
    }
    EXPECT_GT(opaque, 200);
    EXPECT_LT(opaque, 32 * 32);
    EXPECT_GT(colours[0x000000], opaque / 3);
    EXPECT_GT(Count(colours, IsGreen), 20);
    EXPECT_GT(colours[0xffffff], 0);  // keys
}
