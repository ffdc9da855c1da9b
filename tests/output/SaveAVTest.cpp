#include "base/MediaFrame.h"
#include "base/Message.h"
#include "tests/base/TempDir.h"
#include "tests/output/StoreTestKit.h"

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace tavrin {
namespace {

using test::MakeFrame;
using test::PushSecond;
using test::ReadAll;

std::string ReadBytes(const std::string& path, uint64_t offset, size_t size) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(std::streamoff(offset));
    std::string bytes(size, '\0');
    in.read(bytes.data(), std::streamsize(size));
    return bytes.substr(0, size_t(in.gcount()));
}

class SaveAVTest : public ::testing::Test {
protected:
    void SetUp() override {
        paths.initialize(dir.Path(), "1001");
        rec.Create(paths);
        reader.initialize(paths);
    }
    std::string Index(int lesson = kLesson) const {
        std::string s;
        paths.Get_IndexFile(lesson, s);
        return s;
    }
    std::string AV(int lesson = kLesson) const {
        std::string s;
        paths.Get_AVDataFile(lesson, s);
        return s;
    }
    void PushPicture(uint8_t type) {
        const auto p = MakeFrame(type, seq++);
        rec.PushH264(p.data(), int(p.size()), type);
    }
    void PushAudio() {
        const auto a = MakeFrame(kFrameAAC, seq++);
        rec.PushAAC(a.data(), int(a.size()));
    }

    static constexpr int kLesson = 812;
    test::TempDir dir;
    TGetLessionInfo paths;
    TSaveAV rec;
    TReadAV reader;
    uint32_t seq = 0;
};

TEST_F(SaveAVTest, BlocksStartAtKeyFramesAndTileTheDataFile) {
    ASSERT_EQ(rec.NewLession(kLesson, 1920, 1080), 0);
    EXPECT_EQ(std::filesystem::file_size(Index()), kIndexFileSize);
    EXPECT_EQ(std::filesystem::file_size(AV()), kAVFileSize);
    rec.SetCaptureState(true);
    for (int s = 0; s < 3; ++s) {
        PushSecond(rec, seq);
    }
    int nT = -1, nL = -1;
    rec.Get_TotalCaptureSeconds(nT, nL);
    EXPECT_EQ(nT, 3); // 141 audio frames = 3008 ms
    EXPECT_EQ(nL, 0);
    rec.EndLession();

    ASSERT_EQ(reader.OpenLession(kLesson), 0);
    const auto blocks = test::Blocks(reader);
    ASSERT_EQ(blocks.size(), 3u);
    uint64_t expectPos = 0;
    for (const test::TBlock& b : blocks) {
        EXPECT_EQ(b.pos, expectPos);
        EXPECT_EQ(b.VideoCount, 25);
        EXPECT_EQ(b.AudioCount, 47);
        EXPECT_EQ(b.DeleteFlag, 0);
        EXPECT_EQ(b.ErrorFlag, 0);
        expectPos += b.Length;
        // The block's first frame head, as stored: a key picture.
        const std::string head = ReadBytes(AV(), b.pos, 13);
        EXPECT_EQ(uint8_t(head[0]), kFrameH264Key);
    }
    // Frames after the last block's end are still zeros of the allocation.
    EXPECT_EQ(ReadBytes(AV(), expectPos, 64), std::string(64, '\0'));

    const TIndex_Head* h = nullptr;
    const TIndex_Count* c = nullptr;
    const TIndex_IBlock* t = nullptr;
    reader.GetLessionInfo_struc(h, c, t);
    EXPECT_EQ(+c->IBlockCount, 3);
    EXPECT_EQ(+c->VideoCount, 75);
    EXPECT_EQ(+c->AudioCount, 141);
    EXPECT_GT(+c->LastTime, 0.0);
    EXPECT_EQ(+h->videoWidth, 1920);
    EXPECT_EQ(+h->videoHeight, 1080);
    EXPECT_EQ(+h->LessionID, kLesson);
    EXPECT_EQ(std::string(h->UserID), "1001");
    EXPECT_GT(+h->createtionTime, 45000.0); // a day after 2023

    const auto back = ReadAll(reader, false);
    EXPECT_EQ(back.badFrames, 0);
    ASSERT_EQ(back.frames.size(), 216u);
    for (size_t i = 0; i < back.frames.size(); ++i) {
        EXPECT_EQ(back.frames[i].seq, int64_t(i)); // in the order they were pushed
        EXPECT_EQ(back.frames[i].block, int(i / 72));
    }
    // Each Length is the bytes of its frames, heads included.
    std::vector<uint64_t> sums(3, 0);
    for (const auto& f : back.frames) {
        sums[size_t(f.block)] += 13 + uint64_t(f.size);
    }
    for (size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(sums[k], blocks[k].Length);
    }
}

TEST_F(SaveAVTest, RecordingWaitsForAKeyFrameAndSwitchingClosesTheBlock) {
    ASSERT_EQ(rec.NewLession(kLesson, 1280, 720), 0);
    // Not recording yet: nothing is written.
    PushPicture(kFrameH264Key);
    PushAudio();
    rec.SetCaptureState(true);
    // Audio and a non-key picture before the first key frame are dropped.
    PushAudio();
    PushPicture(kFrameH264);
    const uint32_t firstKept = seq;
    PushPicture(kFrameH264Key);
    for (int i = 0; i < 10; ++i) {
        PushPicture(kFrameH264);
        PushAudio();
    }
    // Off mid-block: the block is closed with what it has; later pushes vanish.
    rec.SetCaptureState(false);
    PushPicture(kFrameH264Key);
    PushAudio();
    rec.SetCaptureState(true);
    PushAudio();
    PushPicture(kFrameH264);
    const uint32_t secondKept = seq;
    PushPicture(kFrameH264Key);
    PushAudio();
    rec.EndLession();

    ASSERT_EQ(reader.OpenLession(kLesson), 0);
    const auto blocks = test::Blocks(reader);
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0].VideoCount, 11);
    EXPECT_EQ(blocks[0].AudioCount, 10);
    EXPECT_EQ(blocks[1].pos, blocks[0].Length); // no gap after switching
    EXPECT_EQ(blocks[1].VideoCount, 1);
    EXPECT_EQ(blocks[1].AudioCount, 1);
    const auto back = ReadAll(reader, false);
    EXPECT_EQ(back.badFrames, 0);
    ASSERT_EQ(back.frames.size(), 23u);
    EXPECT_EQ(back.frames[0].seq, firstKept);
    EXPECT_EQ(back.frames[21].seq, secondKept);
    EXPECT_EQ(back.frames[21].type, kFrameH264Key);
}

TEST_F(SaveAVTest, ReopeningAppendsAfterTheLastClosedBlock) {
    ASSERT_EQ(rec.NewLession(kLesson, 1280, 720), 0);
    EXPECT_EQ(rec.SetThisPortInError(2, 3), 0); // recording off: no mark
    rec.SetCaptureState(true);
    PushSecond(rec, seq);
    PushSecond(rec, seq);
    // Lands in the block being recorded (the second), cleared when it closes.
    EXPECT_EQ(rec.SetThisPortInError(2, 0x105), 0x105); // low byte: 5
    PushPicture(kFrameH264Key);
    // The same lesson again: nothing is closed or reopened.
    EXPECT_EQ(rec.NewLession(kLesson, 1280, 720), 0);
    PushPicture(kFrameH264);
    EXPECT_EQ(rec.SetThisPortInError(0, 10), 10);
    rec.EndLession();
    const std::string headBefore = ReadBytes(Index(), 0, 142);

    TSaveAV again;
    again.Create(paths);
    ASSERT_EQ(again.NewLession(kLesson, 640, 360), 0);
    int nT = 0, nL = 0;
    again.Get_TotalCaptureSeconds(nT, nL);
    EXPECT_EQ(nT, 2); // continues from the stored totals
    again.SetCaptureState(true);
    PushSecond(again, seq);
    again.EndLession();
    EXPECT_EQ(ReadBytes(Index(), 0, 142), headBefore); // the head is never rewritten

    ASSERT_EQ(reader.OpenLession(kLesson), 0);
    const auto blocks = test::Blocks(reader);
    ASSERT_EQ(blocks.size(), 4u);
    EXPECT_EQ(blocks[0].ErrorFlag, 0);
    EXPECT_EQ(blocks[1].ErrorFlag, 5);
    EXPECT_EQ(blocks[2].ErrorFlag, 10);
    EXPECT_EQ(blocks[2].VideoCount, 2); // one block across the repeated NewLession
    EXPECT_EQ(blocks[3].ErrorFlag, 0);  // a fresh run starts unmarked
    for (size_t k = 1; k < blocks.size(); ++k) {
        EXPECT_EQ(blocks[k].pos, blocks[k - 1].pos + blocks[k - 1].Length);
    }
    const auto back = ReadAll(reader, false);
    EXPECT_EQ(back.badFrames, 0);
    ASSERT_EQ(back.frames.size(), 72u * 3 + 2);
    EXPECT_EQ(back.frames.back().seq, int64_t(seq - 1));
}

TEST_F(SaveAVTest, DamagedOrHalfStoresAreRebuilt) {
    ASSERT_EQ(rec.NewLession(kLesson, 1280, 720), 0);
    rec.SetCaptureState(true);
    PushSecond(rec, seq);
    PushSecond(rec, seq);
    rec.EndLession();

    // An index of the wrong size loses its table; av.dat is written from 0.
    std::filesystem::resize_file(Index(), 1000);
    ASSERT_EQ(rec.NewLession(kLesson, 1280, 720), 0);
    EXPECT_EQ(std::filesystem::file_size(Index()), kIndexFileSize);
    rec.SetCaptureState(true);
    const uint32_t first = seq;
    PushSecond(rec, seq);
    rec.EndLession();
    ASSERT_EQ(reader.OpenLession(kLesson), 0);
    auto blocks = test::Blocks(reader);
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].pos, 0u);
    auto back = ReadAll(reader, false);
    EXPECT_EQ(back.badFrames, 0);
    EXPECT_EQ(back.frames.front().seq, first);
    reader.EndLession();

    // An index larger than it should be is cut back to its size.
    std::filesystem::resize_file(Index(), kIndexFileSize + 4096);
    ASSERT_EQ(rec.NewLession(kLesson, 1280, 720), 0);
    rec.EndLession();
    EXPECT_EQ(std::filesystem::file_size(Index()), kIndexFileSize);

    // A lone index.dat is no lesson: both files start afresh.
    std::filesystem::remove(AV());
    int progressCalls = 0, lastProgress = 0;
    rec.SetPrepareProgress([&](int p) {
        ++progressCalls;
        lastProgress = p;
    });
    ASSERT_EQ(rec.NewLession(kLesson, 1280, 720), 0);
    rec.EndLession();
    EXPECT_GE(progressCalls, 1);
    EXPECT_EQ(lastProgress, 100);
    EXPECT_EQ(std::filesystem::file_size(AV()), kAVFileSize);
    EXPECT_EQ(reader.OpenLession(kLesson), TReadAV::kNoBlocks);
}

TEST_F(SaveAVTest, IgnoredPushesLeaveNoTrace) {
    ASSERT_EQ(rec.NewLession(kLesson, 1280, 720), 0);
    rec.SetCaptureState(true);
    PushSecond(rec, seq);
    // Not a picture type, a negative size, no data: nothing is written.
    const auto odd = MakeFrame(kFrameH264, 99);
    rec.PushH264(odd.data(), int(odd.size()), kFrameAAC);
    rec.PushH264(odd.data(), -5, kFrameH264);
    rec.PushH264(nullptr, 10, kFrameH264);
    rec.PushAAC(nullptr, 10);
    // The limits stop recording for good, even when it is switched on again.
    rec.PreventCapture();
    PushSecond(rec, seq);
    rec.SetCaptureState(true);
    PushSecond(rec, seq);
    rec.EndLession();
    ASSERT_EQ(reader.OpenLession(kLesson), 0);
    const auto back = ReadAll(reader, false);
    EXPECT_EQ(back.frames.size(), 72u);
    EXPECT_EQ(back.badFrames, 0);
}

TEST_F(SaveAVTest, FolderThatCannotBeMadeIsReported) {
    test::WriteFile(dir.File("blocker"), "a file where the user folder should be");
    TGetLessionInfo blocked;
    blocked.initialize(dir.File("blocker"), "1001");
    TSaveAV r;
    r.Create(blocked);
    EXPECT_EQ(r.NewLession(kLesson, 1280, 720), TSaveAV::kFolderFailed);
    EXPECT_EQ(r.OpenLessionID(), -1);
}

TEST_F(SaveAVTest, AHeldDataFileEndsTheRecorder) {
    ASSERT_EQ(rec.NewLession(kLesson, 1280, 720), 0);
    rec.SetCaptureState(true);
    PushSecond(rec, seq);
    rec.EndLession();

    TMessageRecorder messages;
    TStoreFile holder;
    ASSERT_EQ(holder.Open(AV(), O_RDONLY, TStoreFile::TLock::Shared), TStoreFile::kOpened);
    EXPECT_EQ(rec.NewLession(kLesson, 1280, 720), TSaveAV::kDataFailed);
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].text, kDataOpenFailedExit);
    EXPECT_EQ(messages.EndProcessCount(), 1);
    EXPECT_EQ(rec.OpenLessionID(), -1);
    holder.Close();
    // Nothing of the lesson was touched.
    ASSERT_EQ(reader.OpenLession(kLesson), 0);
    EXPECT_EQ(ReadAll(reader, false).frames.size(), 72u);
}

} // namespace
} // namespace tavrin
