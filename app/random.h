// The process's one pseudo-random sequence: seeded once from the millisecond clock, values 0 to
// 32767. It draws the transfer file names and the Digest client nonce.
#pragma once

#include <cstdint>

void SeedRandom(std::uint32_t seed);
int NextRandom();  // 0..32767
