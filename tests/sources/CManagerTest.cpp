// The channel manager without network sources: programme label, Esc undo,
// unknown channels, and a local MP4 channel with its playback and cut.
#include "sources/CManager.h"

#include "base/Trace.h"
#include "compose/CombineOut.h"
#include "tests/base/TempDir.h"
#include "tests/sources/ManagerFixture.h"
#include "tests/support/TestMedia.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

namespace tavrin {
namespace {

bool WaitFor(const std::function<bool()>& done, int timeoutMs = 20000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done() && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

using CManagerTest = test::TManagerFixture;

TEST(CManagerLabel, ProgrammeLabelNamesSizeAndRate) {
    EXPECT_EQ("1080P, 2.0Mbps", TCManager::MakePixLabel(1920, 1080, 2097152));
    EXPECT_EQ("720P, 1.5Mbps", TCManager::MakePixLabel(1280, 720, 1572864));
    EXPECT_EQ("4K, 8.0Mbps", TCManager::MakePixLabel(3840, 2160, 8 << 20));
    EXPECT_EQ("1024x768, 0.5Mbps", TCManager::MakePixLabel(1024, 768, 524288));
}

// The lateness of a recording is read from the ticks the pipeline kept:
// those from a given tick number on, however much of the history the ring
// has already dropped.
TEST(CManagerLabel, LatenessOfTheTicksFromAGivenTick) {
    const uint64_t ticks = 1300; // ticks 1000..1299 kept
    std::vector<uint16_t> late(300, 1);
    late[0] = 90;   // tick 1000
    late[99] = 70;  // tick 1099
    late[100] = 9;  // tick 1100
    late[299] = 12; // tick 1299
    uint32_t p99 = 0;
    uint32_t most = 0;
    ASSERT_TRUE(TCManager::LatenessFrom(late, ticks, 1100, p99, most));
    EXPECT_EQ(most, 12u);
    EXPECT_EQ(p99, 9u);                                              // of 200 ticks, the 199th
    ASSERT_TRUE(TCManager::LatenessFrom(late, ticks, 0, p99, most)); // from before the ring
    EXPECT_EQ(most, 90u);
    EXPECT_EQ(p99, 12u); // of 300 ticks, the 298th
    ASSERT_TRUE(TCManager::LatenessFrom(late, ticks, 1299, p99, most));
    EXPECT_EQ(most, 12u);
    EXPECT_FALSE(TCManager::LatenessFrom(late, ticks, 1300, p99, most)); // nothing since
}

// Without a sound device the console still captures; monitoring is silent.
TEST(CManagerHeadless, NoSoundDeviceIsNotFatal) {
    const char* before = std::getenv("SDL_AUDIODRIVER");
    const std::string saved = before != nullptr ? before : "";
    ::setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    {
        TTraceCapture trace;
        TCManager manager;
        EXPECT_EQ(0, manager.initialize(0, 1280, 720, 1 << 20, {0, 0, 64, 36}, 0, {1, 2}, {0},
                                        {{0, 0, 64, 36}}, nullptr));
        EXPECT_TRUE(trace.Contains("----ss---channel manager: no monitor sound device"));
        EXPECT_EQ(2, manager.ChannelCount());
        EXPECT_EQ(0, manager.MainDispPort());
        EXPECT_EQ(1, manager.PlayAudio(2, true));
        EXPECT_TRUE(manager.IsPlayingAudio(2));
        EXPECT_EQ(2, manager.ResizeClient(2, {0, 0, 128, 72}));
        EXPECT_EQ(0, manager.ResizeMain({0, 0, 128, 72}));
    }
    if (before != nullptr) {
        ::setenv("SDL_AUDIODRIVER", saved.c_str(), 1);
    } else {
        ::unsetenv("SDL_AUDIODRIVER");
    }
}

TEST_F(CManagerTest, EscUndoesTheLastProgrammeChangeOnce) {
    EXPECT_EQ("720P, 2.0Mbps", manager.GetPIX(0));
    EXPECT_EQ(1, manager.SetCombinePorts({2}, false));
    manager.ESCToPreCombine(); // nothing before the first list: it stays
    EXPECT_EQ(std::vector<int32_t>{2}, Programme());

    EXPECT_EQ(2, manager.SetCombinePorts({1, 2}, false));
    EXPECT_EQ(1, manager.SetCombinePorts({3}, true));
    EXPECT_EQ(std::vector<int32_t>{3}, Programme());
    manager.ESCToPreCombine();
    EXPECT_EQ((std::vector<int32_t>{1, 2}), Programme());
    manager.ESCToPreCombine();
    EXPECT_EQ((std::vector<int32_t>{1, 2}), Programme());
    EXPECT_EQ(0, manager.ActionForESC().nActionType);
    // The restored list is the base of the next change.
    EXPECT_EQ(3, manager.SetCombinePorts({1, 2, 3}, false));
    manager.ESCToPreCombine();
    EXPECT_EQ((std::vector<int32_t>{1, 2}), Programme());
    // A list the compositor refuses is not recorded.
    EXPECT_EQ(-1, manager.SetCombinePorts({1, 2, 3, 1, 2}, false));
    EXPECT_EQ(0, manager.ActionForESC().nActionType);
}

TEST_F(CManagerTest, UnknownChannelsAndBadAddressesChangeNothing) {
    manager.SetMainPortForAudio(1);
    EXPECT_EQ(-1, manager.ConnectThis("a.jpg|", 1, 5));
    EXPECT_EQ(-1, manager.ConnectThis("a.mp4", 9, 6));
    EXPECT_EQ(-1, manager.ConnectThis("", 2, 6));
    TClientInfo info;
    EXPECT_FALSE(manager.GetConInfo(9, info));
    EXPECT_FALSE(manager.ClearThisChannel(9));
    EXPECT_FALSE(manager.reConnectThis(9));
    EXPECT_FALSE(manager.ChangeCH(1, 9));
    uint32_t v = 0;
    uint32_t a = 0;
    int type = 0;
    bool vOK = true;
    bool aOK = true;
    EXPECT_EQ(-1, manager.GetAVCounterThisperiod(9, v, a, type, vOK, aOK));
    EXPECT_EQ("", manager.GetPIX(9));
    EXPECT_EQ(-1, manager.PlayAudio(9, true));
    EXPECT_EQ(-1, manager.SetMainPortForAudio(9));
    EXPECT_EQ(-1, manager.ResizeClient(9, {0, 0, 10, 10}));
    EXPECT_FALSE(manager.SetInCut(9, true));
    EXPECT_FALSE(manager.MoveCutArea(9, 1, 1));
    EXPECT_FALSE(manager.ConvertTestRectToReal(9));
    EXPECT_EQ(-1, manager.SetFocusValue(9, 5));
    EXPECT_EQ(-1, manager.IncreamFocusValue(9, true));
    int maxFocus = 7;
    int focus = 7;
    EXPECT_EQ(-1, manager.GetFocusValue(9, maxFocus, focus));
    EXPECT_EQ(-1, manager.SetCanAutoAdjust(9, false));
    EXPECT_EQ(-1, manager.ConvertWideAngle(9));
    EXPECT_FALSE(manager.SetCycle(1, true)); // an idle channel has no player
    EXPECT_FALSE(manager.setPause(9));
    EXPECT_FALSE(manager.SetCurrentPos(2, 1));

    for (int ch = 1; ch <= 3; ++ch) {
        const TClientInfo i = Info(ch);
        EXPECT_EQ(0, i.DeviceType);
        EXPECT_EQ("", i.IP);
        EXPECT_FALSE(i.bDontReconnect);
        EXPECT_EQ(ch, i.nDispPort);
        EXPECT_FALSE(manager.HasRunner(ch));
        EXPECT_FALSE(manager.IsPlayingAudio(ch));
    }
    EXPECT_EQ(1, manager.MainAudioChannel());
    EXPECT_EQ(0, manager.ActionForESC().nActionType);
}

// A console nobody watches (tavrin-cli record) scales no preview pictures:
// its channels still deliver to the programme, and the programme has no
// preview port. The watched one previews the same movie.
TEST_F(CManagerTest, UnseenPanesGetNoPreviewPictures) {
    test::TempDir dir;
    const std::string movie = dir.File("phone.mp4");
    ASSERT_TRUE(
        test::Run("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=s=640x360:r=25 -f lavfi "
                  "-i sine=f=440:r=48000 -t 3 -c:v libx264 -g 25 -pix_fmt yuv420p -c:a aac '" +
                  movie + "'"));
    // One source feeds one channel: the second channel plays a copy.
    const std::string other = dir.File("phone2.mp4");
    ASSERT_TRUE(test::Run("cp '" + movie + "' '" + other + "'"));
    TCManager unseen;
    unseen.SetPreviewShown(false);
    ASSERT_EQ(0, unseen.initialize(0, 1280, 720, 2048 * 1024, {0, 0, 320, 180}, 0, {1, 2}, {}, {},
                                   nullptr));
    EXPECT_EQ(-1, unseen.MainDispPort());
    EXPECT_EQ(1, unseen.SetCombinePorts({1}, false));
    std::atomic<int> composed{0}; // programme pictures showing the movie
    unseen.Programme()->SetTickObserver([&](const AVFrame* f) {
        if (f->data[0][size_t(f->height / 2) * size_t(f->linesize[0]) + size_t(f->width / 2)] !=
            TCombineVideo::kBackY) {
            ++composed;
        }
    });
    EXPECT_EQ(-1, unseen.ConnectThis(movie, 1, 6)); // on the programme
    EXPECT_EQ(-1, unseen.ConnectThis(other, 2, 6)); // only previewed, if anybody looked
    EXPECT_EQ(1, manager.SetCombinePorts({1}, false));
    EXPECT_EQ(-1, manager.ConnectThis(movie, 1, 6));
    EXPECT_EQ(-1, manager.ConnectThis(other, 2, 6));

    uint32_t v = 0;
    uint32_t a = 0;
    int type = 0;
    bool vOK = false;
    bool aOK = false;
    unseen.GetAVCounterThisperiod(0, v, a, type, vOK, aOK);
    EXPECT_TRUE(WaitFor([&] { return manager.PreviewsScaled() >= 20 && composed >= 10; }));
    unseen.Programme()->SetTickObserver(nullptr);
    unseen.GetAVCounterThisperiod(0, v, a, type, vOK, aOK);
    EXPECT_GT(v, 0u); // the programme ticked on
    uint32_t channel = 0;
    unseen.GetAVCounterThisperiod(2, channel, a, type, vOK, aOK);
    EXPECT_GT(channel, 0u); // and the unseen channels decoded
    EXPECT_EQ(unseen.PreviewsScaled(), 0u);
}

TEST_F(CManagerTest, LocalMp4ChannelPlaysIsControlledAndCutsUndo) {
    test::TempDir dir;
    const std::string movie = dir.File("lesson.mp4");
    ASSERT_TRUE(
        test::Run("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=s=320x240:r=25 -f lavfi "
                  "-i sine=f=440:r=48000 -t 3 -c:v libx264 -g 25 -pix_fmt yuv420p -c:a aac '" +
                  movie + "'"));
    EXPECT_EQ(-1, manager.ConnectThis(movie, 2, 6));
    TClientInfo info = Info(2);
    EXPECT_EQ(6, info.DeviceType);
    EXPECT_EQ(movie, info.IP);
    EXPECT_TRUE(info.bDontReconnect);
    ASSERT_TRUE(manager.HasRunner(2));

    EXPECT_TRUE(manager.SetCycle(2, true));
    EXPECT_TRUE(manager.GetCycle(2));
    int current = -1;
    int total = -1;
    EXPECT_TRUE(manager.GetCurrentPos(2, current, total));
    EXPECT_EQ(3, total);
    EXPECT_TRUE(manager.SetCurrentPos(2, 1));
    EXPECT_TRUE(manager.setPause(2));  // paused
    EXPECT_FALSE(manager.setPause(2)); // playing again

    uint32_t v = 0;
    uint32_t a = 0;
    int type = 0;
    bool vOK = false;
    bool aOK = false;
    manager.GetAVCounterThisperiod(2, v, a, type, vOK, aOK);
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    EXPECT_EQ(6, manager.GetAVCounterThisperiod(2, v, a, type, vOK, aOK));
    EXPECT_GT(v, 0u);
    EXPECT_TRUE(vOK);

    EXPECT_EQ(1, manager.PlayAudio(2, true));
    EXPECT_TRUE(manager.IsPlayingAudio(2));
    manager.SetMainPortForAudio(1);
    EXPECT_EQ(0, manager.PlayAudio(0, true)); // the programme's sound channel
    EXPECT_TRUE(manager.IsPlayingAudio(1));
    EXPECT_FALSE(manager.IsPlayingAudio(2));

    // Cut A, then B; Esc brings back A.
    int x = 0;
    int y = 0;
    ASSERT_TRUE(WaitFor([&] { return manager.SetClipArea(2, 0, 0, 500, 500, x, y, false); }));
    ASSERT_TRUE(manager.SetInCut(2, true));
    ASSERT_TRUE(manager.SetClipArea(2, 250, 250, 750, 750, x, y, false));
    const TActionForESC& h = manager.ActionForESC();
    EXPECT_EQ(2, h.nActionType);
    EXPECT_EQ(2, h.nLastCH);
    manager.ESCToPreCombine();
    EXPECT_EQ(0, h.nActionType);
    EXPECT_TRUE(manager.GetIfInCut(2));
    EXPECT_TRUE(h.rLastCHInfo[1].bInCut);
    EXPECT_EQ(0, h.rLastCHInfo[1].xStart);
    EXPECT_EQ(500, h.rLastCHInfo[1].xEnd);
    // Cut switched off; Esc switches it on again with the same area.
    manager.SetInCut(2, false);
    EXPECT_FALSE(manager.GetIfInCut(2));
    manager.ESCToPreCombine();
    EXPECT_TRUE(manager.GetIfInCut(2));
    EXPECT_EQ(500, h.rLastCHInfo[1].xEnd);
    // A drawn test rectangle becomes the cut; Esc goes back to A.
    ASSERT_TRUE(manager.SetClipArea(2, 100, 100, 600, 600, x, y, true));
    EXPECT_EQ(0, h.nActionType);
    ASSERT_TRUE(manager.ConvertTestRectToReal(2));
    EXPECT_EQ(600, h.rLastCHInfo[1].xEnd);
    EXPECT_EQ(500, h.rPreCHInfo[1].xEnd);
    manager.ESCToPreCombine();
    EXPECT_EQ(500, h.rLastCHInfo[1].xEnd);
    EXPECT_TRUE(manager.GetIfInCut(2));

    // The same file on channel 3 leaves channel 2 idle.
    EXPECT_EQ(-1, manager.ConnectThis(movie, 3, 6));
    EXPECT_FALSE(manager.HasRunner(2));
    info = Info(2);
    EXPECT_EQ(0, info.DeviceType);
    EXPECT_EQ("", info.IP);
    EXPECT_TRUE(info.bDontReconnect);
    EXPECT_TRUE(manager.HasRunner(3));
    EXPECT_FALSE(manager.GetCycle(2));
    // A local channel reconnects from its stored file.
    EXPECT_TRUE(manager.reConnectThis(3));
    EXPECT_TRUE(manager.HasRunner(3));
    EXPECT_TRUE(manager.ClearThisChannel(3));
    EXPECT_FALSE(manager.HasRunner(3));
    EXPECT_EQ(0, Info(3).DeviceType);
    EXPECT_FALSE(manager.reConnectThis(3));
}

} // namespace
} // namespace tavrin
