// The process's pseudo-random sequence: a linear congruential generator whose upper bits give
// values 0 to 32767. The main thread (file names) and request workers (client nonce) draw from
// it, never at the same time; the state is atomic so that each draw is still race-free.
#include "app/random.h"

#include <atomic>

namespace {

std::atomic<std::uint32_t> gState{1};

constexpr std::uint32_t Advance(std::uint32_t state) {
    return state * 214013u + 2531011u;
}

}  // namespace

void SeedRandom(std::uint32_t seed) {
    gState.store(seed, std::memory_order_relaxed);
}

int NextRandom() {
    std::uint32_t state = gState.load(std::memory_order_relaxed);
    std::uint32_t next = Advance(state);
    while (!gState.compare_exchange_weak(state, next, std::memory_order_relaxed)) {
        next = Advance(state);
    }
    return static_cast<int>((next >> 16) & 0x7fffu);
}
