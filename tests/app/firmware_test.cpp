#include "app/firmware.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Identifies the product from a header that begins with `tag` (bytes, so a NUL may be inside).
ProductProfile IdentifyTag(const std::string& tag) {
    ResetUpgradeState();
    std::memcpy(gUpgradeState.targetImage.header.bytes, tag.data(), tag.size());
    IdentifyProduct();
    return gUpgradeState.profile;
}

struct TagCase {
    std::string tag;
    const char* displayName;
    int handset;
};

std::vector<std::uint8_t> ReadFile(const char* path) {
    std::vector<std::uint8_t> bytes;
    if (std::FILE* f = std::fopen(path, "rb")) {
        std::uint8_t buffer[65536];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
            bytes.insert(bytes.end(), buffer, buffer + n);
        }
        std::fclose(f);
    }
    return bytes;
}

}  // namespace

TEST(IdentifyProductTest, ProductTable) {
    const TagCase cases[] = {
        // Every row, by its own tag (some in another case) followed by more of a real tag.
        {"zeb7700 fw", "ZEB-7700", 0},
        {"ZEB6600", "ZEB-6000/6600", 0},
        {"Zeb4401x", "ZEB-4401", 0},
        {"tarnis6", "ZEB-514/504", 1},
        {"VtArNiM2", "ZEB-524/534", 1},
        {"TARN512", "ZEB-512", 1},
        {"tarnis", "ZEB-410", 1},
        {"KoRvAnE FiRmWaRe", "Korvane QDM4", 0},
        {"krqdm4v3", "Korvane QDM4T", 0},
        {"ZeB5410", "ZEB-5410", 0},
        {"ZeB5610", "ZEB-5610", 0},
        {"ZeB5510", "ZEB-5510", 0},
        {"ZEB5500", "ZEB-5500", 0},
        {"ZeB8800t", "ZEB8800", 0},
        {"zeb8800", "ZEB-8800", 0},
        // Overlaps: the earlier row wins only when its whole tag matches.
        {"TARNIS6x", "ZEB-514/504", 1},
        {"TARNIS5", "ZEB-410", 1},
        {"TARNIS9", "ZEB-410", 1},
        {"zeb8800t", "ZEB-8800", 0},
        {"ZEB8800T", "ZEB-8800", 0},
        // Exact rows refuse any other mix of case.
        {"vtarnim", "ODM-Product", 0},
        {"ZEB5410", "ODM-Product", 0},
        {"zeb5610", "ODM-Product", 0},
        // Only letters fold: 0x10 and '0', 0x13 and '3' differ just by the case bit.
        {"zeb770\x10", "ODM-Product", 0},
        {"KrQdM4V\x13", "ODM-Product", 0},
        // A tag shorter than the row's, a NUL inside the compared bytes, a NUL first.
        {std::string("tarni\0s6", 8), "ODM-Product", 0},
        {std::string("zeb770\0", 7), "ODM-Product", 0},
        {std::string("\0zeb7700", 8), "ODM-Product", 0},
        {"", "ODM-Product", 0},
        {"unknown", "ODM-Product", 0},
    };
    for (const TagCase& c : cases) {
        SCOPED_TRACE("tag \"" + c.tag + "\"");
        ProductProfile profile = IdentifyTag(c.tag);
        EXPECT_STREQ(profile.displayName, c.displayName);
        EXPECT_EQ(profile.handset, c.handset);
    }
}

TEST(IdentifyProductTest, UnknownTagClearsAnEarlierHandsetFlag) {
    ResetUpgradeState();
    gUpgradeState.profile.handset = 1;
    IdentifyProduct();
    EXPECT_STREQ(gUpgradeState.profile.displayName, "ODM-Product");
    EXPECT_EQ(gUpgradeState.profile.handset, 0);
}

TEST(LoadFirmwareImagesTest, ShippedSingleStageImage) {
    ResetUpgradeState();
    ASSERT_EQ(gUpgradeState.stage.load(), Target);
    LoadFirmwareImages();
    IdentifyProduct();

    const FirmwareImage& target = gUpgradeState.targetImage;
    std::vector<std::uint8_t> file = ReadFile(ZEB_TEST_TARGET_IMAGE);
    ASSERT_EQ(file.size(), 759100u);
    ASSERT_EQ(target.size, 759100u);
    ASSERT_NE(target.bytes, nullptr);
    EXPECT_EQ(std::memcmp(target.bytes, file.data(), file.size()), 0);
    EXPECT_EQ(std::memcmp(target.header.bytes, file.data(), kImageHeaderSize), 0);
    EXPECT_STREQ(target.header.Version(), ZEB_DEFAULT_IMAGE_VERSION);
    EXPECT_STREQ(gUpgradeState.profile.displayName, "Korvane QDM4");
    EXPECT_EQ(gUpgradeState.profile.handset, 0);

    const FirmwareImage& transition = gUpgradeState.transitionImage;
    EXPECT_EQ(transition.bytes, nullptr);
    EXPECT_EQ(transition.size, 0u);
    EXPECT_STREQ(transition.header.Version(), "");
}

TEST(LoadFirmwareImagesTest, TransitionStageWithoutATransitionImageLeavesItAbsent) {
    ResetUpgradeState();
    gUpgradeState.stage.store(Transition);
    LoadFirmwareImages();
    EXPECT_EQ(gUpgradeState.targetImage.size, 759100u);
    EXPECT_EQ(gUpgradeState.transitionImage.bytes, nullptr);
    EXPECT_EQ(gUpgradeState.transitionImage.size, 0u);
}
