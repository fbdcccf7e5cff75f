// Start-up in a child process, since a socket layer that fails ends the process.
#include "app/startup.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "app/upgrade_state.h"
#include "platform/net.h"
#include "platform/test_hooks.h"
#include "tests/support/child_process.h"
#include "tests/support/scripted_user.h"

namespace {

constexpr int kChildTimeoutMs = 20000;

// Runs StartUp with the local addresses replaced by `hostOrder` and records what it left.
ChildResult StartUpWithAddresses(std::vector<std::uint32_t> hostOrder) {
    return RunInChild(
        [hostOrder] {
            std::vector<std::uint32_t> networkOrder;
            for (std::uint32_t a : hostOrder) {
                networkOrder.push_back(platform::HostToNetwork32(a));
            }
            platform::testing::SetLocalAddressesOverride(networkOrder.data(),
                                                         static_cast<int>(networkOrder.size()));
            gUpgradeState.digest.nonceCount = 7;
            gUpgradeState.localAddress = 0x01020304;
            StartUp();
            const UpgradeState& s = gUpgradeState;
            std::string entries;
            for (std::uint32_t e : s.localAddresses.entries) {
                char text[12];
                std::snprintf(text, sizeof text, " %08x", e);
                entries += text;
            }
            TranscriptLine("entries%s", entries.c_str());
            TranscriptLine("local %08x", s.localAddress);
            TranscriptLine("digest %u", s.digest.nonceCount);
            TranscriptLine("product %s %d", s.profile.displayName, s.profile.handset);
            TranscriptLine("image %u", s.targetImage.size);
        },
        kChildTimeoutMs);
}

std::string Line(const ChildResult& r, const std::string& prefix) {
    std::vector<std::string> lines = TranscriptLines(r.transcript, prefix);
    return lines.empty() ? "<none>" : lines.front();
}

}  // namespace

TEST(StartUpTest, KeepsTheFirstEightAddressesInOrder) {
    ChildResult r =
        StartUpWithAddresses({0xc0a80105, 0x0a000001, 0x0a000002, 0x0a000003, 0x0a000004,
                              0x0a000005, 0x0a000006, 0x0a000007, 0x0a000008, 0x0a000009});
    ASSERT_EQ(r.exitCode, 0) << r.transcript;
    EXPECT_EQ(Line(r, "entries"),
              "entries c0a80105 0a000001 0a000002 0a000003 0a000004 0a000005 0a000006 0a000007");
    // 192.168.1.5: 192 in the most significant byte, 5 in the least.
    EXPECT_EQ(Line(r, "local "), "local c0a80105");
    EXPECT_EQ(Line(r, "digest "), "digest 0");
    EXPECT_EQ(Line(r, "product "), "product Korvane QDM4 0");
    EXPECT_EQ(Line(r, "image "), "image 759100");
    EXPECT_TRUE(TranscriptLines(r.transcript, "open").empty()) << r.transcript;
    EXPECT_TRUE(TranscriptLines(r.transcript, "box").empty()) << r.transcript;
}

TEST(StartUpTest, NoAddressLeavesTheListEmptyAndCompletes) {
    ChildResult r = StartUpWithAddresses({});
    ASSERT_EQ(r.exitCode, 0) << r.transcript;
    EXPECT_EQ(Line(r, "entries"),
              "entries 00000000 00000000 00000000 00000000 00000000 00000000 00000000 00000000");
    EXPECT_EQ(Line(r, "local "), "local 00000000");
    EXPECT_EQ(Line(r, "product "), "product Korvane QDM4 0");
}

TEST(StartUpTest, SocketLayerFailureIsTheFirstAndOnlyWindow) {
    ChildResult r = RunInChild(
        [] {
            platform::testing::SetNetworkingFails(true);
            std::thread([] {
                ScriptedUser user;
                platform::desktop::WindowView box = user.WaitForMessageBox();
                TranscriptLine("flags %x", box.flags);
                user.Dismiss();
            }).detach();
            StartUp();
            TranscriptLine("start-up returned");
        },
        kChildTimeoutMs);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(TranscriptLines(r.transcript, "flags "), std::vector<std::string>{"flags 2000"});
    std::vector<std::string> windows;
    for (const std::string& line : TranscriptLines(r.transcript)) {
        if (line.rfind("flags ", 0) != 0) {
            windows.push_back(line);
        }
    }
    EXPECT_EQ(windows,
              (std::vector<std::string>{
                  "box \"ZEB Firwmare Upgrade Error\" \"Upgrade Failed: Winsock init error\"",
                  "close box \"ZEB Firwmare Upgrade Error\""}));
}
