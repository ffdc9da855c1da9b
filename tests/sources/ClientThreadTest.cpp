#include "sources/ClientThread.h"

#include "base/GloTimer.h"
#include "base/MediaFrame.h"
#include "tests/sources/FakeLinks.h"

#include <gtest/gtest.h>
#include <vector>

namespace tavrin {
namespace {

std::vector<uint8_t> Record(uint8_t type, size_t payload = 16) {
    std::vector<uint8_t> rec;
    AssignMediaFrame(rec, type, 0, std::vector<uint8_t>(payload, 0x11));
    return rec;
}

class ClientThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(worker.initialize(1, 1, 1280, 720), 0);
        worker.SetLinks(&programme, &preview, &monitor);
    }
    void Push(uint8_t type, int times = 1) {
        for (int i = 0; i < times; ++i) {
            const auto rec = Record(type);
            worker.PushFrame(rec.data());
        }
    }

    TTestClock clock{10000};
    test::FakeProgramme programme;
    test::FakePreview preview;
    test::FakeMonitor monitor;
    TClientThread worker;
};

TEST_F(ClientThreadTest, NextRecordIsDueByQueueDepth) {
    Push(kFrameMarkerVideo, 3);
    ASSERT_TRUE(worker.IsDue()) << "the first record after a stall plays at once";
    EXPECT_EQ(worker.NeedPlayCount(), 10040u);

    TClientThread deep;
    ASSERT_EQ(deep.initialize(2, 2, 1280, 720), 0);
    for (int i = 0; i < 15; ++i) {
        deep.PushFrame(Record(kFrameMarkerVideo).data());
    }
    ASSERT_TRUE(deep.IsDue());
    EXPECT_EQ(deep.NeedPlayCount(), 10025u);

    TClientThread mid;
    ASSERT_EQ(mid.initialize(3, 3, 1280, 720), 0);
    for (int i = 0; i < 8; ++i) {
        mid.PushFrame(Record(kFrameMarkerVideo).data());
    }
    ASSERT_TRUE(mid.IsDue());
    EXPECT_EQ(mid.NeedPlayCount(), 10030u);
}

TEST_F(ClientThreadTest, NoBurstAfterAGap) {
    Push(kFrameMarkerVideo);
    ASSERT_TRUE(worker.IsDue());
    worker.PlayNext();
    EXPECT_FALSE(worker.IsDue()) << "empty queue";
    clock.Advance(500);
    Push(kFrameMarkerVideo, 4);
    EXPECT_TRUE(worker.IsDue());
    worker.PlayNext();
    EXPECT_FALSE(worker.IsDue()) << "the second waits its 40 ms";
    clock.Advance(39);
    EXPECT_FALSE(worker.IsDue());
    clock.Advance(1);
    EXPECT_TRUE(worker.IsDue());
    EXPECT_EQ(worker.NeedPlayCount(), 10000u + 500 + 80);
}

// The worker's loop sleeps as long as IdleWaitMs says: it must wake on the
// millisecond the next record is due, not after it, and sleep through an
// empty queue (a push wakes it).
TEST_F(ClientThreadTest, IdleWaitEndsWhenTheNextRecordIsDue) {
    Push(kFrameMarkerVideo, 6);
    ASSERT_TRUE(worker.IsDue());
    worker.PlayNext();
    for (int played = 0; played < 4; ++played) {
        const uint32_t wait =
            TClientThread::IdleWaitMs(clock.Now(), worker.NeedPlayCount(), worker.QueuedVideo());
        ASSERT_GT(wait, 0u);
        clock.Advance(wait - 1);
        EXPECT_FALSE(worker.IsDue()) << "woken before the record's time, play " << played;
        EXPECT_EQ(
            TClientThread::IdleWaitMs(clock.Now(), worker.NeedPlayCount(), worker.QueuedVideo()),
            1u);
        clock.Advance(1);
        EXPECT_EQ(
            TClientThread::IdleWaitMs(clock.Now(), worker.NeedPlayCount(), worker.QueuedVideo()),
            0u);
        ASSERT_TRUE(worker.IsDue()) << "play " << played;
        worker.PlayNext();
    }
    EXPECT_EQ(TClientThread::IdleWaitMs(1000, 900, 0), 40u) << "empty: until a push";
    EXPECT_EQ(TClientThread::IdleWaitMs(1000, 900, 2), 0u) << "after a stall: at once";
    EXPECT_EQ(TClientThread::IdleWaitMs(0xFFFFFFFEu, 5, 1), 7u) << "across the wrap";
    EXPECT_EQ(TClientThread::IdleWaitMs(0, 5000, 1), 40u) << "never longer than a period";
}

// Drives a worker for ms milliseconds of the test clock: every period ms
// `arrive` pictures are queued, and the worker plays whatever is due. Returns
// the clock counts at which pictures were played.
std::vector<uint32_t> Drive(TClientThread& w, TTestClock& clock, int ms, int period, int arrive) {
    std::vector<uint32_t> played;
    for (int t = 0; t < ms; ++t) {
        if (t % period == 0) {
            for (int i = 0; i < arrive; ++i) {
                w.PushFrame(Record(kFrameMarkerVideo).data());
            }
        }
        while (w.IsDue()) {
            w.PlayNext();
            played.push_back(clock.Now());
        }
        clock.Advance(1);
    }
    return played;
}

TEST_F(ClientThreadTest, LiveBacklogThatLastsIsPlayedDownWithoutLosingPictures) {
    // Three pictures of delay, then 25 pictures a second, as a phone sends
    // after a hold-up. A file source keeps the delay; a live one plays it
    // down after a second, never faster than the backlog pace.
    TClientThread file;
    ASSERT_EQ(file.initialize(2, 2, 1280, 720), 0);
    worker.SetLiveSource(true);
    for (TClientThread* w : {&worker, &file}) {
        for (int i = 0; i < 3; ++i) {
            w->PushFrame(Record(kFrameMarkerVideo).data());
        }
    }
    const uint32_t start = clock.Now();
    const auto live = Drive(worker, clock, 4000, 40, 1);
    clock.Set(start);
    const auto filed = Drive(file, clock, 4000, 40, 1);
    EXPECT_GE(file.QueuedVideo(), 3);
    EXPECT_LE(worker.QueuedVideo(), 1);
    EXPECT_EQ(size_t(live.size() + worker.QueuedVideo()), size_t(3 + 100)) << "none dropped";
    EXPECT_EQ(worker.DroppedVideo(), 0);
    for (size_t i = 1; i < live.size(); ++i) {
        EXPECT_GE(live[i] - live[i - 1], 30u) << "play " << i;
    }
    // The first second keeps the plain pace.
    for (size_t i = 1; i <= TClientThread::kLiveBacklogPlays && i < live.size(); ++i) {
        ASSERT_EQ(live[i] - live[i - 1], 40u) << "play " << i;
    }
    EXPECT_EQ(filed.size() + size_t(file.QueuedVideo()), size_t(3 + 100));
}

TEST_F(ClientThreadTest, LiveJitterKeepsThePlainPace) {
    // Pictures in pairs every 80 ms: one waits behind every other due
    // picture, never for long, so that is jitter to absorb, not delay.
    worker.SetLiveSource(true);
    const auto played = Drive(worker, clock, 4000, 80, 2);
    ASSERT_GT(played.size(), 90u);
    for (size_t i = 1; i < played.size(); ++i) {
        ASSERT_EQ(played[i] - played[i - 1], 40u) << "play " << i;
    }
}

TEST_F(ClientThreadTest, OneStepPlaysAudioUpToOneVideoRecord) {
    Push(kFrameAAC);
    Push(kFrameAAC);
    Push(kFrameMarkerVideo);
    Push(kFrameAAC);
    ASSERT_TRUE(worker.IsDue());
    worker.PlayNext();
    EXPECT_EQ(programme.aac.size(), 2u);
    EXPECT_EQ(programme.aac[0].size(), 16u) << "the whole frame, header included";
    EXPECT_EQ(worker.QueuedAudio(), 1);
    EXPECT_EQ(worker.QueuedVideo(), 0);
}

TEST_F(ClientThreadTest, MarkersAreCountedAndDroppedWithoutDecoding) {
    Push(kFrameMarkerAudio);
    Push(kFrameMarkerVideo);
    EXPECT_EQ(worker.QueuedAudio(), 1);
    EXPECT_EQ(worker.QueuedVideo(), 1);
    programme.slot = 1;
    worker.PlayNext();
    EXPECT_EQ(worker.QueuedAudio(), 0);
    EXPECT_EQ(worker.QueuedVideo(), 0);
    EXPECT_TRUE(programme.aac.empty());
    EXPECT_TRUE(programme.pushedPictureWidths.empty());
    EXPECT_EQ(preview.frames, 0);
}

TEST_F(ClientThreadTest, MonitorDropsAboveTenBlocksUntilFewerThanFive) {
    worker.EnablePlayAudio();
    const std::vector<uint8_t> pcm(4096, 0);
    auto play = [&](int remain) {
        monitor.remain = remain;
        const int before = monitor.played;
        worker.RealPlayAudio(pcm.data(), kFramePCM, int(pcm.size()));
        return monitor.played > before;
    };
    EXPECT_TRUE(play(9));
    EXPECT_FALSE(play(10)) << "ten waiting: dropped, drop mode not yet on";
    EXPECT_TRUE(play(9));
    EXPECT_FALSE(play(11)) << "drop mode on";
    EXPECT_FALSE(play(9));
    EXPECT_FALSE(play(5));
    EXPECT_TRUE(play(4)) << "fewer than five ends drop mode";
    EXPECT_TRUE(play(9));
    worker.DisablePlayAudio();
    EXPECT_FALSE(play(0));
}

TEST_F(ClientThreadTest, FloodDropsWholeGroupsAndCountsThem) {
    // Groups of 25: a key frame and 24 others.
    auto pushGroup = [&] {
        Push(kFrameH264Key);
        Push(kFrameH264, 24);
    };
    for (int g = 0; g < TClientThread::kMaxQueuedVideo / 25; ++g) {
        pushGroup();
    }
    EXPECT_EQ(worker.QueuedVideo(), TClientThread::kMaxQueuedVideo);
    EXPECT_EQ(worker.DroppedVideo(), 0);
    Push(kFrameH264Key);
    EXPECT_EQ(worker.DroppedVideo(), 25) << "exactly the oldest group";
    EXPECT_EQ(worker.QueuedVideo(), TClientThread::kMaxQueuedVideo - 24);
}

TEST_F(ClientThreadTest, FloodWithoutKeyFramesRefusesPicturesUntilTheNextKey) {
    Push(kFrameH264Key);
    Push(kFrameAAC, 3);
    Push(kFrameH264, TClientThread::kMaxQueuedVideo - 1);
    Push(kFrameH264); // no later key frame to cut at: everything goes
    EXPECT_EQ(worker.QueuedVideo(), 0);
    EXPECT_EQ(worker.QueuedAudio(), 0);
    EXPECT_EQ(worker.DroppedVideo(), TClientThread::kMaxQueuedVideo + 1);
    EXPECT_EQ(worker.DroppedAudio(), 3);
    Push(kFrameH264);
    Push(kFrameAAC);
    EXPECT_EQ(worker.QueuedVideo(), 0) << "half a group is never queued";
    EXPECT_EQ(worker.QueuedAudio(), 1);
    Push(kFrameH264Key);
    Push(kFrameH264);
    EXPECT_EQ(worker.QueuedVideo(), 2);
}

} // namespace
} // namespace tavrin
