// The replay engine on real recorded media: pacing by the clock and the
// wave player, audio shifts both ways, resynchronising on a key frame, cut
// blocks skipped, jumps after the end, and the marks it saves.
#include "base/GloTimer.h"
#include "base/Thread.h"
#include "replay/ReplayClientThread.h"
#include "tests/base/TempDir.h"
#include "tests/mp4/LessonKit.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <set>

namespace tavrin {
namespace {

constexpr int kLesson = 77;
constexpr int kRulerW = 1200;
constexpr int kRulerH = 120;
constexpr int kBlockY = kRulerH - 40;

class ReplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        paths.initialize(dir.Path(), "1001");
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        // No sound device: the wave player stays closed and never holds
        // buffers, so every step is decided by the shift rules alone.
        setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    }
    void Open(int seconds, const std::vector<int>& deleted = {}) {
        lesson = test::WriteMediaLesson(paths, kLesson, 640, 360, seconds, deleted);
        engine = std::make_unique<TReplayClientThread>(paths);
        ASSERT_EQ(engine->initialize(kLesson, 0, {0, 0, 320, 180}, 0, 0, kRulerW, kRulerH), 0);
    }
    // Steps until n audio frames were handled or the lesson ended.
    int Steps(int n) {
        int done = 0;
        while (done < n && engine->PlayStep() == 1) {
            ++done;
        }
        return done;
    }

    test::TempDir dir;
    TGetLessionInfo paths;
    test::TMediaLesson lesson;
    std::unique_ptr<TReplayClientThread> engine;
};

TEST(LessionLength, SecondsMinutesAndText) {
    const TLessionLength short59 = LessionLengthOf(2766); // 59.0 s
    EXPECT_EQ(short59.nS_Total, 59);
    EXPECT_EQ(short59.nM_Total, 0);
    EXPECT_EQ(short59.sTotalTime, "00:00:59");
    const TLessionLength l = LessionLengthOf(int32_t(3725 * 46.875));
    EXPECT_EQ(l.nH_Total, 1);
    EXPECT_EQ(l.nM_Total, 62);
    EXPECT_EQ(l.sTotalTime, "01:02:05");
}

TEST(PacingGate, OneStepPer21MsAndABacklogIsDropped) {
    TGetLessionInfo paths;
    TReplayClientThread engine(paths);
    TTestClock clock(1000);
    EXPECT_TRUE(engine.PacingGateOpen()); // 0 + 100 < 1000: restarts at now
    EXPECT_FALSE(engine.PacingGateOpen());
    clock.Advance(20);
    EXPECT_FALSE(engine.PacingGateOpen());
    clock.Advance(1);
    EXPECT_TRUE(engine.PacingGateOpen());
    clock.Advance(95); // 95 ms late: caught up step by step
    int opened = 0;
    while (engine.PacingGateOpen()) {
        ++opened;
    }
    EXPECT_EQ(opened, 4); // 1042, 1063, 1084, 1105
    clock.Advance(500);   // more than 100 ms late: one step, no burst
    EXPECT_TRUE(engine.PacingGateOpen());
    EXPECT_FALSE(engine.PacingGateOpen());
}

TEST_F(ReplayTest, EachStepPlaysOneAudioFrameAndThePicturesAroundIt) {
    Open(3);
    EXPECT_EQ(engine->Length().nS_Total, 3);
    EXPECT_EQ(Steps(47), 47);
    EXPECT_EQ(engine->AudioFramesPlayed(), 47);
    // A second of audio brings about a second of pictures.
    EXPECT_NEAR(double(engine->PicturesShown()), 25.0, 2.0);
    TIndex_Head head{};
    EXPECT_EQ(engine->GetLessionInfo_struc(head), 3);
    const int w = head.videoWidth; // copies: the record is packed
    const int h = head.videoHeight;
    EXPECT_EQ(w, 640); // the decoded size, not the stored one
    EXPECT_EQ(h, 360);
}

TEST_F(ReplayTest, PicturesReachThePortAtItsSizeAlsoAfterAResize) {
    Open(2);
    const std::shared_ptr<TDisplay> port = engine->DispManager().Port(0);
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(Steps(10), 10);
    const int64_t before = engine->PicturesShown();
    EXPECT_GT(before, 0);
    // An odd size (chroma rounds up), then larger than the recording.
    for (const SDL_Rect r : {SDL_Rect{0, 0, 425, 239}, SDL_Rect{0, 0, 1280, 720}}) {
        engine->Resize_disp(r);
        const int64_t shown = engine->PicturesShown();
        EXPECT_EQ(Steps(10), 10);
        EXPECT_GT(engine->PicturesShown(), shown) << r.w;
    }
    // The engine scaled each picture to what the port shows: the port
    // never had to scale one again.
    EXPECT_EQ(port->ScaledPictures(), 0);
}

TEST_F(ReplayTest, AudioOffStillAdvancesPicturesAtTheAudioPace) {
    Open(2);
    engine->DisablePlayAudio();
    EXPECT_EQ(Steps(47), 47);
    EXPECT_EQ(engine->AudioFramesPlayed(), 0);
    EXPECT_NEAR(double(engine->PicturesShown()), 25.0, 2.0);
}

TEST_F(ReplayTest, PositiveShiftHoldsTenAudioFramesWhilePicturesGoOn) {
    Open(2);
    engine->SetAudioDelayFrameCount(10);
    EXPECT_EQ(Steps(1), 1);
    EXPECT_EQ(engine->AudioFramesPlayed(), 1);
    EXPECT_EQ(engine->HeldAudio(), 9u); // ten were read before the first played
    EXPECT_GE(engine->PicturesShown(), 4);
    Steps(20);
    EXPECT_EQ(engine->HeldAudio(), 9u);
    EXPECT_EQ(engine->HeldVideo(), 0u);
}

TEST_F(ReplayTest, NegativeShiftHoldsPicturesBack) {
    Open(2);
    engine->SetAudioDelayFrameCount(-10);
    Steps(30);
    // Pictures wait until 40 per held picture reach 210: the sixth held
    // picture releases the oldest, so five stay behind.
    EXPECT_EQ(engine->HeldVideo(), 5u);
    EXPECT_EQ(engine->HeldAudio(), 0u);
    EXPECT_EQ(engine->AudioFramesPlayed(), 30);
}

TEST_F(ReplayTest, ShiftChangeResumesOnTheNextKeyFrame) {
    Open(3);
    engine->SetAudioDelayFrameCount(10);
    Steps(5);
    ASSERT_EQ(engine->CurrentIBlock(), 0);
    ASSERT_GT(engine->HeldAudio(), 0u);
    engine->SetAudioDelayFrameCount(0);
    const int64_t shown = engine->PicturesShown();
    EXPECT_EQ(Steps(1), 1);
    // Held packets are gone and reading went on from block 1's key frame.
    EXPECT_EQ(engine->CurrentIBlock(), 1);
    EXPECT_EQ(engine->HeldAudio(), 0u);
    EXPECT_EQ(engine->PicturesShown(), shown + 1);
}

TEST_F(ReplayTest, CutBlocksAreSkipped) {
    Open(4, {1, 2});
    std::set<int> seen;
    while (engine->PlayStep() == 1) {
        seen.insert(engine->CurrentIBlock());
    }
    EXPECT_EQ(seen, (std::set<int>{0, 3}));
    EXPECT_EQ(engine->AudioFramesPlayed(), lesson.AudioCount({1, 2}));
}

TEST_F(ReplayTest, AfterTheEndAJumpBackResumes) {
    Open(2);
    while (engine->PlayStep() == 1) {
    }
    EXPECT_EQ(engine->PlayStep(), -1);
    EXPECT_EQ(engine->PlayStep(), -1);
    EXPECT_EQ(engine->MoveTo(5, 55), 0);      // between the rows
    EXPECT_EQ(engine->MoveTo(5, kBlockY), 1); // block 0 of the current minute
    EXPECT_EQ(engine->PlayStep(), 1);
    EXPECT_EQ(engine->CurrentIBlock(), 0);
    EXPECT_EQ(engine->MoveTo(25, kBlockY), 1); // block 1
    EXPECT_EQ(engine->PlayStep(), 1);
    EXPECT_EQ(engine->CurrentIBlock(), 1);
}

TEST_F(ReplayTest, MarksReachTheStoreOnlyOnSave) {
    Open(3);
    EXPECT_EQ(engine->SetDropIblock(25, kBlockY), 1);
    EXPECT_EQ(engine->QueryDeletedBlockSeconds(), 1);
    EXPECT_EQ(engine->Save(), 0);
    EXPECT_EQ(engine->SetDropIblock(45, kBlockY), 1);
    EXPECT_EQ(engine->RecoveryAllDeleteIBlock(), 2);
    engine.reset();
    // Reopened: the saved mark is back, the unsaved one and the clear are not.
    TReadAV reader;
    reader.initialize(paths);
    ASSERT_EQ(reader.OpenLession(kLesson), 0);
    EXPECT_EQ(reader.GetDeleteBlockState_I(1), 1);
    EXPECT_EQ(reader.GetDeleteBlockState_I(2), 0);
}

TEST_F(ReplayTest, UnrecordedLessonReturnsTheStoreError) {
    TReplayClientThread engine2(paths);
    EXPECT_EQ(engine2.initialize(5, 0, {0, 0, 320, 180}, 0, 0, kRulerW, kRulerH),
              TReadAV::kNotRecorded);
}

} // namespace
} // namespace tavrin

namespace tavrin {
namespace {

// Stands in for the main window: counts the calls handed to its thread and
// notes whether each ran there.
class TGuiStandIn : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::MetaCall) {
            ++handed;
            onOwnThread = onOwnThread && QThread::currentThread() == thread();
        }
        return QObject::event(e);
    }
    int handed = 0;
    bool onOwnThread = true;
};

// The whole engine on its thread with SDL's disk audio driver: the decoded
// tone reaches the device and the ruler redraw of every key frame is handed
// to the GUI thread.
TEST(ReplayThread, PlaysToTheDiskDeviceAndRedrawsAtKeyFrames) {
    int argc = 1;
    char name[] = "replay_engine_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    TGuiStandIn gui;
    test::TempDir dir;
    TGetLessionInfo paths;
    paths.initialize(dir.Path(), "1001");
    const auto lesson = test::WriteMediaLesson(paths, kLesson, 640, 360, 2);
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", dir.File("device.raw").c_str(), 1);
    TGloTimer().initialize();
    {
        TReplayClientThread engine(paths);
        engine.SetGuiContext(&gui);
        ASSERT_EQ(engine.initialize(kLesson, 0, {0, 0, 320, 180}, 0, 0, kRulerW, kRulerH), 0);
        ASSERT_TRUE(engine.WavePlayer().IsOpen());
        engine.Start();
        for (int i = 0; i < 1000 && engine.AudioFramesPlayed() < lesson.AudioCount(); ++i) {
            QCoreApplication::processEvents();
            SleepMs(10);
        }
        EXPECT_EQ(engine.AudioFramesPlayed(), lesson.AudioCount());
        EXPECT_EQ(engine.CurrentIBlock(), 1);
        engine.Destroy();
    }
    EXPECT_EQ(gui.handed, 2);
    EXPECT_TRUE(gui.onOwnThread);
    std::ifstream in(dir.File("device.raw"), std::ios::binary);
    const std::string pcm((std::istreambuf_iterator<char>(in)), {});
    // Some of the tone has been played: not silence.
    ASSERT_GT(pcm.size(), 4096u * 10);
    EXPECT_NE(pcm.find_first_not_of('\0', 4096), std::string::npos);
}

} // namespace
} // namespace tavrin
