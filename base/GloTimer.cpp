#include "base/GloTimer.h"

#include <atomic>
#include <ctime>

namespace tavrin {

namespace {

int64_t MonotonicMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

std::atomic<int64_t> gStartMs{MonotonicMs()};
std::atomic<bool> gUseTestClock{false};
std::atomic<uint32_t> gTestCount{0};

} // namespace

void TGloTimer::initialize() {
    gStartMs.store(MonotonicMs(), std::memory_order_release);
}

uint32_t GetGlobeCount() {
    if (gUseTestClock.load(std::memory_order_acquire)) {
        return gTestCount.load(std::memory_order_acquire);
    }
    // Truncation to 32 bits is the wrap-around of the count.
    return uint32_t(uint64_t(MonotonicMs() - gStartMs.load(std::memory_order_acquire)));
}

TTestClock::TTestClock(uint32_t start) {
    gTestCount.store(start, std::memory_order_release);
    gUseTestClock.store(true, std::memory_order_release);
}

TTestClock::~TTestClock() {
    gUseTestClock.store(false, std::memory_order_release);
}

void TTestClock::Set(uint32_t count) {
    gTestCount.store(count, std::memory_order_release);
}

void TTestClock::Advance(uint32_t ms) {
    gTestCount.fetch_add(ms, std::memory_order_acq_rel);
}

uint32_t TTestClock::Now() const {
    return gTestCount.load(std::memory_order_acquire);
}

} // namespace tavrin
