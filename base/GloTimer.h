// The process-wide millisecond count that paces everything: the 40 ms
// programme tick, replay steps, file-source pacing, send time-outs. Nobody
// reads the wall clock for pacing. Differences are taken with unsigned 32-bit
// arithmetic, so the wrap after 2^32 ms is harmless.
#pragma once

#include <cstdint>

namespace tavrin {

class TGloTimer {
public:
    // Starts the count at 0. Reading before any initialize counts from
    // process start, so nothing stalls on an uninitialised clock.
    void initialize();
};

// Milliseconds since TGloTimer::initialize, as an unsigned 32-bit count.
uint32_t GetGlobeCount();

// Milliseconds from start to now, correct across the wrap.
inline uint32_t GlobeElapsed(uint32_t start) {
    return GetGlobeCount() - start;
}

// While one lives, GetGlobeCount returns the value set here instead of the
// monotonic clock, so pacing rules can be tested exactly. One at a time.
class TTestClock {
public:
    explicit TTestClock(uint32_t start = 0);
    ~TTestClock();
    TTestClock(const TTestClock&) = delete;
    TTestClock& operator=(const TTestClock&) = delete;

    void Set(uint32_t count);
    void Advance(uint32_t ms);
    uint32_t Now() const;
};

} // namespace tavrin
