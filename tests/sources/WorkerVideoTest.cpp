#include "av/AvPtr.h"
#include "base/GloTimer.h"
#include "sources/ClientThread.h"
#include "tests/sources/FakeLinks.h"
#include "tests/support/TestMedia.h"

#include <cstring>
#include <gtest/gtest.h>
#include <thread>

namespace tavrin {
namespace {

class WorkerVideoTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(worker.initialize(1, 1, 1280, 720), 0);
        worker.SetLinks(&programme, &preview, &monitor);
        units = test::EncodeTestVideo(1280, 720, 12);
        ASSERT_EQ(units.size(), 12u);
    }
    void PlayAll() {
        for (const auto& u : units) {
            worker.PushFrame(u.data());
        }
        while (worker.QueuedVideo() > 0) {
            worker.PlayNext();
        }
    }

    TTestClock clock{0};
    test::FakeProgramme programme;
    test::FakePreview preview;
    test::FakeMonitor monitor;
    TClientThread worker;
    std::vector<std::vector<uint8_t>> units;
};

TEST_F(WorkerVideoTest, ProgrammeChannelDeliversClipsAtTheAskedSize) {
    programme.slot = 2;
    programme.dstW = 640;
    programme.dstH = 360;
    PlayAll();
    // A live channel's decoder holds no picture back: every unit is on the
    // programme as soon as it was played.
    ASSERT_EQ(programme.pushedPictureWidths.size(), units.size());
    for (int w : programme.pushedPictureWidths) {
        EXPECT_EQ(w, 640);
    }
    EXPECT_EQ(preview.frames, int(programme.pushedPictureWidths.size()));
    EXPECT_FALSE(preview.lastHadCut);
    // The preview is made at its port's size, not scaled by the port again.
    EXPECT_EQ(preview.lastW, preview.portRect.w);
    EXPECT_EQ(preview.lastH, preview.portRect.h);
    EXPECT_EQ(worker.GetPIX().empty(), false);
}

TEST_F(WorkerVideoTest, StagesOfEachPictureAreObservedInOrderWithItsStamp) {
    programme.slot = 1;
    std::vector<std::pair<int, int64_t>> seen;
    worker.SetStageObserver([&](int port, TClientThread::TStage stage, int64_t pts) {
        EXPECT_EQ(port, 1);
        seen.emplace_back(int(stage), pts);
    });
    for (size_t i = 0; i < 3; ++i) {
        // Distinct stamps, so each picture can be followed.
        std::vector<uint8_t> unit = units[i];
        TZeroMediaFrameHead head{};
        ASSERT_TRUE(ReadMediaFrameHead(unit, head));
        head.PTS = int64_t(i + 1) * 40000;
        WriteMediaFrameHead(head, unit);
        worker.PushFrame(unit.data());
        worker.PlayNext();
    }
    const std::vector<std::pair<int, int64_t>> expected = {
        {0, 40000}, {1, 40000}, {2, 40000},  {3, 40000},  {0, 80000},  {1, 80000},
        {2, 80000}, {3, 80000}, {0, 120000}, {1, 120000}, {2, 120000}, {3, 120000}};
    EXPECT_EQ(seen, expected);
    worker.SetStageObserver(nullptr);
    worker.PushFrame(units[3].data());
    worker.PlayNext();
    EXPECT_EQ(seen.size(), expected.size());
}

TEST_F(WorkerVideoTest, PreviewOnlyWhenNotOnTheProgramme) {
    PlayAll();
    EXPECT_TRUE(programme.pushedPictureWidths.empty());
    EXPECT_GE(preview.frames, 6);
}

// A channel nobody watches (no preview link: no display) is decoded and
// clipped for the programme, but no preview picture is scaled for it; one
// that is watched gets a preview of each picture, on or off the programme.
TEST_F(WorkerVideoTest, NoPreviewIsScaledForAChannelNobodySees) {
    TClientThread unseen;
    ASSERT_EQ(unseen.initialize(2, 2, 1280, 720), 0);
    unseen.SetLinks(&programme, nullptr, &monitor);
    // Pictures of a size no preview would have by chance.
    units = test::EncodeTestVideo(640, 360, 12);
    ASSERT_EQ(units.size(), 12u);
    preview.portRect = {0, 0, 320, 180};
    programme.slot = 1;
    programme.dstW = 640;
    programme.dstH = 360;
    const size_t half = units.size() / 2;
    for (size_t i = 0; i < units.size(); ++i) {
        if (i == half) {
            programme.slot = 0; // off the programme for the second half
        }
        unseen.PushFrame(units[i].data());
        unseen.PlayNext();
    }
    EXPECT_EQ(programme.pushedPictureWidths.size(), half);
    EXPECT_EQ(unseen.PreviewsScaled(), 0u);
    EXPECT_EQ(preview.frames, 0);

    programme.slot = 1;
    programme.pushedPictureWidths.clear();
    for (size_t i = 0; i < units.size(); ++i) {
        if (i == half) {
            programme.slot = 0;
        }
        worker.PushFrame(units[i].data());
        worker.PlayNext();
    }
    EXPECT_EQ(programme.pushedPictureWidths.size(), half);
    EXPECT_EQ(worker.PreviewsScaled(), uint64_t(units.size()));
    EXPECT_EQ(preview.frames, int(units.size()));
}

TEST_F(WorkerVideoTest, TestRectangleIsShownInPortPixelsAndAdjustedTo16By9) {
    int mx = 0;
    int my = 0;
    EXPECT_FALSE(worker.SetClipArea(0, 0, 500, 500, mx, my, true)) << "no picture yet";
    EXPECT_FALSE(worker.ConvertTestRectToReal(mx, my));
    PlayAll();
    ASSERT_TRUE(worker.SetClipArea(0, 0, 500, 500, mx, my, true));
    worker.PushFrame(units[0].data());
    worker.PlayNext();
    ASSERT_TRUE(preview.lastHadTest);
    EXPECT_EQ(preview.lastTest.x, 0);
    EXPECT_EQ(preview.lastTest.y, 0);
    EXPECT_EQ(preview.lastTest.w, 320);
    EXPECT_EQ(preview.lastTest.h, 180);
    TestRect shown;
    TestRect adjusted;
    ASSERT_TRUE(worker.GetTestRect(shown, adjusted));
    EXPECT_GT(adjusted.Rect.w, 0);
    // The adjusted area keeps 16:9 within a pixel or two of rounding.
    EXPECT_NEAR(double(adjusted.Rect.w) / adjusted.Rect.h, 16.0 / 9.0, 0.05);

    ASSERT_TRUE(worker.ConvertTestRectToReal(mx, my));
    EXPECT_FALSE(worker.GetTestRect(shown, adjusted));
    worker.SetInCut(true);
    programme.slot = 1;
    worker.PushFrame(units[1].data());
    worker.PlayNext();
    EXPECT_TRUE(preview.lastHadCut);
    EXPECT_FALSE(preview.lastHadTest);
}

TEST_F(WorkerVideoTest, DevicePicturesAndQueuedUnitsNeverShareTheScalerAtOnce) {
    // A local device hands decoded pictures over on its capture thread while
    // the channel's own thread plays what is queued (a source being replaced
    // does this). At these sizes the preview scaler is rebuilt on every
    // switch between the two; used by both at once it crashed the console.
    AvFramePtr device(av_frame_alloc());
    device->format = AV_PIX_FMT_YUV420P;
    device->width = 960;
    device->height = 540;
    ASSERT_EQ(av_frame_get_buffer(device.get(), 0), 0);
    for (int i = 0; i < 3; ++i) {
        std::memset(device->data[i], 90 + 40 * i, size_t(device->linesize[i]) * (i ? 270 : 540));
    }
    constexpr int kDevicePictures = 400;
    constexpr int kRounds = 20;
    std::thread capture([&] {
        for (int i = 0; i < kDevicePictures; ++i) {
            worker.RealPlayYUV(device.get());
        }
    });
    for (int round = 0; round < kRounds; ++round) {
        PlayAll();
    }
    capture.join();
    EXPECT_EQ(preview.frames, kDevicePictures + kRounds * int(units.size()));
    EXPECT_EQ(preview.lastW, preview.portRect.w);
}

} // namespace
} // namespace tavrin
