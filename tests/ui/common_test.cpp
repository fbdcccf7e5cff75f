#include "ui/common.h"

#include <gtest/gtest.h>

TEST(CenteredCoordinateTest, HalvesWithAnArithmeticShift) {
    struct Case {
        int low, high, screen, expected;
    };
    const Case cases[] = {
        {0, 301, 1024, 361},    // odd remainder loses its half pixel
        {0, 1027, 1024, -2},    // wider than the screen: rounds toward minus infinity
        {500, 801, 1024, 361},  // only the size counts, not where the window was
        {-40, 260, 768, 234},   // a window above the screen's top edge
        {0, 1024, 1024, 0},     // exactly the screen's size
        {10, 1035, 1024, -1},   // one pixel too wide: -1 / 2 rounds down
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CenteredCoordinate(c.low, c.high, c.screen), c.expected)
            << c.low << ".." << c.high << " on " << c.screen;
    }
}
