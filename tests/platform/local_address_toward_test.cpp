#include <gtest/gtest.h>

#include "platform/local_addresses.h"
#include "platform/net.h"

TEST(LocalAddressTowardTest, LoopbackDeviceIsReachedFromLoopback) {
    std::uint32_t local = platform::LocalAddressToward(platform::HostToNetwork32(0x7f000002));
    EXPECT_EQ(platform::NetworkToHost32(local) >> 24, 127u);
}
