#include "base/MediaFrame.h"
#include "tests/base/TempDir.h"
#include "tests/output/StoreTestKit.h"

#include <cmath>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace tavrin {
namespace {

using test::MakeFrame;

// A store written by hand, block by block.
struct THandStore {
    std::vector<TIndex_IBlock> blocks;
    std::vector<uint8_t> av;
    TIndex_Count count{};
    uint32_t seq = 0;

    void AddBlock(int pictures, int audio, uint8_t deleteFlag = 0) {
        TIndex_IBlock b{};
        b.pos = uint32_t(av.size());
        for (int i = 0; i < pictures; ++i) {
            const uint8_t type = i == 0 ? kFrameH264Key : kFrameH264;
            test::AppendFrame(av, type, MakeFrame(type, seq++));
            if (i < audio) {
                test::AppendFrame(av, kFrameAAC, MakeFrame(kFrameAAC, seq++));
            }
        }
        b.Length = uint32_t(av.size() - b.pos);
        b.VideoCount = pictures;
        b.AudioCount = audio;
        b.DeleteFlag = deleteFlag;
        blocks.push_back(b);
        count.VideoCount += pictures;
        count.AudioCount += audio;
        count.IBlockCount += 1;
    }
};

class ReadAVTest : public ::testing::Test {
protected:
    void SetUp() override {
        paths.initialize(dir.Path(), "7");
        reader.initialize(paths);
    }
    void Write(const THandStore& s) { test::WriteStore(paths, kLesson, s.count, s.blocks, s.av); }
    std::string Index() const {
        std::string s;
        paths.Get_IndexFile(kLesson, s);
        return s;
    }
    std::string AV() const {
        std::string s;
        paths.Get_AVDataFile(kLesson, s);
        return s;
    }
    std::vector<int> BlocksPlayed(bool bIncludeDelete) {
        std::vector<int> played;
        for (const auto& f : test::ReadAll(reader, bIncludeDelete).frames) {
            if (played.empty() || played.back() != f.block) {
                played.push_back(f.block);
            }
        }
        return played;
    }

    static constexpr int kLesson = 31;
    test::TempDir dir;
    TGetLessionInfo paths;
    TReadAV reader;
};

TEST_F(ReadAVTest, OpenResultCodes) {
    EXPECT_EQ(reader.OpenLession(kLesson), TReadAV::kNotRecorded);
    EXPECT_EQ(reader.LessionID, -1);

    THandStore s;
    s.AddBlock(3, 2);
    Write(s);
    std::filesystem::remove(AV());
    EXPECT_EQ(reader.OpenLession(kLesson), TReadAV::kNotRecorded);

    Write(s);
    {
        TStoreFile recording;
        ASSERT_EQ(recording.Open(Index(), O_RDWR, TStoreFile::TLock::Exclusive),
                  TStoreFile::kOpened);
        EXPECT_EQ(reader.OpenLession(kLesson), TReadAV::kIndexNotOpened);
    }
    {
        TStoreFile recording;
        ASSERT_EQ(recording.Open(AV(), O_RDWR, TStoreFile::TLock::Exclusive), TStoreFile::kOpened);
        EXPECT_EQ(reader.OpenLession(kLesson), TReadAV::kDataNotOpened);
        EXPECT_EQ(reader.LessionID, -1);
    }
    // Readers share a lesson.
    ASSERT_EQ(reader.OpenLession(kLesson), 0);
    TReadAV second;
    second.initialize(paths);
    EXPECT_EQ(second.OpenLession(kLesson), 0);
    second.EndLession();
    reader.EndLession();

    // No closed block, a count the file cannot back, a negative count, a stub.
    for (int32_t bad : {0, 2, -1, kMaxIBlockCount + 1}) {
        THandStore t = s;
        t.count.IBlockCount = bad;
        Write(t);
        EXPECT_EQ(reader.OpenLession(kLesson), TReadAV::kNoBlocks) << bad;
    }
    std::filesystem::resize_file(Index(), 150);
    EXPECT_EQ(reader.OpenLession(kLesson), TReadAV::kNoBlocks);
    std::vector<uint8_t> data;
    int size, type, block;
    EXPECT_EQ(reader.GetFrame(data, size, type, block, true), -1);
    EXPECT_EQ(reader.MoveToIPos(0, true), -1);
}

TEST_F(ReadAVTest, DeletedBlocksAreSkippedUnlessIncluded) {
    THandStore s;
    for (int k = 0; k < 4; ++k) {
        s.AddBlock(3, 2);
    }
    Write(s);
    ASSERT_EQ(reader.OpenLession(kLesson), 0);
    EXPECT_EQ(reader.DeleteIBlock_I(1), 1);
    EXPECT_EQ(reader.DeleteIBlock_I(1), 0); // twice restores
    EXPECT_EQ(reader.DeleteIBlock_I(4), -1);
    EXPECT_EQ(reader.GetDeleteBlockState_I(4), -1);
    EXPECT_EQ(reader.DeleteIBlock_I(1), 1);
    EXPECT_EQ(reader.DeleteIBlock_I(3), 1);
    EXPECT_EQ(reader.GetDeleteBlockState_I(3), 1);
    EXPECT_EQ(reader.GetDeleteBlockState_I(2), 0);

    EXPECT_EQ(BlocksPlayed(false), (std::vector<int>{0, 2}));
    EXPECT_EQ(reader.MoveToIPos(0, true), 0);
    EXPECT_EQ(BlocksPlayed(true), (std::vector<int>{0, 1, 2, 3}));

    // Beyond the table: the last block, which is deleted, so nothing follows.
    EXPECT_EQ(reader.MoveToIPos(99, false), 3);
    EXPECT_TRUE(BlocksPlayed(false).empty());
    EXPECT_EQ(reader.MoveToIPos(99, true), 3);
    EXPECT_EQ(BlocksPlayed(true), (std::vector<int>{3}));
    // A deleted target: the next kept block is queued, the answer stays.
    EXPECT_EQ(reader.MoveToIPos(1, false), 1);
    EXPECT_EQ(BlocksPlayed(false), (std::vector<int>{2}));
    EXPECT_EQ(reader.MoveToIPos(-5, false), 0);
    EXPECT_EQ(BlocksPlayed(false), (std::vector<int>{0, 2}));

    // A mark other than 1 is never played; toggling it makes it a cut.
    THandStore odd = s;
    odd.blocks[2].DeleteFlag = 7;
    Write(odd);
    ASSERT_EQ(reader.OpenLession(kLesson), 0);
    EXPECT_EQ(BlocksPlayed(true), (std::vector<int>{0, 1, 3}));
    EXPECT_EQ(reader.DeleteIBlock_I(2), 1);
}

TEST_F(ReadAVTest, LessonWhoseOnlyBlockIsDeleted) {
    THandStore s;
    s.AddBlock(5, 4, 1);
    Write(s);
    ASSERT_EQ(reader.OpenLession(kLesson), 0);
    std::vector<uint8_t> data;
    int size, type, block;
    EXPECT_EQ(reader.GetFrame(data, size, type, block, false), -1);
    EXPECT_EQ(reader.MoveToIPos(0, true), 0);
    const auto back = test::ReadAll(reader, true);
    EXPECT_EQ(back.frames.size(), 9u);
    EXPECT_EQ(back.badFrames, 0);
}

TEST_F(ReadAVTest, MarksLiveInMemoryUntilSaved) {
    THandStore s;
    for (int k = 0; k < 3; ++k) {
        s.AddBlock(2, 1);
    }
    Write(s);
    const std::string headAndCounters = test::ReadFile(Index()).substr(0, 162);
    ASSERT_EQ(reader.OpenLession(kLesson), 0);
    reader.DeleteIBlock_I(0);
    reader.DeleteIBlock_I(2);
    ASSERT_EQ(reader.Save(), 0);
    reader.EndLession();
    EXPECT_EQ(test::ReadFile(Index()).substr(0, 162), headAndCounters);

    ASSERT_EQ(reader.OpenLession(kLesson), 0);
    EXPECT_EQ(BlocksPlayed(false), (std::vector<int>{1}));
    EXPECT_EQ(reader.RecoveryAllDeleteIBlock(), 2);
    EXPECT_EQ(reader.GetDeleteBlockState_I(0), 0);
    reader.EndLession();
    // Not saved: the saved marks come back.
    ASSERT_EQ(reader.OpenLession(kLesson), 0);
    EXPECT_EQ(reader.GetDeleteBlockState_I(0), 1);
    EXPECT_EQ(reader.GetDeleteBlockState_I(2), 1);
}

TEST_F(ReadAVTest, TotalsAndEstimates) {
    THandStore s;
    s.AddBlock(1, 0);
    // Figures of a long lesson; only the table matters for the estimates.
    s.blocks = {{25, 47, 0, 1000000, 0, 0}, {25, 47, 1000000, 2000000, 0, 0}};
    s.count = {50, 94, 2, 0};
    Write(s);
    ASSERT_EQ(reader.OpenLession(kLesson), 0);
    int mb = 0, sec = 0, rate = 0, t = 0;
    reader.Get_TotalFileInfo(mb, sec, rate);
    EXPECT_EQ(mb, 4);  // ceil(3,000,000 x 1.05 / 1 MiB)
    EXPECT_EQ(sec, 3); // ceil(94 x 21.33333 / 1000)
    const double expected = (3000000 - 94 * 349.5253333) / (94 * 21.33333) * 8 / 100;
    EXPECT_EQ(rate, int(std::lround(expected)));
    EXPECT_EQ(rate, 118);
    reader.DeleteIBlock_I(1);
    reader.Get_TotalFileInfo(mb, sec, rate);
    EXPECT_EQ(mb, 2);
    EXPECT_EQ(sec, 2);
    EXPECT_EQ(rate, 118); // over the whole recording
    reader.Get_TotalCaptureSeconds(t);
    EXPECT_EQ(t, 2);

    s.count.AudioCount = 2813;
    Write(s);
    ASSERT_EQ(reader.OpenLession(kLesson), 0);
    reader.Get_TotalCaptureSeconds(t);
    EXPECT_EQ(t, 60);

    s.count.AudioCount = 0; // no audio: the estimate falls back to 10
    Write(s);
    ASSERT_EQ(reader.OpenLession(kLesson), 0);
    reader.Get_TotalFileInfo(mb, sec, rate);
    EXPECT_EQ(rate, 10);
}

TEST_F(ReadAVTest, DamagedDataYieldsOnlyWholeFrames) {
    THandStore s;
    s.AddBlock(3, 2); // block 0: whole
    // Block 1: its second frame claims more bytes than the block has.
    TIndex_IBlock b{};
    b.pos = uint32_t(s.av.size());
    test::AppendFrame(s.av, kFrameH264Key, MakeFrame(kFrameH264Key, 500));
    std::vector<uint8_t> cut;
    test::AppendFrame(cut, kFrameH264, MakeFrame(kFrameH264, 501));
    cut.resize(cut.size() - 10);
    s.av.insert(s.av.end(), cut.begin(), cut.end());
    b.Length = uint32_t(s.av.size() - b.pos);
    b.VideoCount = 2;
    s.blocks.push_back(b);
    // Block 2 lies beyond the end of av.dat; block 3 counts more frames
    // than it holds; block 4 runs past the end of the file.
    s.blocks.push_back({5, 5, 1u << 30, 5000, 0, 0});
    s.AddBlock(2, 1);
    s.blocks.back().VideoCount = 9;
    s.AddBlock(4, 0);
    s.blocks.back().Length += 100000;
    s.count.IBlockCount = 5;
    Write(s);

    ASSERT_EQ(reader.OpenLession(kLesson), 0);
    const auto back = test::ReadAll(reader, false);
    EXPECT_EQ(back.badFrames, 0);
    std::vector<int64_t> seqs;
    for (const auto& f : back.frames) {
        seqs.push_back(f.seq);
    }
    EXPECT_EQ(seqs, (std::vector<int64_t>{0, 1, 2, 3, 4, 500, 5, 6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(back.frames[5].block, 1);
    EXPECT_EQ(back.frames[6].block, 3);
    EXPECT_EQ(back.frames.back().block, 4);
}

} // namespace
} // namespace tavrin
