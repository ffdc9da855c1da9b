#include "base/GloTimer.h"
#include "base/Thread.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

TEST(GlobalClock, TestClockIsSetAndAdvanced) {
    TTestClock clock(1000);
    EXPECT_EQ(GetGlobeCount(), 1000u);
    clock.Advance(40);
    EXPECT_EQ(GetGlobeCount(), 1040u);
    clock.Set(5);
    EXPECT_EQ(GetGlobeCount(), 5u);
}

TEST(GlobalClock, DifferencesSurviveTheWrap) {
    TTestClock clock(0xFFFFFFF0u);
    const uint32_t start = GetGlobeCount();
    clock.Advance(0x30);
    EXPECT_EQ(GetGlobeCount(), 0x20u);
    EXPECT_EQ(GlobeElapsed(start), 0x30u);
    // A 40 ms deadline set before the wrap is reached after it.
    const uint32_t deadline = start + 40;
    EXPECT_GE(int32_t(GetGlobeCount() - deadline), 0);
}

TEST(GlobalClock, RealCountStartsNearZeroAndMoves) {
    TGloTimer timer;
    timer.initialize();
    const uint32_t first = GetGlobeCount();
    EXPECT_LT(first, 1000u);
    uint32_t now = first;
    for (int i = 0; i < 200 && now == first; ++i) {
        SleepMs(2);
        now = GetGlobeCount();
    }
    EXPECT_GT(now, first);
}

} // namespace
} // namespace tavrin
