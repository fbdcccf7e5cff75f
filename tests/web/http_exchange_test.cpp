#include "web/http_exchange.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/upgrade_state.h"
#include "tests/web/loopback_server.h"

using webtest::Loopback;
using webtest::LoopbackServer;

namespace {

constexpr const char* kStatusPage =
    "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<html><body><table>"
    "<tr><td>Product Name:</td><td>ZEB-6600</td></tr>"
    "<tr><td>MAC Address:</td><td>02:5A:45:42:00:01</td></tr>"
    "<tr><td>Software Version:</td><td>3.0.18.0411</td></tr>"
    "<tr><td>Hardware Version:</td><td>1.2</td></tr>"
    "<tr><td>Serial Number:</td><td>ZEB0012345</td></tr>"
    "</table></body></html>";

constexpr const char* kChallenge =
    "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Digest realm=\"ZEB Device\", "
    "nonce=\"5f2a9c0e77d1\", qop=\"auth\", algorithm=\"MD5\"\r\n\r\n";

// The client and the test server share the test's own loopback address (the server on a free
// port), so tests running side by side never meet.
std::int32_t Get(int last, std::uint16_t serverPort) {
    DeviceRequest request{Loopback(last),    23456,
                          Loopback(last),    serverPort,
                          "/admin/advanced", gUpgradeState.responseArea,
                          kResponseCapacity};
    return DeviceGet(request);
}

class DeviceGetTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetUpgradeState(); }
};

}  // namespace

TEST(ClassifyResponseTest, StatusLines) {
    const struct {
        const char* response;
        int expected;
    } kCases[] = {
        {"", -1},
        {"HTTP/1.0 200 OK\r\n\r\n", -1},
        {"http/1.1 200 OK\r\n\r\n", -1},
        {"HTTP/1.", -1},
        {"HTTP/1.1", -2},  // the ninth character would lie past the end
        {"HTTP/1.1 ", -2},
        {"HTTP/1.1 \t \t", -2},
        {"HTTP/1.1 200 OK\r\n\r\n", 0},
        {"HTTP/1.1x200", 0},  // the ninth character is not examined
        {"HTTP/1.1 \t 200", 0},
        {"HTTP/1.1 20", 2},
        {"HTTP/1.1 404 Not Found\r\n\r\n", 2},
        {"HTTP/1.1 401 Unauthorized\r\n\r\n", 2},
        {"HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Digest realm=\"r\"\r\n\r\n", 2},
        {"HTTP/1.1 401 Unauthorized\r\nwww-authenticate: Digest realm=\"r\", nonce=\"n\"\r\n", 2},
        {"HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Digest realm=\"r\", nonce=\"n\"\r\n", 1},
    };
    for (const auto& c : kCases) {
        DigestState state{};
        EXPECT_EQ(ClassifyResponse(c.response, &state), c.expected) << '"' << c.response << '"';
        EXPECT_STREQ(state.nonce, c.expected == 1 ? "n" : "");
    }
}

TEST(ExtractLabeledFieldTest, Values) {
    const struct {
        const char* text;
        const char* expected;
    } kCases[] = {
        {"<td>Serial Number:</td><td>ZEB0012345</td>", "ZEB0012345"},
        {"Serial Number:</td></tr><tr><td>v 1 &amp; 2</td>", "v 1 &amp; 2"},
        {"Serial Number:</td>\r\n<td>x</td>", "\r\n"},  // text after a tag is the value
        {"Serial Number:>", ""},
        {"Serial Number:</td><td>", ""},
        {"Serial Number:</td><td>runs to the end", "runs to the end"},
        {"Serial Number:</td><td", "old"},  // no ">" after the last tag
        {"Serial Number: no tags", "old"},
        {"serial number:</td><td>x</td>", "old"},  // the label is case-sensitive
        {"<td>Software Version:</td><td>1</td><td>Serial Number:</td><td>2</td>", "2"},
    };
    for (const auto& c : kCases) {
        char destination[128] = "old";
        ExtractLabeledField(c.text, "Serial Number:", destination, 127);
        EXPECT_STREQ(destination, c.expected) << '"' << c.text << '"';
    }

    const std::string longValue(200, 'x');
    const std::string text = "Product Name:</td><td>" + longValue + "</td>";
    char destination[128];
    std::memset(destination, '#', sizeof destination);
    ExtractLabeledField(text.c_str(), "Product Name:", destination, 127);
    EXPECT_EQ(std::string(destination), std::string(127, 'x'));
}

TEST(ClassifyResponseTest, EveryTruncationStaysInsideTheText) {
    // Each prefix of a challenge and of a status page in an area of exactly its size: a read
    // past the NUL shows up under the address sanitizer.
    for (const char* answer : {kChallenge, kStatusPage}) {
        const std::size_t full = std::strlen(answer);
        for (std::size_t length = 0; length <= full; ++length) {
            std::vector<char> area(answer, answer + length);
            area.push_back('\0');
            DigestState state{};
            int result = ClassifyResponse(area.data(), &state);
            EXPECT_GE(result, -2);
            EXPECT_LE(result, 2);
            char field[128] = "";
            for (const char* label : {"Product Name:", "Serial Number:"}) {
                ExtractLabeledField(area.data(), label, field, 127);
            }
        }
    }
}

TEST(SocketAddressTest, RoundTripInNetworkOrder) {
    platform::SocketAddress a;
    MakeSocketAddress(0xc0a8026e, 23456, &a);  // 192.168.2.110
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&a.addressNetworkOrder);
    EXPECT_EQ(bytes[0], 192);
    EXPECT_EQ(bytes[3], 110);
    EXPECT_EQ(a.family, platform::kAddressFamilyIPv4);
    EXPECT_EQ(a.portNetworkOrder, htons(23456));
    std::uint32_t address = 0;
    std::uint16_t port = 0;
    ReadSocketAddress(a, &address, &port);
    EXPECT_EQ(address, 0xc0a8026eu);
    EXPECT_EQ(port, 23456);
    MakeSocketAddress(0, 0, &a);
    EXPECT_EQ(a.addressNetworkOrder, 0u);
}

TEST_F(DeviceGetTest, PlainRequestAndScrapedPage) {
    LoopbackServer server(30);
    server.ServeOnce(kStatusPage);
    std::int32_t result = Get(30, server.port);
    server.Wait();
    EXPECT_EQ(server.request, "GET /admin/advanced HTTP/1.1\r\nHost: 192.168.2.110\r\n\r\n");
    EXPECT_EQ(server.clientPort, 23456);
    EXPECT_EQ(result, static_cast<std::int32_t>(std::strlen(kStatusPage)));
    EXPECT_STREQ(gUpgradeState.responseArea, kStatusPage);
    const DeviceInfo& info = gUpgradeState.deviceInfo;
    EXPECT_STREQ(info.productName, "ZEB-6600");
    EXPECT_STREQ(info.macAddress, "02:5A:45:42:00:01");
    EXPECT_STREQ(info.softwareVersion, "3.0.18.0411");
    EXPECT_STREQ(info.hardwareVersion, "1.2");
    EXPECT_STREQ(info.serialNumber, "ZEB0012345");
    EXPECT_EQ(gUpgradeState.digest.nonceCount, 0u);  // no password, no count
}

TEST_F(DeviceGetTest, RequestWithCredentialsCarriesTheNextCount) {
    DigestState& d = gUpgradeState.digest;
    std::strcpy(d.username, "admin");
    std::strcpy(d.password, "s3cret");
    std::strcpy(d.realm, "ZEB Device");
    std::strcpy(d.nonce, "5f2a9c0e77d1");
    std::strcpy(d.cnonce, "3a7");
    std::strcpy(d.qop, "auth");
    std::strcpy(d.algorithm, "MD5");
    LoopbackServer server(31);
    server.ServeOnce(kStatusPage);
    Get(31, server.port);
    server.Wait();
    // Response digest made once with python3's hashlib (see the digest tests).
    EXPECT_EQ(server.request,
              "GET /admin/advanced HTTP/1.1\r\nHost: 192.168.2.110\r\n"
              "Authorization: Digest username=\"admin\",realm=\"ZEB Device\","
              "nonce=\"5f2a9c0e77d1\",uri=\"/admin/advanced\",algorithm=\"MD5\","
              "response=\"7594b82ebfa553878d967bef7c6cf6c7\",qop=auth,nc=000000001,"
              "cnonce=\"3a7\"\r\n\r\n");
    EXPECT_EQ(d.nonceCount, 1u);
}

TEST_F(DeviceGetTest, RefusedConnectionSendsNothingButCounts) {
    // Nothing listens on 127.0.0.32:80, so the connection is refused at once.
    EXPECT_EQ(Get(32, 80), 0);
    EXPECT_EQ(gUpgradeState.digest.nonceCount, 0u);

    std::strcpy(gUpgradeState.digest.password, "x");
    EXPECT_EQ(Get(32, 80), 0);
    EXPECT_EQ(Get(32, 80), 0);
    EXPECT_EQ(gUpgradeState.digest.nonceCount, 2u);
}

TEST_F(DeviceGetTest, NextLocalPortWhenTheBaseIsTaken) {
    int taken = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(Loopback(33));
    sa.sin_port = htons(23456);
    ASSERT_EQ(::bind(taken, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);

    LoopbackServer server(33);
    server.ServeOnce(kStatusPage);
    EXPECT_GT(Get(33, server.port), 0);
    server.Wait();
    EXPECT_EQ(server.clientPort, 23457);
    ::close(taken);
}

TEST_F(DeviceGetTest, ChallengeLeavesDeviceInfoAlone) {
    std::strcpy(gUpgradeState.deviceInfo.productName, "before");
    LoopbackServer server(34);
    server.ServeOnce(std::string(kChallenge) + "<td>Product Name:</td><td>after</td>");
    EXPECT_EQ(Get(34, server.port), -1);
    server.Wait();
    EXPECT_STREQ(gUpgradeState.deviceInfo.productName, "before");
    EXPECT_STREQ(gUpgradeState.digest.realm, "ZEB Device");
    EXPECT_STREQ(gUpgradeState.digest.nonce, "5f2a9c0e77d1");
}

TEST_F(DeviceGetTest, OtherAnswersAreCountedAndScraped) {
    const struct {
        std::string answer;
        const char* productName;
    } kCases[] = {
        // HTTP/1.0 classifies -1 but still counts as an answer.
        {"HTTP/1.0 200 OK\r\n\r\n<td>Product Name:</td><td>old-style</td>", "old-style"},
        {"HTTP/1.1 404 Not Found\r\n\r\n<html>Not Found</html>", "before"},
        {"HTTP/1.1 401 Unauthorized\r\n\r\n<td>Product Name:</td><td>no-challenge</td>",
         "no-challenge"},
        {"HTTP/1.1", "before"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.answer);
        std::strcpy(gUpgradeState.deviceInfo.productName, "before");
        LoopbackServer server(35);
        server.ServeOnce(c.answer);
        EXPECT_EQ(Get(35, server.port), static_cast<std::int32_t>(c.answer.size()));
        server.Wait();
        EXPECT_STREQ(gUpgradeState.deviceInfo.productName, c.productName);
    }
}

TEST_F(DeviceGetTest, SilentCloseIsNoAnswer) {
    LoopbackServer server(36);
    server.ServeOnce("");
    EXPECT_EQ(Get(36, server.port), 0);
    server.Wait();
    EXPECT_STREQ(gUpgradeState.responseArea, "");
}

TEST_F(DeviceGetTest, AnswerIsCutToTheCapacity) {
    for (std::size_t size : {static_cast<std::size_t>(kResponseCapacity), std::size_t{200000}}) {
        SCOPED_TRACE(size);
        std::memset(gUpgradeState.responseArea, '#', sizeof gUpgradeState.responseArea);
        std::string answer = "HTTP/1.1 200 OK\r\n\r\n";
        answer.resize(size, 'x');
        LoopbackServer server(37);
        server.ServeOnce(answer);
        EXPECT_EQ(Get(37, server.port), kResponseCapacity);
        server.Wait();
        EXPECT_EQ(gUpgradeState.responseArea[kResponseCapacity], '\0');
        EXPECT_EQ(std::strlen(gUpgradeState.responseArea),
                  static_cast<std::size_t>(kResponseCapacity));
    }
}
