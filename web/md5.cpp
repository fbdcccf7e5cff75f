// MD5 as RFC 1321 defines it: 64-byte blocks, four rounds of sixteen steps, little-endian words.
#include "web/md5.h"

#include <cstring>

namespace {

// Per-step left rotations, four for each round.
constexpr int kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

// floor(abs(sin(i + 1)) * 2^32) for the 64 steps.
constexpr std::uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

std::uint32_t RotateLeft(std::uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

void ProcessBlock(std::uint32_t state[4], const std::uint8_t block[64]) {
    std::uint32_t x[16];
    for (int i = 0; i < 16; ++i) {
        x[i] = static_cast<std::uint32_t>(block[i * 4]) |
               static_cast<std::uint32_t>(block[i * 4 + 1]) << 8 |
               static_cast<std::uint32_t>(block[i * 4 + 2]) << 16 |
               static_cast<std::uint32_t>(block[i * 4 + 3]) << 24;
    }
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (int step = 0; step < 64; ++step) {
        int round = step / 16;
        std::uint32_t f;
        int word;
        switch (round) {
            case 0:
                f = (b & c) | (~b & d);
                word = step;
                break;
            case 1:
                f = (b & d) | (c & ~d);
                word = (5 * step + 1) % 16;
                break;
            case 2:
                f = b ^ c ^ d;
                word = (3 * step + 5) % 16;
                break;
            default:
                f = c ^ (b | ~d);
                word = (7 * step) % 16;
                break;
        }
        std::uint32_t rotated = RotateLeft(a + f + kSine[step] + x[word], kShift[round][step % 4]);
        a = d;
        d = c;
        c = b;
        b = b + rotated;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

}  // namespace

void Md5Start(Md5Context* context) {
    context->state[0] = 0x67452301;
    context->state[1] = 0xefcdab89;
    context->state[2] = 0x98badcfe;
    context->state[3] = 0x10325476;
    context->byteCount = 0;
}

void Md5Add(Md5Context* context, const void* data, std::size_t length) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::size_t used = static_cast<std::size_t>(context->byteCount % 64);
    context->byteCount += length;
    if (used != 0) {
        std::size_t take = 64 - used < length ? 64 - used : length;
        std::memcpy(context->pending + used, bytes, take);
        bytes += take;
        length -= take;
        if (used + take < 64) {
            return;
        }
        ProcessBlock(context->state, context->pending);
    }
    for (; length >= 64; bytes += 64, length -= 64) {
        ProcessBlock(context->state, bytes);
    }
    if (length != 0) {
        std::memcpy(context->pending, bytes, length);
    }
}

void Md5Finish(Md5Context* context, std::uint8_t digest[kMd5DigestSize]) {
    // Padding: one 0x80 byte, zeros up to 56 mod 64, then the bit length, little-endian.
    std::uint64_t bitCount = context->byteCount * 8;
    std::uint8_t padding[72] = {0x80};
    std::size_t used = static_cast<std::size_t>(context->byteCount % 64);
    std::size_t padLength = used < 56 ? 56 - used : 120 - used;
    for (int i = 0; i < 8; ++i) {
        padding[padLength + i] = static_cast<std::uint8_t>(bitCount >> (8 * i));
    }
    Md5Add(context, padding, padLength + 8);
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            digest[i * 4 + j] = static_cast<std::uint8_t>(context->state[i] >> (8 * j));
        }
    }
}
