#include "base/GloTimer.h"
#include "sources/ClientThread.h"
#include "tests/sources/FakeLinks.h"
#include "tests/support/TestMedia.h"

#include <gtest/gtest.h>

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
    // The decoder's frame threads hold a few pictures back.
    ASSERT_GE(programme.pushedPictureWidths.size(), 6u);
    for (int w : programme.pushedPictureWidths) {
        EXPECT_EQ(w, 640);
    }
    EXPECT_EQ(preview.frames, int(programme.pushedPictureWidths.size()));
    EXPECT_FALSE(preview.lastHadCut);
    EXPECT_EQ(worker.GetPIX().empty(), false);
}

TEST_F(WorkerVideoTest, PreviewOnlyWhenNotOnTheProgramme) {
    PlayAll();
    EXPECT_TRUE(programme.pushedPictureWidths.empty());
    EXPECT_GE(preview.frames, 6);
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

} // namespace
} // namespace tavrin
