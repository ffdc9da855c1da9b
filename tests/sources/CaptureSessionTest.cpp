// Capture mode as a front end drives it: simulated phones on their own
// loopback addresses, a lesson store in a temporary folder, a real RTMP
// server, and the status tick run by hand.
#include "sources/CaptureSession.h"

#include "base/GloTimer.h"
#include "base/Trace.h"
#include "output/ReadAV.h"
#include "output/RtmpSend.h"
#include "sources/CManager.h"
#include "tests/base/TempDir.h"
#include "tests/sources/PhoneSim.h"
#include "tests/support/NginxRtmp.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace tavrin {
namespace {

class CaptureSessionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        test::EnsureQtApp();
        ::setenv("SDL_AUDIODRIVER", "dummy", 0);
    }
    void SetUp() override {
        clock.initialize();
        cfg.paths.initialize(dir.Path() + "/root", "7");
        cfg.lesson.LessionID = 77;
        cfg.lesson.LessionName = "Session";
    }

    // Polls the connections while the event loop runs until an event of
    // kind for channel ch has been seen, and takes it out of seen.
    bool WaitEvent(TChannelEvent::TKind kind, int ch, TChannelEvent* got = nullptr,
                   int timeoutMs = 20000) {
        const auto find = [&] {
            return std::find_if(seen.begin(), seen.end(), [&](const TChannelEvent& e) {
                return e.kind == kind && e.nChannel == ch;
            });
        };
        const bool found = test::PumpUntil(
            [&] {
                std::vector<TChannelEvent> events;
                session.PollConnections(events);
                seen.insert(seen.end(), events.begin(), events.end());
                return find() != seen.end();
            },
            timeoutMs);
        if (found) {
            if (got != nullptr) {
                *got = *find();
            }
            seen.erase(find());
        }
        return found;
    }
    TClientInfo Info(int ch) {
        TClientInfo info;
        EXPECT_TRUE(session.Manager()->GetConInfo(ch, info));
        return info;
    }

    TGloTimer clock;
    test::TempDir dir;
    TCaptureSessionConfig cfg;
    TCaptureSession session;
    std::vector<TChannelEvent> seen;
};

TEST_F(CaptureSessionTest, RecordsPhonesAndReportsAReconnectOnlyOnceThePhoneDescribedItself) {
    test::TPhoneSim simA("127.0.0.21", {"--id", "pad-A"});
    test::TPhoneSim simB("127.0.0.22", {"--id", "pad-B"});
    ASSERT_TRUE(simA.Ready());
    ASSERT_TRUE(simB.Ready());
    cfg.nAudioDelay = 11;
    ASSERT_EQ(TCaptureSession::kStartOK, session.Start(cfg));
    ASSERT_TRUE(session.Running());
    TCManager& manager = *session.Manager();
    EXPECT_EQ(3, manager.ChannelCount());
    EXPECT_EQ(1, manager.MainAudioChannel());
    // The live picture's sound waits 12 AAC frames only when a phone
    // carries it.
    std::vector<TChannelEvent> early;
    session.Tick(early);
    EXPECT_EQ(0, session.Sender()->AudioDelayMs());
    manager.ConnectThis("127.0.0.21", 1, kDevicePhone);
    manager.ConnectThis("127.0.0.22", 2, kDevicePhone);
    EXPECT_EQ(2, manager.SetCombinePorts({1, 2}, false));
    EXPECT_TRUE(session.SetRecording(true));

    TChannelEvent e{};
    ASSERT_TRUE(WaitEvent(TChannelEvent::kConnected, 1, &e));
    EXPECT_EQ("pad-A", e.info.ID);
    EXPECT_EQ("127.0.0.21", e.info.IP);
    EXPECT_EQ(1280, e.info.VideoWidth);
    ASSERT_TRUE(WaitEvent(TChannelEvent::kConnected, 2, &e));
    EXPECT_EQ("pad-B", e.info.ID);
    // Two seconds of programme reach the store.
    ASSERT_TRUE(test::PumpUntil([&] {
        int seconds = 0;
        int mbytes = 0;
        return session.RecordTotals(seconds, mbytes) && seconds >= 2;
    }));
    TChannelCounters c;
    EXPECT_EQ(kDevicePhone, session.Counters(1, c));
    EXPECT_GT(c.nVideo, 0u);
    EXPECT_EQ(-1, session.Counters(4, c));
    // The first tick ends both "connection made" notices.
    std::vector<TChannelEvent> events;
    session.Tick(events);
    EXPECT_EQ(12 * 21, session.Sender()->AudioDelayMs());
    ASSERT_EQ(2u, events.size());
    EXPECT_EQ(TChannelEvent::kBack, events[0].kind);
    EXPECT_EQ(TChannelEvent::kBack, events[1].kind);
    EXPECT_EQ(2, events[1].nChannel);

    // Phone B leaves; a slower phone takes its address.
    simB.Kill();
    ASSERT_TRUE(WaitEvent(TChannelEvent::kLost, 2));
    test::TPhoneSim simC("127.0.0.22", {"--id", "pad-C", "--reply-delay", "3000"});
    ASSERT_TRUE(simC.Ready());
    // The countdown blinks the frame and reconnects on its third tick.
    std::vector<TChannelEvent> ticks;
    int tick = 0;
    while (std::none_of(ticks.begin(), ticks.end(),
                        [](const auto& t) { return t.kind == TChannelEvent::kReconnecting; }) &&
           tick < 20) {
        ++tick;
        session.Tick(ticks);
    }
    EXPECT_EQ(3, tick);
    std::vector<bool> blinks;
    for (const TChannelEvent& t : ticks) {
        EXPECT_EQ(2, t.nChannel);
        if (t.kind == TChannelEvent::kBlink) {
            blinks.push_back(t.bOn);
        }
    }
    EXPECT_EQ((std::vector<bool>{true, false, true}), blinks);

    // Connected, but the phone has not answered yet: not reported, and
    // nothing of phone B's description is shown.
    ASSERT_TRUE(test::PumpUntil([&] { return Info(2).bConnectOK; }));
    events.clear();
    session.PollConnections(events);
    EXPECT_TRUE(events.empty());
    TClientInfo info = Info(2);
    EXPECT_FALSE(info.bDescribed);
    EXPECT_EQ(0, info.VideoWidth);
    events.clear();
    session.Tick(events);
    EXPECT_TRUE(events.empty()); // the "connection back" notice waits as well

    ASSERT_TRUE(WaitEvent(TChannelEvent::kConnected, 2, &e));
    EXPECT_EQ("pad-C", e.info.ID);
    EXPECT_EQ("127.0.0.22", e.info.IP);
    EXPECT_EQ(720, e.info.VideoHeight);
    events.clear();
    session.Tick(events);
    ASSERT_EQ(1u, events.size());
    EXPECT_EQ(TChannelEvent::kBack, events[0].kind);
    EXPECT_EQ(0, Info(2).nErrorCode);
    // Phone C was asked once, phone A never again.
    EXPECT_EQ(1u, simC.LogLines("recv 0x10000701").size());
    EXPECT_EQ(1u, simA.LogLines("recv 0x10000701").size());

    session.SetRecording(false);
    int seconds = 0;
    int mbytes = 0;
    ASSERT_TRUE(session.RecordTotals(seconds, mbytes));
    session.Stop();
    EXPECT_FALSE(session.Running());
    EXPECT_EQ(nullptr, session.Manager());
    // The lesson was ended: its store opens and holds what was recorded.
    TReadAV reader;
    reader.initialize(cfg.paths);
    ASSERT_EQ(0, reader.OpenLession(77));
    const TIndex_Head* head = nullptr;
    const TIndex_Count* count = nullptr;
    const TIndex_IBlock* blocks = nullptr;
    reader.GetLessionInfo_struc(head, count, blocks);
    ASSERT_NE(nullptr, count);
    EXPECT_GE(count->IBlockCount, 1);
    EXPECT_GT(count->VideoCount, 0);
    int stored = 0;
    ASSERT_TRUE(reader.Get_TotalCaptureSeconds(stored));
    EXPECT_EQ(seconds, stored);
}

TEST_F(CaptureSessionTest, AFailedStartLeavesNothingBehind) {
    // The storage root is a file: no capture folder can be made.
    test::WriteFile(dir.Path() + "/root", "not a folder");
    EXPECT_EQ(TCaptureSession::kNoFolder, session.Start(cfg));
    EXPECT_FALSE(session.Running());
    EXPECT_EQ(nullptr, session.Manager());
    EXPECT_FALSE(session.SetRecording(true));
    TClientSendInfo send;
    EXPECT_FALSE(session.SenderInfo(send));
    EXPECT_EQ(-1, session.SetRtmpUrl("rtmp://127.0.0.1:1/live/x"));
    session.Stop(); // harmless

    ::unlink((dir.Path() + "/root").c_str());
    ASSERT_EQ(TCaptureSession::kStartOK, session.Start(cfg));
    EXPECT_EQ(TCaptureSession::kRunning, session.Start(cfg));
    struct stat st {};
    EXPECT_EQ(0, ::stat((session.CaptureDir() + "/index.dat").c_str(), &st));
}

TEST_F(CaptureSessionTest, FocusFlagsAndTheSoundChannelComeFromTheConfig) {
    cfg.autoAdjust = {true, true, false}; // channel 3 has no entry
    cfg.nAudioChannel = 2;
    ASSERT_EQ(TCaptureSession::kStartOK, session.Start(cfg));
    EXPECT_TRUE(session.Manager()->GetCanAutoAdjust(1));
    EXPECT_FALSE(session.Manager()->GetCanAutoAdjust(2));
    EXPECT_TRUE(session.Manager()->GetCanAutoAdjust(3));
    EXPECT_EQ(2, session.Manager()->MainAudioChannel());
}

TEST_F(CaptureSessionTest, DiscoveryIsOptional) {
    ASSERT_EQ(TCaptureSession::kStartOK, session.Start(cfg));
    EXPECT_EQ(1, session.Discover()); // not asked for
    EXPECT_FALSE(session.DiscoveryOn());
    session.Stop();

    // Asked for, but switched off for the process.
    ::setenv("TAVRIN_NO_DISCOVERY", "1", 1);
    cfg.bDiscovery = true;
    {
        TTraceCapture trace;
        ASSERT_EQ(TCaptureSession::kStartOK, session.Start(cfg));
        EXPECT_TRUE(trace.Contains("----ss---capture: discovery is off (TAVRIN_NO_DISCOVERY=1)"));
    }
    EXPECT_EQ(1, session.Discover());
    EXPECT_FALSE(session.DiscoveryOn());
    ::unsetenv("TAVRIN_NO_DISCOVERY");
}

TEST_F(CaptureSessionTest, TheSenderWaitsPausedUntilItHasAnAddress) {
    ::mkdir(dir.File("rtmp").c_str(), 0777);
    test::NginxRtmp rtmp(dir.File("rtmp"));
    ASSERT_TRUE(rtmp.Listening());
    test::TPhoneSim sim("127.0.0.23", {"--id", "pad-D"});
    ASSERT_TRUE(sim.Ready());
    ASSERT_EQ(TCaptureSession::kStartOK, session.Start(cfg));
    session.Manager()->ConnectThis("127.0.0.23", 1, kDevicePhone);
    ASSERT_TRUE(WaitEvent(TChannelEvent::kConnected, 1));
    session.Manager()->SetCombinePorts({1}, false);
    TClientSendInfo send;
    ASSERT_TRUE(session.SenderInfo(send));
    EXPECT_FALSE(send.bSetURL);
    EXPECT_TRUE(send.bPause);
    // The programme runs but nothing is pushed.
    test::PumpUntil([] { return false; }, 500);
    ASSERT_TRUE(session.SenderInfo(send));
    EXPECT_EQ(0u, send.nHasSendFrames);

    const std::string url = rtmp.Url("session");
    EXPECT_EQ(0, session.SetRtmpUrl(url));
    ASSERT_TRUE(test::PumpUntil(
        [&] { return session.SenderInfo(send) && send.bConnectOK && send.nHasSendFrames > 25; }));
    EXPECT_EQ(url, send.rtmpURL);
    EXPECT_FALSE(send.bPause);
    // An empty address pauses the push again.
    EXPECT_EQ(0, session.SetRtmpUrl(""));
    ASSERT_TRUE(session.SenderInfo(send));
    EXPECT_TRUE(send.bPause);
    session.Stop();
    ASSERT_TRUE(rtmp.WaitRecordingClosed("session", 10000));
    std::ifstream flv(rtmp.Recording("session"), std::ios::binary | std::ios::ate);
    EXPECT_GT(int64_t(flv.tellg()), 10000);
}

} // namespace
} // namespace tavrin
