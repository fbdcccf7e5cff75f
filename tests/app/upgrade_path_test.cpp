#include <gtest/gtest.h>

#include "app/upgrade_sequence.h"
#include "app/upgrade_state.h"

TEST(BuildUpgradePathTest, LocalAddressPortAndFileName) {
    struct Case {
        std::uint32_t localAddress;
        std::uint16_t port;
        const char* fileName;
        const char* path;
    };
    const Case cases[] = {
        {0xc0a80164, 69, "/zeb1a2b.bi1", "/admin/upgrade?tftp://192.168.1.100:69/zeb1a2b.bi1"},
        {0x0a000005, 70, "/zeb7fff.bi1", "/admin/upgrade?tftp://10.0.0.5:70/zeb7fff.bi1"},
        {0xffffffff, 168, "/zebffff.bi0", "/admin/upgrade?tftp://255.255.255.255:168/zebffff.bi0"},
    };
    for (const Case& c : cases) {
        ResetUpgradeState();
        gUpgradeState.localAddress = c.localAddress;
        gUpgradeState.transferFileName.Set(c.fileName);
        char path[64];
        BuildUpgradePath(c.port, path, sizeof path);
        EXPECT_STREQ(path, c.path);
    }
}
