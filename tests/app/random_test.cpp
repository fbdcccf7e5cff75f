#include "app/random.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

std::vector<int> Draw(std::uint32_t seed, int count) {
    SeedRandom(seed);
    std::vector<int> values;
    for (int i = 0; i < count; ++i) {
        values.push_back(NextRandom());
    }
    return values;
}

}  // namespace

TEST(RandomTest, OneSequencePerSeedWithinZeroTo32767) {
    std::vector<int> first = Draw(12345, 2000);
    EXPECT_EQ(first, Draw(12345, 2000));
    EXPECT_NE(first, Draw(12346, 2000));

    std::set<int> distinct(first.begin(), first.end());
    EXPECT_GT(distinct.size(), 1500u);  // spread out, not stuck on a few values
    EXPECT_GE(*distinct.begin(), 0);
    EXPECT_LE(*distinct.rbegin(), 32767);
    // Both halves of the range come up, so the top bit of the 15 is used.
    EXPECT_LT(*distinct.begin(), 1000);
    EXPECT_GT(*distinct.rbegin(), 31767);
}
