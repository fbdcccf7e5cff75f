// The simulator's web side, driven by the utility's own HTTP exchange: the two are written
// independently (the simulator hashes with OpenSSL), so agreement checks both.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/upgrade_state.h"
#include "tests/support/simulated_device.h"
#include "web/http_exchange.h"

extern char** environ;

namespace {

constexpr std::uint16_t kDevicePort = 18080;

// Each test has its own loopback address, shared by the simulator (port 18080) and the client
// (port 23456 upward), so tests running side by side never meet.
struct Bench {
    int last;  // 127.0.0.last

    std::string Address() const { return "127.0.0." + std::to_string(last); }

    std::vector<std::string> DeviceArguments(std::vector<std::string> extra) const {
        std::vector<std::string> arguments = {"--address", Address(), "--port",
                                              std::to_string(kDevicePort)};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        return arguments;
    }

    std::int32_t Get(const char* path = "/admin/advanced") const {
        std::uint32_t address = 0x7f000000u | static_cast<std::uint32_t>(last);
        DeviceRequest request{address,          23456, address,
                              kDevicePort,      path,  gUpgradeState.responseArea,
                              kResponseCapacity};
        return DeviceGet(request);
    }
};

void EnterPassword(const char* password) {
    std::strcpy(gUpgradeState.digest.username, "admin");
    std::strcpy(gUpgradeState.digest.password, password);
}

// Runs zebdevice with `arguments` and returns its exit status, waiting at most five seconds.
int ExitStatusOf(const std::vector<std::string>& arguments) {
    std::vector<std::string> all = {ZEBDEVICE_PATH};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& a : all) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t quiet;
    ::posix_spawn_file_actions_init(&quiet);
    ::posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int spawned = ::posix_spawn(&pid, argv[0], &quiet, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&quiet);
    if (spawned != 0) {
        return -1;
    }
    int status = 0;
    for (int i = 0; i < 500; ++i) {
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            return status;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return -1;
}

class ZebdeviceWebTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetUpgradeState(); }
};

}  // namespace

TEST_F(ZebdeviceWebTest, StatusPageFromFlagsAndCleanStop) {
    const Bench bench{46};
    SimulatedDevice device;
    ASSERT_TRUE(device.Start(
        bench.DeviceArguments({"--product", "ZEB-7700", "--mac", "00:11:22:33:44:55", "--serial",
                               "S-1", "--hardware", "2.1", "--version", "3.0.1.0001"})));
    EXPECT_GT(bench.Get(), 0);
    EXPECT_EQ(std::string(gUpgradeState.responseArea, 17), "HTTP/1.1 200 OK\r\n");
    const DeviceInfo& info = gUpgradeState.deviceInfo;
    EXPECT_STREQ(info.productName, "ZEB-7700");
    EXPECT_STREQ(info.macAddress, "00:11:22:33:44:55");
    EXPECT_STREQ(info.softwareVersion, "3.0.1.0001");
    EXPECT_STREQ(info.hardwareVersion, "2.1");
    EXPECT_STREQ(info.serialNumber, "S-1");
    EXPECT_TRUE(device.WaitForLog("request GET /admin/advanced auth=none", 2000));
    EXPECT_NE(device.Log().find("listening 127.0.0.46:18080"), std::string::npos);
    int status = device.Stop();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST_F(ZebdeviceWebTest, DigestVariantsAgreeWithTheUtility) {
    const Bench bench{47};
    const std::vector<std::vector<std::string>> kVariants = {
        {"--qop", "auth", "--algorithm", "MD5"},
        {"--qop", "auth", "--algorithm", "MD5-sess", "--opaque", "0pq"},
        {"--qop", "auth-int", "--algorithm", "MD5"},
        {"--qop", "list", "--algorithm", "MD5-sess"},
        {"--qop", "none", "--algorithm", "none"},
    };
    for (const auto& variant : kVariants) {
        SCOPED_TRACE(variant[1] + " " + variant[3]);
        ResetUpgradeState();
        std::vector<std::string> arguments = {"--password", "s3cret", "--nonce", "fixed",
                                              "--no-fetch"};
        arguments.insert(arguments.end(), variant.begin(), variant.end());
        SimulatedDevice device;
        ASSERT_TRUE(device.Start(bench.DeviceArguments(arguments)));

        EXPECT_EQ(bench.Get(), -1);  // challenge
        EnterPassword("s3cret");
        EXPECT_GT(bench.Get(), 0);
        EXPECT_STREQ(gUpgradeState.deviceInfo.softwareVersion, "3.0.18.0411");
        // The same nonce serves the next request with the next count.
        EXPECT_GT(bench.Get("/admin/upgrade?tftp://127.0.0.47:69/zeb1.bi1"), 0);
        EXPECT_TRUE(device.WaitForLog("upgrade tftp://127.0.0.47:69/zeb1.bi1", 2000));
        const std::string log = device.Log();
        if (variant[1] != "none") {
            EXPECT_NE(log.find("verify ok user=admin nc=000000001"), std::string::npos) << log;
            EXPECT_NE(log.find("verify ok user=admin nc=000000002"), std::string::npos) << log;
        }
        EXPECT_EQ(log.find("verify bad"), std::string::npos) << log;
        EXPECT_NE(log.find("verify ok", log.find("verify ok") + 1), std::string::npos) << log;
    }
}

TEST_F(ZebdeviceWebTest, RefusesWrongPasswordAndReplayedCount) {
    const Bench bench{48};
    SimulatedDevice device;
    ASSERT_TRUE(device.Start(bench.DeviceArguments({"--password", "s3cret", "--nonce", "fixed"})));
    EXPECT_EQ(bench.Get(), -1);
    EnterPassword("guess");
    EXPECT_EQ(bench.Get(), -1);
    EXPECT_TRUE(device.WaitForLog("reason=\"wrong response\"", 2000));
    EXPECT_TRUE(device.WaitForLog("auth=bad", 2000));

    EnterPassword("s3cret");
    EXPECT_GT(bench.Get(), 0);
    gUpgradeState.digest.nonceCount -= 1;  // send the last count again
    EXPECT_EQ(bench.Get(), -1);
    EXPECT_TRUE(device.WaitForLog("not above the last", 2000)) << device.Log();
}

TEST_F(ZebdeviceWebTest, FreshNonceWithEveryChallenge) {
    const Bench bench{49};
    SimulatedDevice device;
    ASSERT_TRUE(device.Start(bench.DeviceArguments({"--password", "s3cret"})));
    EXPECT_EQ(bench.Get(), -1);
    const std::string first = gUpgradeState.digest.nonce;
    EnterPassword("guess");
    EXPECT_EQ(bench.Get(), -1);
    EXPECT_NE(first, gUpgradeState.digest.nonce);
    EXPECT_EQ(gUpgradeState.digest.nonceCount, 0u);  // a new nonce restarts the count
    EnterPassword("s3cret");
    EXPECT_GT(bench.Get(), 0);  // nc 1 with the new nonce
}

TEST_F(ZebdeviceWebTest, HttpFaults) {
    const Bench bench{50};
    const struct {
        const char* fault;
        std::int32_t expected;  // -2: any positive count
        const char* productName;
    } kCases[] = {
        {"http10", -2, "ZEB-6600"},  // classified as not HTTP/1.1, still scraped
        {"404", -2, "before"},
        {"oversize", kResponseCapacity, "ZEB-6600"},
        {"silent", 0, "before"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.fault);
        ResetUpgradeState();
        std::strcpy(gUpgradeState.deviceInfo.productName, "before");
        SimulatedDevice device;
        ASSERT_TRUE(device.Start(bench.DeviceArguments({"--fault", c.fault})));
        std::int32_t result = bench.Get();
        if (c.expected == -2) {
            EXPECT_GT(result, 0);
        } else {
            EXPECT_EQ(result, c.expected);
        }
        EXPECT_STREQ(gUpgradeState.deviceInfo.productName, c.productName);
    }
}

TEST_F(ZebdeviceWebTest, StallDelaysTheAnswer) {
    const Bench bench{51};
    SimulatedDevice device;
    ASSERT_TRUE(device.Start(bench.DeviceArguments({"--fault", "stall", "--stall-ms", "300"})));
    auto start = std::chrono::steady_clock::now();
    EXPECT_GT(bench.Get(), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
}

TEST_F(ZebdeviceWebTest, UpgradeCommandWithoutFetch) {
    const Bench bench{52};
    SimulatedDevice device;
    ASSERT_TRUE(device.Start(bench.DeviceArguments({"--no-fetch"})));
    EXPECT_GT(bench.Get("/admin/upgrade?tftp://127.0.0.52:69/zeb3a7.bi1"), 0);
    EXPECT_TRUE(device.WaitForLog("upgrade tftp://127.0.0.52:69/zeb3a7.bi1", 2000));
    EXPECT_TRUE(device.WaitForLog("fetch skipped", 2000));
    EXPECT_GT(bench.Get("/admin/upgrade?ftp://x"), 0);
    EXPECT_TRUE(device.WaitForLog("upgrade refused", 2000));
    EXPECT_GT(bench.Get(), 0);  // still answering: nothing was flashed
    EXPECT_STREQ(gUpgradeState.deviceInfo.softwareVersion, "3.0.18.0411");
}

TEST(ZebdeviceFlagsTest, BadFlagsAndUnusablePortFail) {
    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{"--bogus"},
                                               {"--qop", "sometimes"},
                                               {"--port", "70000"},
                                               {"--address", "not-an-address"},
                                               {"--password"}}) {
        int status = ExitStatusOf(arguments);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << arguments[0];
    }

    // A port already taken on the address.
    int taken = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(0x7f000035);  // 127.0.0.53
    sa.sin_port = htons(18081);
    ASSERT_EQ(::bind(taken, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
    ASSERT_EQ(::listen(taken, 1), 0);
    int status = ExitStatusOf({"--address", "127.0.0.53", "--port", "18081"});
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << status;
    ::close(taken);

    status = ExitStatusOf({"--help"});
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
