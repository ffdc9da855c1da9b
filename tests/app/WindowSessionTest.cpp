// A short lesson through the console window, kept small enough to run under
// the address and leak sanitizers: capture from an MP4, recording through the
// record button, replay of what was recorded through the chooser button, back
// to capture with the same channel, and the window closed. Any invalid access
// or leak on the way fails the sanitized build.
#include "app/DispPanel.h"
#include "app/FMain.h"
#include "base/Message.h"
#include "base/ui/ImageButton.h"
#include "sources/CManager.h"
#include "tests/app/ConsoleWindowTest.h"
#include "tests/app/WindowTestSupport.h"
#include "tests/base/TempDir.h"
#include "tests/support/TestMedia.h"
#include "tests/support/ui/GuiTestEnv.h"

#include <deque>
#include <gtest/gtest.h>

namespace tavrin {
namespace {

using test::Pump;
using test::WaitUntil;

constexpr int32_t kLesson = 103;

class WindowSessionTest : public test::TConsoleWindowTest {
protected:
    void SetUp() override {
        TConsoleWindowTest::SetUp();
        WriteIni(3, 1024, 684);
        lesson_.LessionID = kLesson;
        lesson_.LessionName = "Session";
    }
};

TEST_F(WindowSessionTest, CaptureRecordReplayAndBackEndCleanly) {
    const std::string movie = dir_.File("movie.mp4");
    ASSERT_TRUE(
        test::Run("ffmpeg -loglevel error -f lavfi -i testsrc2=size=320x180:rate=25 -f lavfi "
                  "-i sine=frequency=440:sample_rate=48000 -t 4 -c:v libx264 -g 25 "
                  "-pix_fmt yuv420p -c:a aac -ac 2 -y " +
                  movie));
    TMessageRecorder messages;
    Open(kModeCapture);
    ASSERT_EQ(win_->CurrentWorkMode(), kModeCapture);
    const auto click = [&](TBar bar, int tag) {
        TImageButton* b = test::BarButton(win_.get(), bar, tag);
        ASSERT_NE(b, nullptr);
        ASSERT_TRUE(xdo_.Click(b));
    };

    TCManager& capture = (*win_->Capture()->Session().Manager());
    capture.ConnectThis(movie, 1, kDeviceMp4);
    capture.SetCycle(1, true);
    ASSERT_TRUE(xdo_.Click(test::PaneOf(win_.get(), 1)));
    ASSERT_TRUE(WaitUntil([&] { return win_->Capture()->CurrentPort() == 1; }));
    click(TBar::Capture, 1); // the movie over the whole programme
    std::vector<int32_t> programme;
    ASSERT_TRUE(WaitUntil([&] {
        capture.GetCombinePorts(programme);
        return programme == std::vector<int32_t>{1};
    }));
    click(TBar::Capture, 4);
    ASSERT_TRUE(WaitUntil([&] { return win_->Capture()->Recording(); }));
    int seconds = 0;
    int mbytes = 0;
    ASSERT_TRUE(WaitUntil(
        [&] { return win_->Capture()->Session().RecordTotals(seconds, mbytes) && seconds >= 3; },
        60000));
    click(TBar::Capture, 4);
    ASSERT_TRUE(WaitUntil([&] { return !win_->Capture()->Recording(); }));

    choices_.push_back(kModeReplay);
    click(TBar::Capture, 52);
    ASSERT_TRUE(WaitUntil([&] { return win_->CurrentWorkMode() == kModeReplay; }, 20000));
    ASSERT_TRUE(WaitUntil([&] { return win_->Replay()->Worker().PicturesShown() > 5; }, 30000));
    test::SaveScreen("session-replay");

    choices_.push_back(kModeCapture);
    click(TBar::Replay, 52);
    ASSERT_TRUE(WaitUntil([&] { return win_->CurrentWorkMode() == kModeCapture; }, 20000));
    TClientInfo info;
    ASSERT_TRUE((*win_->Capture()->Session().Manager()).GetConInfo(1, info));
    EXPECT_EQ(info.DeviceType, kDeviceMp4);
    // It looped when capture was left, and loops again.
    EXPECT_TRUE((*win_->Capture()->Session().Manager()).GetCycle(1));
    Pump(500);
    ASSERT_TRUE(win_->close());
    win_.reset();
    for (const auto& m : messages.Messages()) {
        ADD_FAILURE() << "unexpected message: " << m.text;
    }
}

} // namespace
} // namespace tavrin
