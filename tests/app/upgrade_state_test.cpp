#include "app/upgrade_state.h"

#include <gtest/gtest.h>

TEST(TransferFileNameTest, PublishesEachNameWhole) {
    TransferFileName name;
    EXPECT_STREQ(name.Get(), "");
    name.Set("/zeb3a7.bi0");
    EXPECT_STREQ(name.Get(), "/zeb3a7.bi0");
    name.Set("/zebffff.bi1");
    EXPECT_STREQ(name.Get(), "/zebffff.bi1");
}
