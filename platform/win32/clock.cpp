// The millisecond clock and sleeps on Windows, with the test seam that scales time.
#include "platform/clock.h"

#include <windows.h>

#include <mmsystem.h>

#include <atomic>

#include "platform/test_hooks.h"
#include "platform/win32/time_scale.h"

namespace platform {
namespace {

std::atomic<std::uint32_t> gTimeScale{1};

// The system timer normally ticks every 15.6 ms, which would stretch each 1-ms sleep of the
// polling loops to a whole tick. One period of 1 ms is asked for once, for the life of the
// process (the system drops it when the process ends).
struct TimerResolution {
    TimerResolution() { ::timeBeginPeriod(1); }
} gTimerResolution;

}  // namespace

namespace testing {
void SetTimeScale(std::uint32_t factor) {
    gTimeScale = factor == 0 ? 1 : factor;
}
}  // namespace testing

std::uint32_t TimeScale() {
    return gTimeScale.load();
}

std::uint32_t MillisecondClock() {
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(::timeGetTime()) *
                                      gTimeScale.load());
}

void SleepMilliseconds(std::uint32_t milliseconds) {
    ::Sleep(milliseconds / gTimeScale.load());
}

}  // namespace platform
