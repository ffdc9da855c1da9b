#include "base/H264Nal.h"

#include "base/LittleEndian.h"

#include <gtest/gtest.h>
#include <vector>

namespace tavrin {
namespace {

std::vector<std::vector<uint8_t>> Units(const std::vector<uint8_t>& au, std::vector<int>& types) {
    std::vector<std::vector<uint8_t>> units;
    TNalScanner scanner(au);
    TNalUnit nal;
    while (scanner.Next(nal)) {
        types.push_back(nal.type);
        units.emplace_back(nal.bytes.begin(), nal.bytes.end());
    }
    return units;
}

TEST(H264Nal, SplitsThreeAndFourByteStartCodes) {
    // Leading junk, a 4-byte SPS, a 3-byte PPS, trailing zeros, an IDR slice
    // whose payload holds 00 00 02 (no start code).
    const std::vector<uint8_t> au = {0xAA, 0, 0, 0, 1, 0x67, 0x64, 0x1f, 0, 0, 1, 0x68,
                                     0xee, 0, 0, 0, 0, 0,    1,    0x65, 0, 0, 2, 0x88};
    std::vector<int> types;
    const auto units = Units(au, types);
    EXPECT_EQ(types, (std::vector<int>{kNalSps, kNalPps, kNalIdr}));
    ASSERT_EQ(units.size(), 3u);
    EXPECT_EQ(units[0], (std::vector<uint8_t>{0x67, 0x64, 0x1f}));
    EXPECT_EQ(units[1], (std::vector<uint8_t>{0x68, 0xee}));
    EXPECT_EQ(units[2], (std::vector<uint8_t>{0x65, 0, 0, 2, 0x88}));
    EXPECT_EQ(FirstNalType(au), kNalSps);
    EXPECT_TRUE(HasNalType(au, kNalIdr));
    EXPECT_FALSE(HasNalType(au, kNalSei));
}

TEST(H264Nal, UnitsWithoutStartCodeOrPayload) {
    EXPECT_EQ(FirstNalType(std::vector<uint8_t>{}), -1);
    EXPECT_EQ(FirstNalType(std::vector<uint8_t>{0x67, 0x64, 0, 0}), -1);
    // A start code at the very end carries no unit.
    EXPECT_EQ(FirstNalType(std::vector<uint8_t>{0x11, 0, 0, 1}), -1);
    // Empty units between start codes are skipped.
    EXPECT_EQ(FirstNalType(std::vector<uint8_t>{0, 0, 1, 0, 0, 1, 0x41, 0x9a}), 1);
}

TEST(LittleEndian, RoundTripsAndByteOrder) {
    uint8_t b[8] = {};
    WriteLE32(b, 0x87654321);
    EXPECT_EQ(b[0], 0x21);
    EXPECT_EQ(b[3], 0x87);
    EXPECT_EQ(ReadLE32(b), 0x87654321u);
    WriteLE16(b, 0xBEEF);
    EXPECT_EQ(b[0], 0xEF);
    EXPECT_EQ(ReadLE16(b), 0xBEEF);
    WriteLE64(b, 0x0102030405060708ull);
    EXPECT_EQ(b[0], 0x08);
    EXPECT_EQ(b[7], 0x01);
    EXPECT_EQ(ReadLE64(b), 0x0102030405060708ull);
}

} // namespace
} // namespace tavrin
