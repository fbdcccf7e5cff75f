// The embedded firmware images and the product table.
#include "app/firmware.h"

#include <cstring>

#include "platform/resources.h"

namespace {

struct ProductRow {
    const char* tag;
    bool ignoreCase;
    int compareLength;
    const char* displayName;
    int handset;
};

// Tried in this order; the first match wins. Row 4 must come before row 7 ("tarnis6" begins
// with "tarnis") and row 14 before row 15 ("ZeB8800t" begins, ignoring case, with "zeb8800").
constexpr ProductRow kProductTable[] = {
    {"zeb7700", true, 7, "ZEB-7700", 0},       {"zeb6600", true, 7, "ZEB-6000/6600", 0},
    {"zeb4401", true, 7, "ZEB-4401", 0},       {"tarnis6", true, 7, "ZEB-514/504", 1},
    {"VtArNiM", false, 7, "ZEB-524/534", 1},   {"tArN512", true, 7, "ZEB-512", 1},
    {"tarnis", true, 6, "ZEB-410", 1},         {"korvane", true, 7, "Korvane QDM4", 0},
    {"KrQdM4V3", true, 8, "Korvane QDM4T", 0}, {"ZeB5410", false, 7, "ZEB-5410", 0},
    {"ZeB5610", false, 7, "ZEB-5610", 0},      {"ZeB5510", false, 7, "ZEB-5510", 0},
    {"zeb5500", true, 7, "ZEB-5500", 0},       {"ZeB8800t", false, 8, "ZEB8800", 0},
    {"zeb8800", true, 7, "ZEB-8800", 0},
};

constexpr const char* kUnknownProductName = "ODM-Product";

// Folds only the ASCII letters, whatever the C locale says.
constexpr unsigned char FoldAscii(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

// The header matches when its first compareLength bytes equal the row's tag. A NUL in the header
// before that never matches, since the tag itself holds no NUL.
bool RowMatches(const ProductRow& row, const ImageHeader& header) {
    for (int i = 0; i < row.compareLength; ++i) {
        unsigned char have = header.bytes[kImageTagOffset + i];
        unsigned char want = static_cast<unsigned char>(row.tag[i]);
        if (have == '\0') {
            return false;
        }
        if (row.ignoreCase ? FoldAscii(have) != FoldAscii(want) : have != want) {
            return false;
        }
    }
    return true;
}

// Makes `image` a view of resource `id`; leaves it absent when the build has no such resource.
void LoadImage(int id, FirmwareImage* image) {
    std::memset(image, 0, sizeof *image);
    const std::uint8_t* bytes = nullptr;
    std::uint32_t size = 0;
    if (!platform::FindFirmwareResource(id, &bytes, &size)) {
        return;
    }
    image->bytes = bytes;
    image->size = size;
    std::memcpy(image->header.bytes, bytes, size < kImageHeaderSize ? size : kImageHeaderSize);
    // Every version text ends inside the header; the last byte stays NUL so that a header
    // without one can never be read past its end.
    image->header.bytes[kImageHeaderSize - 1] = 0;
}

}  // namespace

void LoadFirmwareImages() {
    LoadImage(kTargetImageId, &gUpgradeState.targetImage);
    if (gUpgradeState.stage.load() == Transition) {
        LoadImage(kTransitionImageId, &gUpgradeState.transitionImage);
    }
}

void IdentifyProduct() {
    ProductProfile& profile = gUpgradeState.profile;
    profile.handset = 0;
    const char* name = kUnknownProductName;
    for (const ProductRow& row : kProductTable) {
        if (RowMatches(row, gUpgradeState.targetImage.header)) {
            name = row.displayName;
            profile.handset = row.handset;
            break;
        }
    }
    std::strncpy(profile.displayName, name, sizeof profile.displayName - 1);
    profile.displayName[sizeof profile.displayName - 1] = '\0';
}
