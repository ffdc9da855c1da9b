#include "output/Adts.h"

#include <gtest/gtest.h>
#include <vector>

namespace tavrin {
namespace {

std::vector<uint8_t> Header(int length, int rate) {
    uint8_t h[kAdtsHeaderSize] = {};
    EXPECT_TRUE(MakeAdtsHeader(h, length, rate));
    return std::vector<uint8_t>(h, h + kAdtsHeaderSize);
}

TEST(Adts, HeaderMatchesTheSilentFrameAndLengthFields) {
    // The silent frame of the system starts FF F1 4C 80 01 BF FC (length 13).
    EXPECT_EQ(Header(13, 48000), (std::vector<uint8_t>{0xFF, 0xF1, 0x4C, 0x80, 0x01, 0xBF, 0xFC}));
    // A length using all 13 bits of the field.
    EXPECT_EQ(Header(8191, 48000),
              (std::vector<uint8_t>{0xFF, 0xF1, 0x4C, 0x83, 0xFF, 0xFF, 0xFC}));
    EXPECT_EQ(Header(400, 44100)[2], 0x40 | (4 << 2));
}

TEST(Adts, SampleRateIndexAndUnknownRates) {
    EXPECT_EQ(AdtsSampleRateIndex(96000), 0);
    EXPECT_EQ(AdtsSampleRateIndex(44100), 4);
    EXPECT_EQ(AdtsSampleRateIndex(8000), 11);
    EXPECT_EQ(AdtsSampleRateIndex(7350), 12);
    EXPECT_EQ(AdtsSampleRateIndex(22222), 3);
    EXPECT_EQ(AdtsSampleRateIndex(0), 3);
}

TEST(Adts, LengthsThatDoNotFitAreRefusedUntouched) {
    uint8_t h[kAdtsHeaderSize] = {1, 2, 3, 4, 5, 6, 7};
    EXPECT_FALSE(MakeAdtsHeader(h, 6, 48000));
    EXPECT_FALSE(MakeAdtsHeader(h, 8192, 48000));
    EXPECT_EQ(h[0], 1);
    EXPECT_EQ(h[6], 7);
}

TEST(Adts, SyncBitsDetection) {
    const uint8_t withHeader[] = {0xFF, 0xF1, 0x4C};
    const uint8_t raw[] = {0x21, 0x00};
    const uint8_t almost[] = {0xFF, 0xE0};
    EXPECT_TRUE(HasAdtsHeader(withHeader, sizeof(withHeader)));
    EXPECT_FALSE(HasAdtsHeader(raw, sizeof(raw)));
    EXPECT_FALSE(HasAdtsHeader(almost, sizeof(almost)));
    EXPECT_FALSE(HasAdtsHeader(withHeader, 1));
}

} // namespace
} // namespace tavrin
