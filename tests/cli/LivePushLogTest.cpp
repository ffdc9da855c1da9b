#include "cli/LivePushLog.h"

#include <gtest/gtest.h>

using namespace tavrin;
using namespace tavrin::cli;

namespace {

const std::string kUrl = "rtmp://127.0.0.1:1935/live/lesson";

// A sender's statistics as the record command samples them each second.
struct TPush {
    TClientSendInfo info;
    TLivePushLog log;

    TPush() {
        info.rtmpURL = kUrl;
        info.bSetURL = true;
        info.bPause = false;
    }
    // One sample: connected or not after `attempts` connection attempts in
    // all, with `queued` frames waiting and `thrown` thrown away in all.
    std::vector<std::string> Sample(bool connected, uint32_t attempts, uint32_t queued = 0,
                                    uint32_t thrown = 0) {
        info.bConnectOK = connected;
        info.nReconnectCount = attempts;
        info.nRemainFrames = queued;
        info.nThrowFrames = thrown;
        std::vector<std::string> lines;
        log.Update(info, lines);
        return lines;
    }
};

using Lines = std::vector<std::string>;

} // namespace

TEST(LivePushLog, SaysNothingWithoutAPushOrWhilePaused) {
    TPush push;
    push.info.bSetURL = false;
    EXPECT_EQ(push.Sample(true, 1), Lines{});
    push.info.bSetURL = true;
    push.info.bPause = true;
    EXPECT_EQ(push.Sample(false, 3), Lines{});
    EXPECT_EQ(push.log.State(), TLivePushLog::TState::Waiting);
}

TEST(LivePushLog, ConnectedLostAndBackEachOnceInOrder) {
    TPush push;
    EXPECT_EQ(push.Sample(false, 0), Lines{}) << "the first attempt has not ended";
    EXPECT_EQ(push.Sample(true, 1), Lines{"live: 直播连通: 是  connected to " + kUrl});
    EXPECT_EQ(push.Sample(true, 1, 3), Lines{});
    EXPECT_EQ(push.Sample(false, 2, 70), Lines{"live: 直播连通: 否  connection lost, retrying"});
    EXPECT_EQ(push.Sample(false, 3, 140), Lines{});
    EXPECT_EQ(push.Sample(false, 4, 210), Lines{});
    // The new connection starts at a key picture: what was queued before it
    // is thrown away, which is not a slow server.
    EXPECT_EQ(push.Sample(true, 5, 0, 200),
              Lines{"live: 直播连通: 是  back after 4 attempts  连接: 5次"});
    EXPECT_EQ(push.Sample(true, 5, 2, 200), Lines{});
    EXPECT_EQ(push.log.State(), TLivePushLog::TState::Connected);
}

TEST(LivePushLog, AServerNeverReachedIsSaidOnceThenItsFirstConnection) {
    TPush push;
    EXPECT_EQ(push.Sample(false, 1),
              Lines{"live: 直播连通: 否  " + kUrl + " cannot be reached, retrying"});
    EXPECT_EQ(push.Sample(false, 2), Lines{});
    EXPECT_EQ(push.Sample(true, 3), Lines{"live: 直播连通: 是  connected to " + kUrl});
}

TEST(LivePushLog, ADropBetweenTwoSamplesIsLostAndBack) {
    TPush push;
    push.Sample(true, 1);
    EXPECT_EQ(push.Sample(true, 2, 0, 12),
              (Lines{"live: 直播连通: 否  connection lost, retrying",
                     "live: 直播连通: 是  back after 1 attempts  连接: 2次"}));
}

TEST(LivePushLog, SlowedByAGrowingQueueOrThrownFramesUntilCaughtUp) {
    TPush push;
    push.Sample(true, 1);
    EXPECT_EQ(push.Sample(true, 1, TLivePushLog::kSlowQueueFrames), Lines{});
    EXPECT_EQ(push.Sample(true, 1, 151),
              Lines{"live: slowed, the server takes less than is sent  缓冲区: 151 丢弃: 0"});
    EXPECT_EQ(push.Sample(true, 1, 400), Lines{}) << "one line per change";
    EXPECT_EQ(push.Sample(true, 1, 60), Lines{}) << "not caught up while a second waits";
    EXPECT_EQ(push.Sample(true, 1, 20, 0), Lines{"live: caught up  缓冲区: 20 丢弃: 0"});
    // The sender's queue limit throws frames away: slowed again, and not
    // caught up in a second that threw more.
    EXPECT_EQ(push.Sample(true, 1, 10, 90),
              Lines{"live: slowed, the server takes less than is sent  缓冲区: 10 丢弃: 90"});
    EXPECT_EQ(push.Sample(true, 1, 10, 180), Lines{});
    EXPECT_EQ(push.Sample(true, 1, 10, 180), Lines{"live: caught up  缓冲区: 10 丢弃: 180"});
    // A slowed push that is lost is lost.
    push.Sample(true, 1, 0, 270);
    EXPECT_EQ(push.Sample(false, 2, 300, 270),
              Lines{"live: 直播连通: 否  connection lost, retrying"});
}
