// The millisecond clock and sleeps on POSIX, with the test seam that scales time.
#include "platform/clock.h"

#include <time.h>

#include <atomic>

#include "platform/posix/time_scale.h"
#include "platform/test_hooks.h"

namespace platform {
namespace {

std::atomic<std::uint32_t> gTimeScale{1};

std::uint64_t MonotonicMicroseconds() {
    timespec ts;
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000000u +
           static_cast<std::uint64_t>(ts.tv_nsec) / 1000u;
}

}  // namespace

namespace testing {
void SetTimeScale(std::uint32_t factor) { gTimeScale = factor == 0 ? 1 : factor; }
}  // namespace testing

std::uint32_t TimeScale() { return gTimeScale.load(); }

std::uint32_t MillisecondClock() {
    return static_cast<std::uint32_t>(MonotonicMicroseconds() * gTimeScale.load() / 1000u);
}

void SleepMilliseconds(std::uint32_t milliseconds) {
    std::uint64_t micros = static_cast<std::uint64_t>(milliseconds) * 1000u / gTimeScale.load();
    timespec ts{static_cast<time_t>(micros / 1000000u), static_cast<long>(micros % 1000000u) * 1000};
    while (::nanosleep(&ts, &ts) != 0) {
    }
}

}  // namespace platform
