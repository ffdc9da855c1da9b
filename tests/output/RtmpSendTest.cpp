#include "output/RtmpSend.h"

#include "base/GloTimer.h"
#include "base/Trace.h"
#include "output/H264ParameterSets.h"
#include "output/RtmpStamper.h"

#include <gtest/gtest.h>
#include <vector>

namespace tavrin {
namespace {

TEST(RtmpStamper, AudioAdvancesSixtyFourMillisecondsPerThreeFrames) {
    TRtmpStamper s;
    const int64_t want[] = {22, 43, 64, 86, 107, 128, 150};
    const int64_t wantDuration[] = {22, 21, 21, 22, 21, 21, 22};
    for (uint64_t i = 0; i < 7; ++i) {
        const TRtmpStamp st = s.StampAudio(true, i, 0);
        EXPECT_EQ(st.pts, want[i]) << i;
        EXPECT_EQ(st.duration, wantDuration[i]) << i;
        EXPECT_FALSE(st.adjusted);
    }
}

TEST(RtmpStamper, RetriedFrameKeepsItsStamp) {
    TRtmpStamper s;
    EXPECT_EQ(s.StampAudio(true, 0, 0).pts, 22);
    EXPECT_EQ(s.StampAudio(false, 1, 0).pts, 22); // same frame again after a failed write
    EXPECT_EQ(s.StampAudio(true, 1, 0).pts, 43);
    EXPECT_EQ(s.StampVideo(true, 0).pts, 40);
    EXPECT_EQ(s.StampVideo(false, 0).pts, 40);
}

TEST(RtmpStamper, PositiveOffsetDelaysAudioOnly) {
    TRtmpStamper s;
    EXPECT_EQ(s.StampAudio(true, 0, 252).pts, 274); // AudioDelay 12
    EXPECT_EQ(s.StampVideo(true, 252).pts, 40);
    // A negative offset delays the video instead.
    TRtmpStamper n;
    EXPECT_EQ(n.StampAudio(true, 0, -84).pts, 22);
    EXPECT_EQ(n.StampVideo(true, -84).pts, 124);
}

TEST(RtmpStamper, LoweredOffsetNeverMovesAudioBackwards) {
    TRtmpStamper s;
    uint64_t count = 0;
    int64_t last = 0;
    for (; count < 10; ++count) {
        last = s.StampAudio(true, count, 252).pts;
    }
    // Offset 12 frames -> 0 while streaming: each stamp is the previous + 5
    // until the audio clock has caught up.
    TRtmpStamp st = s.StampAudio(true, count++, 0);
    EXPECT_TRUE(st.adjusted);
    EXPECT_EQ(st.pts, last + 5);
    int adjusted = 1;
    while (st.adjusted) {
        last = st.pts;
        st = s.StampAudio(true, count++, 0);
        EXPECT_GT(st.pts, last);
        adjusted += st.adjusted ? 1 : 0;
    }
    EXPECT_GT(adjusted, 5);
}

TEST(RtmpStamper, VideoIsKeptWithinEightyMillisecondsOfAudio) {
    TRtmpStamper s;
    // No audio: once the video runs more than 80 ms ahead it is held back 10 ms a picture.
    EXPECT_EQ(s.StampVideo(true, 0).pts, 40);
    EXPECT_EQ(s.StampVideo(true, 0).pts, 80);
    const TRtmpStamp third = s.StampVideo(true, 0);
    EXPECT_EQ(third.pts, 110);
    EXPECT_EQ(third.duration, 30);

    // Audio far ahead: the video catches up 10 ms a picture.
    TRtmpStamper t;
    for (uint64_t i = 0; i < 30; ++i) {
        t.StampAudio(true, i, 0);
    }
    const TRtmpStamp v = t.StampVideo(true, 0);
    EXPECT_EQ(v.pts, 50);
    EXPECT_EQ(v.duration, 50);
}

std::vector<uint8_t> Unit(bool key) {
    if (key) {
        return {0, 0, 0, 1, 0x67, 0x64, 0, 0x1f, 0, 0, 0, 1, 0x68, 0xef, 0, 0, 0, 1, 0x65, 0x88};
    }
    return {0, 0, 0, 1, 0x41, 0x9a};
}

void Push(TRtmpSend& sender, bool key) {
    const std::vector<uint8_t> unit = Unit(key);
    const TZeroMediaFrameHead head{key ? kFrameH264Key : kFrameH264, uint32_t(unit.size()), 0};
    sender.addPackage_IncludeHead(head, unit.data());
}

TClientSendInfo Info(TRtmpSend& sender) {
    TClientSendInfo info;
    sender.GetClientInfo(info);
    return info;
}

TEST(RtmpSendQueue, PausedAndKeyFrameGates) {
    TRtmpSend sender;
    sender.initialize(1280, 720, 0, Unit(true));
    Push(sender, true);
    EXPECT_EQ(Info(sender).nRemainFrames, 0u); // created paused
    EXPECT_TRUE(Info(sender).bPause);

    sender.SetPause(false);
    Push(sender, false); // waits for a key frame
    Push(sender, false);
    EXPECT_EQ(Info(sender).nRemainFrames, 0u);
    Push(sender, true);
    Push(sender, false);
    EXPECT_EQ(Info(sender).nRemainFrames, 2u);
    EXPECT_EQ(Info(sender).nAcceptTotalFrames, 2u);

    sender.SetPause(true);
    sender.SetPause(false); // resuming waits for the next key frame again
    Push(sender, false);
    EXPECT_EQ(Info(sender).nRemainFrames, 2u);
}

TEST(RtmpSendQueue, OverflowDropsWholeGroupsUpToTheSecondKeyFrame) {
    TTraceCapture trace;
    TRtmpSend sender;
    sender.initialize(1280, 720, 0, Unit(true));
    sender.SetPause(false);
    for (int i = 0; i < 601; ++i) {
        Push(sender, i == 0 || i == 30);
    }
    EXPECT_EQ(Info(sender).nRemainFrames, 601u);
    Push(sender, false);
    const TClientSendInfo info = Info(sender);
    EXPECT_EQ(info.nThrowFrames, 30u);
    EXPECT_EQ(info.nRemainFrames, 572u);
    EXPECT_TRUE(trace.Contains("----ss---clear frame"));
    EXPECT_TRUE(trace.Contains("----ss---clear not all =30"));
}

TEST(RtmpSendQueue, OverflowWithoutSecondKeyFrameIsStillBounded) {
    TRtmpSend sender;
    sender.initialize(1280, 720, 0, Unit(true));
    sender.SetPause(false);
    for (int i = 0; i < 5000; ++i) {
        Push(sender, i == 0);
    }
    EXPECT_LE(Info(sender).nRemainFrames, 3001u);
    EXPECT_GT(Info(sender).nThrowFrames, 0u);
}

TEST(RtmpSendQueue, AddressChangesOnlyWhenDifferent) {
    TRtmpSend sender;
    sender.initialize(1280, 720, 12, Unit(true));
    EXPECT_EQ(sender.SetAudioDelay(12), 252);
    EXPECT_FALSE(Info(sender).bSetURL);
    sender.refreshURL("rtmp://127.0.0.1:1935/live/a");
    TClientSendInfo info = Info(sender);
    EXPECT_TRUE(info.bSetURL);
    EXPECT_EQ(info.rtmpURL, "rtmp://127.0.0.1:1935/live/a");
    EXPECT_FALSE(info.bConnectOK);
}

TEST(RtmpSendQueue, DestroyClearsEverythingQueued) {
    TTraceCapture trace;
    {
        TRtmpSend sender;
        sender.initialize(1280, 720, 0, Unit(true));
        sender.SetPause(false);
        Push(sender, true);
        Push(sender, false);
        sender.Destroy();
        EXPECT_EQ(Info(sender).nRemainFrames, 0u);
        EXPECT_EQ(Info(sender).nThrowFrames, 2u);
    }
    EXPECT_TRUE(trace.Contains("----ss---clear  all =2"));
}

// One programme second while nobody takes the stream: 25 pictures (a key
// picture first) and 47 AAC frames, arriving on the clock's time.
void PushSecond(TRtmpSend& sender, TTestClock& clock) {
    const std::vector<uint8_t> aac(200, 0xff);
    for (int i = 0; i < 25; ++i) {
        Push(sender, i == 0);
        for (int a = 0; a < (i == 0 || i == 8 || i == 16 ? 1 : 2); ++a) {
            const TZeroMediaFrameHead head{kFrameAAC, uint32_t(aac.size()), 0};
            sender.addPackage_IncludeHead(head, aac.data());
        }
        clock.Advance(40);
    }
}

TEST(RtmpSendQueue, AStallShorterThanTheLimitLosesNothing) {
    TTestClock clock(1000);
    TRtmpSend sender;
    sender.initialize(1280, 720, 0, Unit(true));
    sender.SetPause(false);
    PushSecond(sender, clock);
    Push(sender, true); // the next group begins 1 s after the first
    const TClientSendInfo info = Info(sender);
    EXPECT_EQ(info.nThrowFrames, 0u);
    EXPECT_EQ(info.nLiveDropGroups, 0u);
    EXPECT_FALSE(info.bDroppingToStayLive);
    EXPECT_EQ(info.nLiveDelayMs, 1000u);
}

TEST(RtmpSendQueue, AnOutageKeepsOnlyTheLastGroupsQueuedAndSaysSo) {
    TTraceCapture trace;
    TTestClock clock(1000);
    TRtmpSend sender;
    sender.initialize(1280, 720, 0, Unit(true));
    sender.SetPause(false);
    uint64_t peakAfterFirst = 0;
    // Three outages of 20 s: the queue, and with it the memory it holds,
    // reaches the same bound each time instead of growing.
    for (int outage = 0; outage < 3; ++outage) {
        for (int second = 0; second < 20; ++second) {
            PushSecond(sender, clock);
            const TClientSendInfo info = Info(sender);
            // Whole groups older than the limit go when a new group begins.
            EXPECT_LE(info.nLiveDelayMs, TRtmpSend::kLiveDelayLimitMs + 1000) << second;
            EXPECT_LE(info.nRemainFrames, 3u * 72u) << second;
        }
        const TClientSendInfo info = Info(sender);
        if (outage == 0) {
            peakAfterFirst = info.nPeakBytes;
        }
        EXPECT_EQ(info.nPeakBytes, peakAfterFirst) << outage;
        EXPECT_LE(info.nRemainBytes, info.nPeakBytes);
        EXPECT_TRUE(info.bDroppingToStayLive);
        EXPECT_GE(info.nLiveDropGroups, uint32_t(20 * outage + 18));
    }
    const TClientSendInfo info = Info(sender);
    EXPECT_EQ(info.nAcceptTotalFrames, info.nThrowFrames + info.nRemainFrames);
    EXPECT_TRUE(trace.Contains("----ss---drop to stay live =72 waited 2000ms"));
    // The live line stops saying so once nothing more is dropped.
    clock.Advance(TRtmpSend::kDroppingShownMs);
    EXPECT_FALSE(Info(sender).bDroppingToStayLive);
}

TEST(H264ParameterSets, SpsAndPpsAreTakenFromAKeyUnit) {
    const std::vector<uint8_t> key = {0, 0, 0, 1, 0x67, 0x64, 0, 0x1f, 0, 0, 1,    0x68, 0xef,
                                      0, 0, 0, 1, 0x06, 0x05, 0, 0,    0, 1, 0x65, 0x88};
    EXPECT_EQ(ExtractParameterSets(key),
              (std::vector<uint8_t>{0, 0, 0, 1, 0x67, 0x64, 0, 0x1f, 0, 0, 0, 1, 0x68, 0xef}));
    EXPECT_TRUE(ExtractParameterSets(Unit(false)).empty());
    EXPECT_TRUE(ExtractParameterSets({}).empty());
}

} // namespace
} // namespace tavrin
