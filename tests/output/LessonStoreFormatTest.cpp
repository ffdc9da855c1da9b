#include "output/LessonStoreFormat.h"

#include <cstddef>
#include <cstring>
#include <gtest/gtest.h>

namespace tavrin {
namespace {

TEST(LessonStoreFormat, RecordsSitAtTheirByteOffsets) {
    EXPECT_EQ(offsetof(TIndex_Head, sysFlag), 100u);
    EXPECT_EQ(offsetof(TIndex_Head, LessionID), 108u);
    EXPECT_EQ(offsetof(TIndex_Head, UserID), 112u);
    EXPECT_EQ(offsetof(TIndex_Head, createtionTime), 123u);
    EXPECT_EQ(offsetof(TIndex_Head, videoWidth), 133u);
    EXPECT_EQ(offsetof(TIndex_Head, videoHeight), 135u);
    EXPECT_EQ(offsetof(TIndex_Head, audioSamples), 137u);
    EXPECT_EQ(offsetof(TIndex_Head, audioCH), 141u);
    EXPECT_EQ(offsetof(TIndex_Count, LastTime), 12u);
    EXPECT_EQ(offsetof(TIndex_IBlock, pos), 8u);
    EXPECT_EQ(offsetof(TIndex_IBlock, ErrorFlag), 17u);
    EXPECT_EQ(kMaxIBlockCount, 582533);
    EXPECT_EQ(IBlockEntryOffset(2), 198u);
}

TEST(LessonStoreFormat, NewHeadBytes) {
    const TIndex_Head h = MakeIndexHead(812, "123456789012", 0x10780, 1080, 46000.25);
    const auto* b = reinterpret_cast<const uint8_t*>(&h);
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(b[i], 0) << i;
    }
    // 741004 = 0x000B4E8C little-endian, then version 2 and the lesson 812.
    const uint8_t fixed[] = {0x8C, 0x4E, 0x0B, 0x00, 2, 0, 0, 0, 0x2C, 0x03, 0, 0};
    EXPECT_EQ(std::memcmp(b + 100, fixed, sizeof fixed), 0);
    // A 12-digit user keeps its first 11 digits and no terminator.
    EXPECT_EQ(std::string(h.UserID, 11), "12345678901");
    EXPECT_EQ(+h.videoWidth, 0x0780); // low 16 bits: 1920
    EXPECT_EQ(+h.videoHeight, 1080);
    EXPECT_EQ(b[131], 1);
    EXPECT_EQ(b[132], 1);
    EXPECT_EQ(+h.audioSamples, 48000);
    EXPECT_EQ(b[141], 2);

    const TIndex_Head shortID = MakeIndexHead(1, "42", 1280, 720, 0);
    EXPECT_EQ(std::string(shortID.UserID, 11), std::string("42\0\0\0\0\0\0\0\0\0", 11));
}

TEST(LessonStoreFormat, RoundingIsToNearestTiesToEven) {
    EXPECT_EQ(RoundTiesToEven(0.5), 0.0);
    EXPECT_EQ(RoundTiesToEven(1.5), 2.0);
    EXPECT_EQ(RoundTiesToEven(2.5), 2.0);
    EXPECT_EQ(RoundTiesToEven(2.5000001), 3.0);
    EXPECT_EQ(RoundTiesToEven(-1.5), -2.0);
    EXPECT_EQ(RoundTiesToEven(-2.5), -2.0);
    // round(2813 x 21.33333) = 60011 ms -> 60 s
    EXPECT_EQ(AudioFramesToSeconds(2813), 60);
    // 46875 x 21.33333 = 999999.84: rounding (not truncation) reaches 1000 s
    EXPECT_EQ(AudioFramesToSeconds(46875), 1000);
    EXPECT_EQ(AudioFramesToSeconds(0), 0);
}

} // namespace
} // namespace tavrin
