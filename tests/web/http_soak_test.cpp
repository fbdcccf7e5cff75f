// A soak of the device web client: a few hundred exchanges in a row with a device that answers
// hostile bytes (random bytes, status pages and challenges cut at random points, lines without
// CR, challenge values far longer than their fields, answers larger than the response area),
// with the Digest record carried from one exchange to the next as in a real run. Every exchange
// must send a well-formed start of request, keep every record inside its bounds and leave in
// the area exactly the bytes received, cut to the capacity. Under the asan preset it also
// catches any access past a buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "app/upgrade_state.h"
#include "tests/web/loopback_server.h"
#include "web/http_exchange.h"

using webtest::Loopback;
using webtest::LoopbackServer;

namespace {

constexpr int kAddress = 190;  // 127.0.0.190
constexpr int kExchanges = 300;
// Answers larger than the area make the client close first, which leaves its local port in
// TIME_WAIT; a handful keeps well inside the 101 ports it may use.
constexpr int kLargeAnswerEvery = 60;

std::string RandomBytes(std::mt19937& random, std::size_t length) {
    std::string bytes(length, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(random() & 0xff);
    }
    return bytes;
}

// Text from a small alphabet that the parsers look for.
std::string RandomTokens(std::mt19937& random, std::size_t length) {
    static const char* const kTokens[] = {"HTTP/1.1",
                                          " ",
                                          "\t",
                                          "200",
                                          "401",
                                          "\r\n",
                                          "\n",
                                          "<",
                                          ">",
                                          "\"",
                                          "=",
                                          "realm=\"",
                                          "nonce=\"",
                                          "qop=\"",
                                          "algorithm=\"",
                                          "opaque=\"",
                                          "WWW-Authenticate:",
                                          "Product Name:",
                                          "Serial Number:",
                                          "x"};
    std::string text;
    while (text.size() < length) {
        text += kTokens[random() % (sizeof kTokens / sizeof kTokens[0])];
    }
    return text;
}

std::string StatusPage() {
    return "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<table>"
           "<tr><td>Product Name:</td><td>ZEB-6600</td></tr>"
           "<tr><td>MAC Address:</td><td>02:5A:45:42:00:01</td></tr>"
           "<tr><td>Software Version:</td><td>3.0.18.0411</td></tr>"
           "<tr><td>Hardware Version:</td><td>1.2</td></tr>"
           "<tr><td>Serial Number:</td><td>ZEB0012345</td></tr></table>";
}

// A challenge whose values run from empty to 10,000 characters, each possibly without its
// closing quote.
std::string Challenge(std::mt19937& random) {
    std::string text = "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Digest ";
    for (const char* name : {"realm", "nonce", "algorithm", "qop", "opaque"}) {
        if (random() % 8 == 0) {
            continue;  // directive left out
        }
        std::size_t length = random() % 4 == 0 ? random() % 10001 : random() % 40;
        text +=
            std::string(name) + "=\"" + std::string(length, static_cast<char>('a' + random() % 26));
        text += random() % 8 == 0 ? ", " : "\", ";
    }
    return text + "\r\n\r\n<html><body>401</body></html>";
}

std::string WithoutCr(const std::string& text) {
    std::string bare;
    for (char c : text) {
        if (c != '\r') {
            bare += c;
        }
    }
    return bare;
}

std::string Cut(std::mt19937& random, const std::string& text) {
    return text.substr(0, random() % (text.size() + 1));
}

std::string HostileAnswer(std::mt19937& random, int exchange) {
    if (exchange % kLargeAnswerEvery == kLargeAnswerEvery - 1) {
        return StatusPage() + std::string(kResponseCapacity + random() % (1 << 20), 'x');
    }
    std::string answer;
    switch (random() % 5) {
        case 0:
            answer = RandomBytes(random, random() % 4096);
            break;
        case 1:
            answer = Cut(random, StatusPage());
            break;
        case 2:
            answer = Challenge(random);
            break;
        case 3:
            answer = Cut(random, Challenge(random));
            break;
        default:
            answer = RandomTokens(random, random() % 600);
            break;
    }
    return random() % 3 == 0 ? WithoutCr(answer) : answer;
}

bool Terminated(const char* field, std::size_t width) {
    return std::memchr(field, '\0', width) != nullptr;
}

}  // namespace

TEST(HttpSoakTest, HostileAnswersKeepRequestsAndRecordsSound) {
    ResetUpgradeState();
    DigestState& digest = gUpgradeState.digest;
    const DeviceInfo& info = gUpgradeState.deviceInfo;
    std::mt19937 random(20240611);
    for (int exchange = 0; exchange < kExchanges; ++exchange) {
        const std::string answer = HostileAnswer(random, exchange);
        SCOPED_TRACE("exchange " + std::to_string(exchange) + ", answer of " +
                     std::to_string(answer.size()) + " bytes");
        const bool withCredentials = digest.password[0] != '\0';

        LoopbackServer server(kAddress);
        server.ServeOnce(answer);
        DeviceRequest request{Loopback(kAddress), 23456,
                              Loopback(kAddress), server.port,
                              "/admin/advanced",  gUpgradeState.responseArea,
                              kResponseCapacity};
        std::int32_t result = DeviceGet(request);
        server.Wait();

        EXPECT_EQ(
            server.request.rfind("GET /admin/advanced HTTP/1.1\r\nHost: 192.168.2.110\r\n", 0), 0u);
        if (withCredentials) {
            EXPECT_NE(server.request.find("\r\nAuthorization: Digest username=\"admin\",realm=\""),
                      std::string::npos);
        }
        // The area holds the bytes received, cut to the capacity, and a NUL after them.
        const std::size_t kept = std::min<std::size_t>(answer.size(), kResponseCapacity);
        if (result != -1) {
            EXPECT_EQ(result, static_cast<std::int32_t>(kept));
        } else {
            EXPECT_EQ(answer.rfind("HTTP/1.1", 0), 0u);
            EXPECT_NE(answer.find("WWW-Authenticate:"), std::string::npos);
        }
        EXPECT_EQ(std::memcmp(gUpgradeState.responseArea, answer.data(), kept), 0);
        EXPECT_EQ(gUpgradeState.responseArea[kept], '\0');

        for (const char* field : {info.productName, info.macAddress, info.softwareVersion,
                                  info.hardwareVersion, info.serialNumber}) {
            EXPECT_TRUE(Terminated(field, kDeviceInfoFieldSize));
        }
        EXPECT_TRUE(Terminated(digest.realm, sizeof digest.realm));
        EXPECT_TRUE(Terminated(digest.nonce, sizeof digest.nonce));
        EXPECT_TRUE(Terminated(digest.previousNonce, sizeof digest.previousNonce));
        EXPECT_TRUE(Terminated(digest.qop, sizeof digest.qop));
        EXPECT_TRUE(Terminated(digest.algorithm, sizeof digest.algorithm));
        EXPECT_TRUE(Terminated(digest.opaque, sizeof digest.opaque));
        if (::testing::Test::HasFailure()) {
            return;  // one broken exchange is enough to read
        }
        // The user answers the first demand for credentials, as the password dialog would.
        if (result == -1 && !withCredentials) {
            std::strcpy(digest.username, "admin");
            std::strcpy(digest.password, "s3cret");
        }
    }
}
