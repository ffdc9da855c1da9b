#include "base/MediaFrame.h"

#include <gtest/gtest.h>
#include <vector>

namespace tavrin {
namespace {

TEST(MediaFrame, HeadIsThirteenLittleEndianBytes) {
    const TZeroMediaFrameHead head{kFrameH264Key, 0x01020304u, int64_t(0x1122334455667788)};
    uint8_t bytes[13] = {};
    ASSERT_TRUE(WriteMediaFrameHead(head, bytes));
    const uint8_t expected[13] = {10,   0x04, 0x03, 0x02, 0x01, 0x88, 0x77,
                                  0x66, 0x55, 0x44, 0x33, 0x22, 0x11};
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 13),
              std::vector<uint8_t>(expected, expected + 13));

    TZeroMediaFrameHead back{};
    ASSERT_TRUE(ReadMediaFrameHead(bytes, back));
    EXPECT_EQ(back.nFrameType, kFrameH264Key);
    EXPECT_EQ(uint32_t{back.nFrameSize}, 0x01020304u);
    EXPECT_EQ(int64_t{back.PTS}, int64_t(0x1122334455667788));

    const TZeroMediaFrameHead negative{kFrameAAC, 7, -1000};
    ASSERT_TRUE(WriteMediaFrameHead(negative, bytes));
    ASSERT_TRUE(ReadMediaFrameHead(bytes, back));
    EXPECT_EQ(int64_t{back.PTS}, -1000);
}

TEST(MediaFrame, ShortBuffersAreRefused) {
    uint8_t bytes[12] = {};
    TZeroMediaFrameHead head{kFrameAAC, 5, 1};
    EXPECT_FALSE(WriteMediaFrameHead(head, bytes));
    EXPECT_FALSE(ReadMediaFrameHead(bytes, head));
    EXPECT_EQ(uint32_t{head.nFrameSize}, 5u); // untouched
}

TEST(MediaFrame, CompleteLengthNeedsTheWholePayload) {
    std::vector<uint8_t> frame;
    const uint8_t payload[5] = {1, 2, 3, 4, 5};
    AssignMediaFrame(frame, kFrameAAC, 42, payload);
    ASSERT_EQ(frame.size(), 18u);
    EXPECT_EQ(CompleteMediaFrameLength(frame), 18u);
    EXPECT_EQ(CompleteMediaFrameLength(std::span(frame).first(17)), 0u);
    EXPECT_EQ(CompleteMediaFrameLength(std::span(frame).first(3)), 0u);

    // A size field near 4 GiB must not wrap into a "complete" frame.
    frame[1] = frame[2] = frame[3] = frame[4] = 0xFF;
    EXPECT_EQ(CompleteMediaFrameLength(frame), 0u);

    // Reassigning a smaller frame reuses the buffer.
    const uint8_t* before = frame.data();
    AssignMediaFrame(frame, kFrameH264, 7, std::span(payload).first(2));
    EXPECT_EQ(frame.size(), 15u);
    EXPECT_EQ(frame.data(), before);
}

TEST(MediaFrame, WallClockStampIsLocalMicrosWithMillisecondResolution) {
    const int64_t stamp = LocalWallClockMicros();
    EXPECT_EQ(stamp % 1000, 0);
    EXPECT_GT(stamp, int64_t(1700000000) * 1000000); // after 2023
}

} // namespace
} // namespace tavrin
