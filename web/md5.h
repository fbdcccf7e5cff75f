// MD5 message digest (RFC 1321), streaming: start, add runs of bytes, finish to 16 bytes.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr int kMd5DigestSize = 16;

struct Md5Context {
    std::uint32_t state[4];
    std::uint64_t byteCount;   // bytes added so far
    std::uint8_t pending[64];  // bytes of the block not yet complete
};

void Md5Start(Md5Context* context);
void Md5Add(Md5Context* context, const void* data, std::size_t length);
// Writes the digest and leaves the context spent; start it again before reuse.
void Md5Finish(Md5Context* context, std::uint8_t digest[kMd5DigestSize]);
