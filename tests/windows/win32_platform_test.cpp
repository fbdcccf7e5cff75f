// The Win32 kernel side of the platform under Wine: threads, the clock, the embedded firmware
// and this computer's addresses.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "app/firmware_image.h"
#include "platform/clock.h"
#include "platform/local_addresses.h"
#include "platform/net.h"
#include "platform/resources.h"
#include "platform/test_hooks.h"
#include "platform/thread.h"

namespace {

std::vector<std::uint8_t> ReadHostFile(const std::string& unixPath) {
    // Wine shows the build machine's file system as drive Z:.
    std::FILE* f = std::fopen(("Z:" + unixPath).c_str(), "rb");
    std::vector<std::uint8_t> bytes;
    if (f == nullptr) {
        return bytes;
    }
    std::uint8_t chunk[65536];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;) {
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    std::fclose(f);
    return bytes;
}

// The Target image is resource 112, byte for byte the image the build embedded; a single-stage
// build has no resource 319 and starts at Target.
TEST(Win32Resources, TargetImageIsTheEmbeddedFile) {
    const std::uint8_t* bytes = nullptr;
    std::uint32_t size = 0;
    ASSERT_TRUE(platform::FindFirmwareResource(kTargetImageId, &bytes, &size));
    std::vector<std::uint8_t> file = ReadHostFile(ZEB_TEST_TARGET_IMAGE);
    ASSERT_EQ(file.size(), 759100u);
    ASSERT_EQ(size, file.size());
    EXPECT_TRUE(std::equal(file.begin(), file.end(), bytes));
    EXPECT_STREQ(reinterpret_cast<const char*>(bytes + kImageVersionOffset),
                 ZEB_DEFAULT_IMAGE_VERSION);

    EXPECT_FALSE(platform::FindFirmwareResource(kTransitionImageId, &bytes, &size));
    EXPECT_EQ(platform::BuildInitialStage(), 1);
}

struct ThreadProbe {
    std::atomic<bool> release{false};
    int written = 0;
};

std::int32_t WaitThenAnswer(void* argument) {
    auto* probe = static_cast<ThreadProbe*>(argument);
    for (int i = 0; i < 5000 && !probe->release.load(); ++i) {
        platform::SleepMilliseconds(1);
    }
    probe->written = 1234;
    return -7;
}

std::int32_t AnswerStillActive(void*) {
    return 259;
}  // the value of STILL_ACTIVE

// A running thread has not ended; once it has, its result and what it wrote are seen. A result
// of 259 is a result like any other.
TEST(Win32Thread, ResultAndWritesAreSeenOnceEnded) {
    ThreadProbe probe;
    platform::ThreadHandle t = platform::StartThread(WaitThenAnswer, &probe);
    ASSERT_NE(t, nullptr);
    std::int32_t result = 0;
    EXPECT_FALSE(platform::ThreadHasEnded(t, &result));
    probe.release = true;
    bool ended = false;
    for (int i = 0; i < 5000 && !ended; ++i) {
        ended = platform::ThreadHasEnded(t, &result);
        platform::SleepMilliseconds(1);
    }
    ASSERT_TRUE(ended);
    EXPECT_EQ(result, -7);
    EXPECT_EQ(probe.written, 1234);
    platform::ReleaseThread(t);

    platform::ThreadHandle active = platform::StartThread(AnswerStillActive, nullptr);
    ended = false;
    for (int i = 0; i < 5000 && !ended; ++i) {
        ended = platform::ThreadHasEnded(active, &result);
        platform::SleepMilliseconds(1);
    }
    ASSERT_TRUE(ended);
    EXPECT_EQ(result, 259);
    platform::ReleaseThread(active);
}

// The handle may go before the thread has even started: the thread runs on regardless.
TEST(Win32Thread, ReleasedHandleLeavesTheThreadRunning) {
    ThreadProbe probe;
    probe.release = true;
    platform::ReleaseThread(platform::StartThread(WaitThenAnswer, &probe));
    for (int i = 0; i < 5000 && probe.written == 0; ++i) {
        platform::SleepMilliseconds(1);
    }
    EXPECT_EQ(probe.written, 1234);
}

// The polling loops sleep 1 ms at a time: with the 1-ms timer period a sleep lasts about 1 ms,
// not a 15.6-ms tick, so 100 of them take far less than a second.
TEST(Win32Clock, OneMillisecondSleepsStayShort) {
    std::uint32_t start = platform::MillisecondClock();
    for (int i = 0; i < 100; ++i) {
        platform::SleepMilliseconds(1);
    }
    std::uint32_t elapsed = platform::MillisecondClock() - start;
    EXPECT_GE(elapsed, 95u);
    EXPECT_LT(elapsed, 600u);
}

// The host name's addresses, at most as many as asked for; the test override replaces them.
TEST(Win32LocalAddresses, ResolverListAndOverride) {
    ASSERT_TRUE(platform::StartNetworking());
    std::uint32_t all[8] = {};
    int count = platform::ListLocalIPv4Addresses(all, 8);
    ASSERT_GE(count, 0);
    ASSERT_LE(count, 8);
    for (int i = 0; i < count; ++i) {
        EXPECT_NE(all[i], 0u);
    }
    std::uint32_t one[1] = {};
    EXPECT_EQ(platform::ListLocalIPv4Addresses(one, 1), count > 0 ? 1 : 0);
    if (count > 0) {
        EXPECT_EQ(one[0], all[0]);
    }

    const std::uint32_t fake[3] = {platform::HostToNetwork32(0xC0A80105u),
                                   platform::HostToNetwork32(0x0A000001u),
                                   platform::HostToNetwork32(0x7F000001u)};
    platform::testing::SetLocalAddressesOverride(fake, 3);
    std::uint32_t got[2] = {};
    EXPECT_EQ(platform::ListLocalIPv4Addresses(got, 2), 2);
    EXPECT_EQ(got[0], fake[0]);
    EXPECT_EQ(got[1], fake[1]);
    platform::testing::SetLocalAddressesOverride(nullptr, -1);
    EXPECT_EQ(platform::ListLocalIPv4Addresses(all, 8), count);
}

// The route to a loopback device leaves from a loopback address.
TEST(Win32LocalAddresses, RouteTowardLoopbackDevice) {
    ASSERT_TRUE(platform::StartNetworking());
    std::uint32_t local = platform::NetworkToHost32(
        platform::LocalAddressToward(platform::HostToNetwork32(0x7F0000A6u)));  // 127.0.0.166
    EXPECT_EQ(local >> 24, 127u);
}

}  // namespace
