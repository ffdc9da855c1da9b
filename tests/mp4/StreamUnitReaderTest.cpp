// The MP4 builder's second pass reads its stream files back unit by unit.
#include "mp4/StreamUnitReader.h"

#include "tests/base/TempDir.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tavrin {
namespace {

std::string Unit(char fill, size_t size) {
    return std::string(size, fill);
}

std::string Bytes(const AVPacket* pkt) {
    return {reinterpret_cast<const char*>(pkt->data), size_t(pkt->size)};
}

TEST(StreamUnitReader, UnitsComeBackInOrderAndStayIntactWhileHeld) {
    test::TempDir dir;
    const std::vector<std::string> units = {Unit('a', 700), Unit('b', 13), Unit('c', 4096),
                                            Unit('d', 1)};
    std::string all;
    for (const auto& u : units) {
        all += u;
    }
    test::WriteFile(dir.File("s.h264"), all);
    TStreamUnitReader reader;
    ASSERT_TRUE(reader.Open(dir.File("s.h264"), 4096));
    // The muxer may hold every packet at once: none may share a buffer.
    std::vector<AvPacketPtr> held;
    for (const auto& u : units) {
        held.emplace_back(av_packet_alloc());
        ASSERT_TRUE(reader.Read(uint32_t(u.size()), held.back().get()));
        ASSERT_NE(held.back()->buf, nullptr);
        for (int i = 0; i < AV_INPUT_BUFFER_PADDING_SIZE; ++i) {
            ASSERT_EQ(held.back()->data[held.back()->size + i], 0);
        }
    }
    for (size_t i = 0; i < units.size(); ++i) {
        EXPECT_EQ(Bytes(held[i].get()), units[i]) << "unit " << i;
    }
    held.clear();
    AvPacketPtr next(av_packet_alloc());
    EXPECT_FALSE(reader.Read(1, next.get())); // the file has ended
}

TEST(StreamUnitReader, RefusesShortFilesOversizedUnitsAndMissingFiles) {
    test::TempDir dir;
    test::WriteFile(dir.File("s.aac"), Unit('x', 100));
    TStreamUnitReader reader;
    ASSERT_TRUE(reader.Open(dir.File("s.aac"), 64));
    AvPacketPtr pkt(av_packet_alloc());
    EXPECT_FALSE(reader.Read(65, pkt.get()));
    ASSERT_TRUE(reader.Read(64, pkt.get()));
    av_packet_unref(pkt.get());
    EXPECT_FALSE(reader.Read(40, pkt.get())); // only 36 bytes are left
    EXPECT_EQ(pkt->buf, nullptr);

    TStreamUnitReader missing;
    EXPECT_FALSE(missing.Open(dir.File("none.aac"), 64));
    EXPECT_FALSE(missing.Read(1, pkt.get()));
}

} // namespace
} // namespace tavrin
