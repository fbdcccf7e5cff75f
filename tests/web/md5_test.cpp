#include "web/md5.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "web/digest.h"

namespace {

std::string HexOf(Md5Context* md5) {
    std::uint8_t digest[kMd5DigestSize];
    Md5Finish(md5, digest);
    char hex[kDigestHexSize];
    ToHex(digest, hex);
    return hex;
}

std::string Md5Hex(const std::string& text) {
    Md5Context md5;
    Md5Start(&md5);
    Md5Add(&md5, text.data(), text.size());
    return HexOf(&md5);
}

}  // namespace

TEST(Md5Test, Rfc1321TestSuite) {
    const struct {
        const char* input;
        const char* digest;
    } kSuite[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"1234567890123456789012345678901234567890123456789012345678901234567890123456789"
         "0",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& c : kSuite) {
        EXPECT_EQ(Md5Hex(c.input), c.digest) << '"' << c.input << '"';
    }
}

TEST(Md5Test, PaddingBoundaryLengths) {
    // 55, 56, 63 and 64 bytes put the length field in the same block or push it to the next.
    // Digests made once with python3: hashlib.md5(b"a" * n).hexdigest().
    EXPECT_EQ(Md5Hex(std::string(55, 'a')), "ef1772b6dff9a122358552954ad0df65");
    EXPECT_EQ(Md5Hex(std::string(56, 'a')), "3b0c8ac703f828b04c6c197006d17218");
    EXPECT_EQ(Md5Hex(std::string(63, 'a')), "b06521f39153d618550606be297466d5");
    EXPECT_EQ(Md5Hex(std::string(64, 'a')), "014842d480b571495a4a0363793f7367");
}

TEST(Md5Test, MillionBytesInUnevenChunksMatchOneRun) {
    // One million "a" (a widely published vector), added in runs that straddle block edges.
    const std::string million(1000000, 'a');
    const std::size_t kRuns[] = {1, 63, 64, 65, 7, 128, 200, 3, 4096, 55};
    Md5Context md5;
    Md5Start(&md5);
    std::size_t offset = 0;
    for (int i = 0; offset < million.size(); ++i) {
        std::size_t run = kRuns[i % std::size(kRuns)];
        if (run > million.size() - offset) {
            run = million.size() - offset;
        }
        Md5Add(&md5, million.data() + offset, run);
        offset += run;
    }
    EXPECT_EQ(HexOf(&md5), "7707d6ae4e027c70eea2a935c2296f21");
    EXPECT_EQ(Md5Hex(million), "7707d6ae4e027c70eea2a935c2296f21");
}
