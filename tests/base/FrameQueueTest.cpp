#include "base/FrameQueue.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

namespace tavrin {
namespace {

std::vector<uint8_t> Payload(uint8_t fill, size_t n) {
    return std::vector<uint8_t>(n, fill);
}

// Types of the queued records, oldest first.
std::vector<int> Types(const TFrameQueue& q) {
    std::vector<int> t;
    for (size_t i = 0; i < q.Size(); ++i) {
        t.push_back(q[i][0]);
    }
    return t;
}

TEST(FrameQueue, KeepsOrderCountsAndBytesAcrossGrowthAndWrap) {
    TFrameQueue q;
    TFrameQueue::TRecord out;
    // Pop a few first so the ring wraps before it grows.
    for (int i = 0; i < 10; ++i) {
        q.Push(kFrameAAC, i, Payload(uint8_t(i), 5));
        ASSERT_TRUE(q.Pop(out));
    }
    for (int i = 0; i < 300; ++i) {
        q.Push(i % 3 == 0 ? kFrameAAC : kFrameH264, i, Payload(uint8_t(i), size_t(i % 7)));
    }
    EXPECT_EQ(q.Size(), 300u);
    EXPECT_EQ(q.AudioCount(), 100u);
    EXPECT_EQ(q.VideoCount(), 200u);
    size_t bytes = 0;
    for (int i = 0; i < 300; ++i) {
        bytes += kMediaFrameHeadSize + size_t(i % 7);
    }
    EXPECT_EQ(q.Bytes(), bytes);
    for (int i = 0; i < 300; ++i) {
        ASSERT_TRUE(q.Pop(out));
        TZeroMediaFrameHead h{};
        ASSERT_TRUE(ReadMediaFrameHead(out, h));
        const int64_t pts = h.PTS; // the head is packed: no reference to its fields
        EXPECT_EQ(pts, i);
        EXPECT_EQ(out.size(), kMediaFrameHeadSize + size_t(i % 7));
    }
    EXPECT_FALSE(q.Pop(out));
    EXPECT_EQ(q.Bytes(), 0u);
    EXPECT_EQ(q.VideoCount(), 0u);
}

TEST(FrameQueue, SteadyStreamReusesBuffers) {
    TFrameQueue q;
    TFrameQueue::TRecord out;
    const auto payload = Payload(7, 4000);
    for (int i = 0; i < 4; ++i) {
        q.Push(kFrameH264, i, payload);
    }
    ASSERT_TRUE(q.Pop(out));
    // Once every slot has a buffer, records move between the same buffers.
    std::vector<const uint8_t*> seen;
    for (int i = 0; i < 200; ++i) {
        q.Push(kFrameH264, i, payload);
        ASSERT_TRUE(q.Pop(out));
        seen.push_back(out.data());
    }
    std::sort(seen.begin(), seen.end());
    seen.erase(std::unique(seen.begin(), seen.end()), seen.end());
    EXPECT_LE(seen.size(), 6u);
}

TEST(FrameQueue, ABurstDoesNotLeaveEverySlotGrowingToTheLargestRecord) {
    // A channel's queue: once a stall let a thousand records pile up, then a
    // steady stream of small pictures with a large key picture a second, a
    // few records queued at a time, as a phone's socket delivers them.
    TFrameQueue q;
    TFrameQueue::TRecord out;
    for (int i = 0; i < 1000; ++i) {
        q.Push(kFrameAAC, i, Payload(1, 200));
    }
    while (q.Pop(out)) {
    }
    const auto small = Payload(2, 2000);
    const auto key = Payload(3, 100000);
    for (int i = 0; i < 20000; ++i) {
        q.Push(i % 25 == 0 ? kFrameH264Key : kFrameH264, i, i % 25 == 0 ? key : small);
        if (i % 3 == 2) {
            while (q.Pop(out)) {
            }
        }
    }
    // What is queued, plus the spares, each at most a key picture.
    const size_t bound = q.Bytes() + (TFrameQueue::kSpareBuffers + 1) * (key.size() + 64);
    EXPECT_LE(q.CapacityBytes(), bound) << "held " << q.CapacityBytes() << " bytes";
    // Trimmed records give their buffers back too.
    for (int i = 0; i < 500; ++i) {
        q.Push(kFrameH264Key, i, key);
    }
    q.Clear();
    EXPECT_LE(q.CapacityBytes(), TFrameQueue::kSpareBuffers * (key.size() + 64));
}

TEST(FrameQueue, FindsKeyFramesAndDropsWholeHeads) {
    TFrameQueue q;
    const uint8_t types[] = {kFrameH264, kFrameAAC,     kFrameH264Key, kFrameH264,
                             kFrameAAC,  kFrameH264Key, kFrameH264};
    for (uint8_t t : types) {
        q.Push(t, 0, Payload(t, 3));
    }
    EXPECT_EQ(q.FindKey(0), 2u);
    EXPECT_EQ(q.FindKey(0, 2), 5u);
    EXPECT_EQ(q.FindKey(3), 5u);
    EXPECT_EQ(q.FindKey(0, 3), TFrameQueue::npos);
    EXPECT_EQ(q.FindKey(6), TFrameQueue::npos);

    const TFrameQueue::TDropped d = q.DropFront(q.FindKey(0, 2));
    EXPECT_EQ(d.video, 3u);
    EXPECT_EQ(d.audio, 2u);
    EXPECT_EQ(Types(q), (std::vector<int>{kFrameH264Key, kFrameH264}));
    EXPECT_EQ(q.Bytes(), 2 * (kMediaFrameHeadSize + 3));
    EXPECT_EQ(q.Clear().Total(), 2u);
    EXPECT_TRUE(q.Empty());
}

TEST(FrameQueue, MovesRecordsBetweenQueues) {
    TFrameQueue delayed;
    TFrameQueue send;
    send.Push(kFrameH264Key, 1, Payload(1, 10));
    delayed.Push(kFrameAAC, 2, Payload(2, 20));
    delayed.Push(kFrameAAC, 3, Payload(3, 30));
    ASSERT_TRUE(delayed.MoveFrontTo(send));
    EXPECT_EQ(delayed.Size(), 1u);
    EXPECT_EQ(delayed.Bytes(), kMediaFrameHeadSize + 30);
    EXPECT_EQ(Types(send), (std::vector<int>{kFrameH264Key, kFrameAAC}));
    EXPECT_EQ(send.AudioCount(), 1u);
    EXPECT_EQ(send[1].size(), kMediaFrameHeadSize + 20);
    EXPECT_EQ(send[1].back(), 2);
    TFrameQueue empty;
    EXPECT_FALSE(empty.MoveFrontTo(send));
}

} // namespace
} // namespace tavrin
