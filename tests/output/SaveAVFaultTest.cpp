// The recorder on a disk that refuses: full when a lesson is prepared, a
// frame or an index write refused mid-lesson. Whatever was recorded before
// must read back whole.
#include "base/MediaFrame.h"
#include "tests/base/TempDir.h"
#include "tests/output/StoreLabIO.h"
#include "tests/output/StoreTestKit.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

namespace tavrin {
namespace {

using test::PushSecond;
using test::ReadAll;

class SaveAVFaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        paths.initialize(dir.Path(), "1001");
        rec.SetStoreIO(io);
        rec.Create(paths);
        reader.initialize(paths);
    }
    std::string File(bool index) const {
        std::string s;
        index ? paths.Get_IndexFile(kLesson, s) : paths.Get_AVDataFile(kLesson, s);
        return s;
    }
    // Pictures of each block read back: in pushing order with no gap, each
    // block starting at a key picture.
    void ExpectWholeBlocks(size_t blocks, size_t atMost = 0) {
        ASSERT_EQ(reader.OpenLession(kLesson), 0);
        const size_t n = test::Blocks(reader).size();
        ASSERT_GE(n, blocks);
        ASSERT_LE(n, std::max(blocks, atMost));
        const auto back = ReadAll(reader, true);
        EXPECT_EQ(back.badFrames, 0);
        int lastBlock = -1;
        int64_t lastSeq = -1;
        for (const auto& f : back.frames) {
            if (f.block != lastBlock) {
                EXPECT_EQ(f.type, kFrameH264Key) << "block " << f.block;
                lastBlock = f.block;
            } else {
                EXPECT_EQ(f.seq, lastSeq + 1) << "a frame is missing inside block " << f.block;
            }
            lastSeq = f.seq;
        }
    }

    static constexpr int kLesson = 2901;
    test::TempDir dir;
    test::TLabStoreIO io;
    TGetLessionInfo paths;
    TSaveAV rec;
    TReadAV reader;
    uint32_t seq = 0;
};

TEST_F(SaveAVFaultTest, ALessonThatDoesNotFitLeavesNoFilesAndFailsAgainOnRetry) {
    // index.dat fits, av.dat does not.
    io.FailAllocate(ENOSPC, kAVFileSize);
    EXPECT_EQ(rec.NewLession(kLesson, 1280, 720), TSaveAV::kDataFailed);
    EXPECT_FALSE(std::filesystem::exists(File(false)));
    EXPECT_FALSE(std::filesystem::exists(File(true)));
    // The retry must not take a data file that was never allocated for a
    // prepared one (recording would then grow it frame by frame).
    EXPECT_EQ(rec.NewLession(kLesson, 1280, 720), TSaveAV::kDataFailed);
    EXPECT_EQ(NewLessionFailureText(TSaveAV::kDataFailed, "x"),
              "录像数据文件打不开,请考虑退出本软件,或重启电脑,或者等几秒再试");
    // Once there is room, the lesson is prepared as usual.
    io.FailAllocate(0);
    ASSERT_EQ(rec.NewLession(kLesson, 1280, 720), TSaveAV::kNewOK);
    EXPECT_EQ(std::filesystem::file_size(File(false)), kAVFileSize);
}

TEST_F(SaveAVFaultTest, ARefusedFrameEndsItsBlockAndRecordingResumesAtTheNextKeyFrame) {
    ASSERT_EQ(rec.NewLession(kLesson, 1280, 720), 0);
    rec.SetCaptureState(true);
    PushSecond(rec, seq);
    PushSecond(rec, seq);
    // The 10th frame of the third second is refused once, then the disk
    // takes frames again (the first write is the closing block's note).
    io.FailWrites("av.dat", 1 + 9, ENOSPC, 1);
    PushSecond(rec, seq);
    PushSecond(rec, seq);
    rec.EndLession();
    // Seconds 1, 2, the third's first 9 frames, and the fourth.
    ExpectWholeBlocks(4);
    const auto blocks = test::Blocks(reader);
    EXPECT_EQ(blocks[2].VideoCount + blocks[2].AudioCount, 9);
    EXPECT_EQ(blocks[3].pos, blocks[2].pos + blocks[2].Length);
}

TEST_F(SaveAVFaultTest, AnIndexThatCannotBeWrittenStopsRecordingWithEarlierBlocksIntact) {
    ASSERT_EQ(rec.NewLession(kLesson, 1280, 720), 0);
    rec.SetCaptureState(true);
    for (int s = 0; s < 3; ++s) {
        PushSecond(rec, seq);
    }
    rec.SetCaptureState(false); // closes the third block
    rec.SetCaptureState(true);
    while (rec.DurableBlocks() < 3) {
        std::this_thread::yield();
    }
    // The next entry is refused once; later writes would succeed.
    io.FailWrites("index.dat", 0, EIO, 1);
    for (int s = 0; s < 3; ++s) {
        PushSecond(rec, seq);
    }
    rec.EndLession();
    // A table with a hole would hand out a damaged block.
    ExpectWholeBlocks(3);
}

TEST_F(SaveAVFaultTest, AFailedFlushStopsRecordingWithEarlierBlocksIntact) {
    ASSERT_EQ(rec.NewLession(kLesson, 1280, 720), 0);
    rec.SetCaptureState(true);
    PushSecond(rec, seq);
    PushSecond(rec, seq);
    rec.SetCaptureState(false);
    rec.SetCaptureState(true);
    while (rec.DurableBlocks() < 2) {
        std::this_thread::yield();
    }
    io.FailSyncs("av.dat", EIO);
    PushSecond(rec, seq);
    PushSecond(rec, seq); // its key picture closes the third block, whose flush fails
    // The flush fails on the syncer's thread; the recorder learns of it then.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!rec.StoreBroken() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    ASSERT_TRUE(rec.StoreBroken());
    PushSecond(rec, seq);
    rec.SetCaptureState(false);
    rec.EndLession();
    // Blocks closed before the recorder saw the failure were noted with
    // their CRC; their bytes still read back whole here, so they are adopted
    // (after a power cut they would fail the CRC instead). None is damaged.
    ExpectWholeBlocks(2, 4);
}

} // namespace
} // namespace tavrin
