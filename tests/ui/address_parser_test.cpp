#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/random.h"
#include "app/upgrade_state.h"
#include "ui/address_dialog.h"

TEST(ParseDottedAddressTest, Table) {
    struct Case {
        std::string text;
        int code;
        std::uint32_t address;
    };
    const Case cases[] = {
        {"1.2.3.4", 0, 0x01020304},
        {"12.34.56.78", 0, 0x0c22384e},
        {"1..2.3.4", 0, 0x01020304},
        {".1.2.3.4.", 0, 0x01020304},
        {"1*2*3*4", 0, 0x01020304},
        {"1*2.3*4", 0, 0x01020304},
        {"**1**2**3**4**", 0, 0x01020304},
        {"010.001.000.009", 0, 0x0a010009},
        {"255.255.255.255", 0, 0xffffffff},
        {"0.0.0.0", 0, 0},
        {"1.2.3.4.5", 2, 0},
        {"1.2.3.4.256", 2, 0},
        {"1.2.3.4.5.6.7.8", 2, 0},
        {"256.1.1.1", 1, 0},
        {"1.2.3.256", 1, 0},
        {"300.1.2.3.4", 1, 0},
        {"999999999.1.2.3", 1, 0},
        {"999999999999999", 1, 0},  // one long part: the value cannot wrap into range
        {"4294967297.1.2", 1, 0},   // 2^32 + 1 would wrap to 1 in 32 bits
        {"1.2.3", 4, 0},
        {"192.168.100.1000", 4, 0},
        {"", 4, 0},
        {"1.2.3..", 3, 0},
        {".......", 3, 0},
        {"1.2.3.4 ", 5, 0},
        {" 1.2.3.4", 5, 0},
        {"1.2.3.a", 5, 0},
        {"-1.2.3.4", 5, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("text \"" + c.text + "\"");
        std::uint32_t address = 0xdeadbeef;
        EXPECT_EQ(ParseDottedAddress(c.text.c_str(), &address), c.code);
        EXPECT_EQ(address, c.address);
    }
}

TEST(TransferFileNameTest, FormatMasksTheValueAndAddsTheStageDigit) {
    struct Case {
        unsigned value;
        int stage;
        const char* name;
    };
    const Case cases[] = {
        {0x3a7, 1, "/zeb3a7.bi1"},   {0x3a7, 0, "/zeb3a7.bi0"},    {0, 1, "/zeb0.bi1"},
        {0x7fff, 1, "/zeb7fff.bi1"}, {0x12345, 1, "/zeb2345.bi1"}, {0xabcd, 0, "/zebabcd.bi0"},
    };
    for (const Case& c : cases) {
        char name[kTransferFileNameSize];
        FormatTransferFileName(c.value, c.stage, name, sizeof name);
        EXPECT_STREQ(name, c.name);
    }
}

TEST(TransferFileNameTest, MakeDrawsTheNextRandomValue) {
    ResetUpgradeState();
    SeedRandom(777);
    int first = NextRandom();
    int second = NextRandom();
    SeedRandom(777);

    char expected[kTransferFileNameSize];
    MakeTransferFileName(1);
    FormatTransferFileName(static_cast<unsigned>(first), 1, expected, sizeof expected);
    EXPECT_STREQ(gUpgradeState.transferFileName.Get(), expected);
    MakeTransferFileName(0);
    FormatTransferFileName(static_cast<unsigned>(second), 0, expected, sizeof expected);
    EXPECT_STREQ(gUpgradeState.transferFileName.Get(), expected);
}
