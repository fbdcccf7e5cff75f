#include "web/digest.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/random.h"

namespace {

// The cnonce ParseChallenge will draw next: the generator's next value, formatted "%x".
std::string NextCnonceAfterSeed(std::uint32_t seed) {
    SeedRandom(seed);
    char text[16];
    std::snprintf(text, sizeof text, "%x", static_cast<unsigned>(NextRandom()));
    SeedRandom(seed);
    return text;
}

std::string Authorization(DigestState* state, const char* path) {
    char line[1024];
    int length = BuildAuthorization(state, path, line, sizeof line);
    EXPECT_EQ(length, static_cast<int>(std::strlen(line)));
    return line;
}

void SetCredentials(DigestState* s) {
    std::strcpy(s->username, "admin");
    std::strcpy(s->password, "s3cret");
    std::strcpy(s->realm, "ZEB Device");
    std::strcpy(s->nonce, "5f2a9c0e77d1");
    std::strcpy(s->cnonce, "3a7");
}

}  // namespace

TEST(DigestResponseTest, Rfc2617WorkedExample) {
    char a1[kDigestHexSize];
    ComputeSessionKey("MD5", "Mufasa", "testrealm@host.com", "Circle Of Life",
                      "dcd98b7102dd2f0e8b11d0f600bfb0c093", "0a4f113b", a1);
    char response[kDigestHexSize];
    ComputeDigestResponse(a1, "dcd98b7102dd2f0e8b11d0f600bfb0c093", "00000001", "0a4f113b", "auth",
                          "GET", "/dir/index.html", "", response);
    EXPECT_STREQ(response, "6629fae49393a05397450978507c4ef1");
}

TEST(DigestResponseTest, VariantsAgainstIndependentVectors) {
    // Made once with python3's hashlib for user "admin", realm "ZEB Device", password
    // "s3cret", nonce "5f2a9c0e77d1", cnonce "3a7", nc "000000001", GET /admin/advanced, e.g.
    // md5-sess: hashlib.md5(hashlib.md5(b"admin:ZEB Device:s3cret").digest() +
    //                       b":5f2a9c0e77d1:3a7").hexdigest()
    const struct {
        const char* algorithm;
        const char* qop;
        const char* nonceCountText;
        const char* sessionKey;
        const char* response;
    } kCases[] = {
        {"", "auth", "000000001", "1b6baa05ebc3049563380e9bc0058adf",
         "7594b82ebfa553878d967bef7c6cf6c7"},
        {"MD5", "", "", "1b6baa05ebc3049563380e9bc0058adf", "1e6b3814ba4766dd0c9659c28f1fe22b"},
        {"MD5-sess", "auth", "000000001", "b0cbb91a229f142cfe57c0f3b9708218",
         "aec707e14a2c547e7d8c9c69f1517680"},
        {"md5-SESS", "auth", "000000001", "b0cbb91a229f142cfe57c0f3b9708218",
         "aec707e14a2c547e7d8c9c69f1517680"},
        {"MD5", "auth-int", "000000001", "1b6baa05ebc3049563380e9bc0058adf",
         "a82c44f9edaddca936c3f3fc72a36231"},
        // A quoted list is hashed as one text, and A2 then has no entity part.
        {"MD5", "auth,auth-int", "000000001", "1b6baa05ebc3049563380e9bc0058adf",
         "53b534769d9e29976e820b0fa8b1410a"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(std::string(c.algorithm) + " / " + c.qop);
        char a1[kDigestHexSize];
        ComputeSessionKey(c.algorithm, "admin", "ZEB Device", "s3cret", "5f2a9c0e77d1", "3a7", a1);
        EXPECT_STREQ(a1, c.sessionKey);
        char response[kDigestHexSize];
        ComputeDigestResponse(a1, "5f2a9c0e77d1", c.nonceCountText, "3a7", c.qop, "GET",
                              "/admin/advanced", "", response);
        EXPECT_STREQ(response, c.response);
    }
}

TEST(DigestResponseTest, ToHexWritesLowercaseHighNibbleFirst) {
    const std::uint8_t bytes[16] = {0x00, 0x01, 0x0a, 0xa0, 0xff, 0x7f, 0x80, 0x10,
                                    0xde, 0xad, 0xbe, 0xef, 0x12, 0x34, 0x56, 0x78};
    char hex[kDigestHexSize];
    std::memset(hex, 'x', sizeof hex);
    ToHex(bytes, hex);
    EXPECT_STREQ(hex, "00010aa0ff7f8010deadbeef12345678");
}

TEST(ParseChallengeTest, FirstChallengeFillsTheRecord) {
    DigestState s{};
    const std::string cnonce = NextCnonceAfterSeed(77);
    const char* text =
        "WWW-Authenticate: Digest realm=\"ZEB Device\", nonce=\"n1\", algorithm=\"MD5-sess\", "
        "qop=\"auth\", opaque=\"op1\", stale=\"false\"\r\n\r\n";
    EXPECT_EQ(ParseChallenge(text, &s), 0);
    EXPECT_STREQ(s.realm, "ZEB Device");
    EXPECT_STREQ(s.nonce, "n1");
    EXPECT_STREQ(s.previousNonce, "n1");
    EXPECT_STREQ(s.cnonce, cnonce.c_str());
    EXPECT_STREQ(s.algorithm, "MD5-sess");
    EXPECT_STREQ(s.qop, "auth");
    EXPECT_STREQ(s.opaque, "op1");
    EXPECT_EQ(s.nonceCount, 0u);
}

TEST(ParseChallengeTest, MissingRealmOrNonce) {
    DigestState s{};
    std::strcpy(s.realm, "old");
    std::strcpy(s.nonce, "keep");
    EXPECT_EQ(ParseChallenge("WWW-Authenticate: Digest nonce=\"n\"", &s), 1);
    EXPECT_STREQ(s.realm, "old");
    EXPECT_STREQ(s.nonce, "keep");

    // A realm without a nonce is reported, but the realm is already stored.
    EXPECT_EQ(ParseChallenge("WWW-Authenticate: Digest realm=\"new\"", &s), 1);
    EXPECT_STREQ(s.realm, "new");
    EXPECT_STREQ(s.nonce, "keep");
    EXPECT_STREQ(s.cnonce, "");
}

TEST(ParseChallengeTest, NonceCountFollowsTheNonce) {
    DigestState s{};
    ASSERT_EQ(ParseChallenge("WWW-Authenticate: Digest realm=\"r\", nonce=\"A\"", &s), 0);
    s.nonceCount = 5;

    // The same nonce keeps the count but always draws a new cnonce.
    const std::string cnonce = NextCnonceAfterSeed(1234);
    ASSERT_EQ(ParseChallenge("WWW-Authenticate: Digest realm=\"r\", nonce=\"A\"", &s), 0);
    EXPECT_EQ(s.nonceCount, 5u);
    EXPECT_STREQ(s.cnonce, cnonce.c_str());

    // A different nonce starts the count again.
    ASSERT_EQ(ParseChallenge("WWW-Authenticate: Digest realm=\"r\", nonce=\"B\"", &s), 0);
    EXPECT_EQ(s.nonceCount, 0u);
    EXPECT_STREQ(s.previousNonce, "B");
}

TEST(ParseChallengeTest, AbsentDirectivesOfLaterChallenges) {
    DigestState s{};
    ASSERT_EQ(ParseChallenge("WWW-Authenticate: Digest realm=\"r\", nonce=\"A\", "
                             "algorithm=\"MD5-sess\", qop=\"auth\", opaque=\"o\"",
                             &s),
              0);
    // Unquoted algorithm is not recognised; absent qop and algorithm stay; absent opaque goes.
    ASSERT_EQ(
        ParseChallenge("WWW-Authenticate: Digest realm=\"r\", nonce=\"B\", algorithm=MD5", &s), 0);
    EXPECT_STREQ(s.algorithm, "MD5-sess");
    EXPECT_STREQ(s.qop, "auth");
    EXPECT_STREQ(s.opaque, "");

    // A value that starts with the closing quote is an empty value, not an absent one.
    ASSERT_EQ(
        ParseChallenge("WWW-Authenticate: Digest realm=\"r\", nonce=\"B\", algorithm=\"\"", &s), 0);
    EXPECT_STREQ(s.algorithm, "");
}

TEST(ParseChallengeTest, QuotedQopListKeptWhole) {
    DigestState s{};
    ASSERT_EQ(ParseChallenge(
                  "WWW-Authenticate: Digest qop=\"auth,auth-int\", realm=\"r\", nonce=\"A\"", &s),
              0);
    EXPECT_STREQ(s.qop, "auth,auth-int");
}

TEST(ParseChallengeTest, OverlongValuesAreCutToTheField) {
    DigestState s{};
    const std::string longValue(300, 'v');
    const std::string text = "WWW-Authenticate: Digest realm=\"" + longValue + "\", nonce=\"" +
                             longValue + "\", opaque=\"" + longValue + "\", algorithm=\"" +
                             longValue + "\", qop=\"" + longValue;  // qop runs to the end
    ASSERT_EQ(ParseChallenge(text.c_str(), &s), 0);
    EXPECT_EQ(std::string(s.realm), std::string(127, 'v'));
    EXPECT_EQ(std::string(s.nonce), std::string(127, 'v'));
    EXPECT_EQ(std::string(s.opaque), std::string(127, 'v'));
    EXPECT_EQ(std::string(s.algorithm), std::string(15, 'v'));
    EXPECT_EQ(std::string(s.qop), std::string(15, 'v'));
}

TEST(BuildAuthorizationTest, ExactLineWithQop) {
    DigestState s{};
    SetCredentials(&s);
    std::strcpy(s.algorithm, "MD5");
    std::strcpy(s.qop, "auth");
    s.nonceCount = 1;
    EXPECT_EQ(Authorization(&s, "/admin/advanced"),
              "Authorization: Digest username=\"admin\",realm=\"ZEB Device\","
              "nonce=\"5f2a9c0e77d1\",uri=\"/admin/advanced\",algorithm=\"MD5\","
              "response=\"7594b82ebfa553878d967bef7c6cf6c7\",qop=auth,nc=000000001,"
              "cnonce=\"3a7\"\r\n");
    EXPECT_STREQ(s.uri, "/admin/advanced");

    std::strcpy(s.opaque, "op1");
    const std::string withOpaque = Authorization(&s, "/admin/advanced");
    EXPECT_NE(withOpaque.find("response=\"7594b82ebfa553878d967bef7c6cf6c7\",opaque=\"op1\","
                              "qop=auth,nc=000000001,cnonce=\"3a7\"\r\n"),
              std::string::npos)
        << withOpaque;
}

TEST(BuildAuthorizationTest, ExactLineWithoutQopAndAlgorithm) {
    DigestState s{};
    SetCredentials(&s);
    EXPECT_EQ(Authorization(&s, "/admin/advanced"),
              "Authorization: Digest username=\"admin\",realm=\"ZEB Device\","
              "nonce=\"5f2a9c0e77d1\",uri=\"/admin/advanced\",algorithm=\"\","
              "response=\"1e6b3814ba4766dd0c9659c28f1fe22b\"\r\n");
    std::strcpy(s.opaque, "op1");
    EXPECT_EQ(Authorization(&s, "/admin/advanced"),
              "Authorization: Digest username=\"admin\",realm=\"ZEB Device\","
              "nonce=\"5f2a9c0e77d1\",uri=\"/admin/advanced\",algorithm=\"\","
              "response=\"1e6b3814ba4766dd0c9659c28f1fe22b\",opaque=\"op1\"\r\n");
}

TEST(BuildAuthorizationTest, StaysInsideASmallDestination) {
    DigestState s{};
    SetCredentials(&s);
    std::strcpy(s.qop, "auth");
    char area[40];
    std::memset(area, '#', sizeof area);
    int length = BuildAuthorization(&s, "/admin/advanced", area, 32);
    EXPECT_EQ(length, 31);
    EXPECT_EQ(std::string(area), "Authorization: Digest username=");
    EXPECT_EQ(area[32], '#');
}
