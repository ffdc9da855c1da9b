// The channel manager with network sources: simulated phones on loopback
// addresses, one address per test so they can run side by side.
#include "compose/CombineOut.h"
#include "sources/CManager.h"
#include "sources/WorkerFrameSink.h"
#include "tests/sources/ManagerFixture.h"
#include "tests/sources/PhoneSim.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <vector>

namespace tavrin {
namespace {

class CManagerNetTest : public test::TManagerFixture {
protected:
    bool WaitConnected(int ch) {
        return test::PumpUntil([&] { return Info(ch).bConnectOK && Info(ch).VideoWidth > 0; });
    }
};

TEST_F(CManagerNetTest, ConnectLoseAndReconnectOnRequestOnly) {
    test::TPhoneSim sim("127.0.0.2", {"--id", "pad-A", "--device-type", "3"});
    ASSERT_TRUE(sim.Ready());
    EXPECT_EQ(-1, manager.ConnectThis("127.0.0.2", 1, 2));
    EXPECT_TRUE(Info(1).bInOpen);
    // Still connecting: the slot's index, nothing changes.
    EXPECT_EQ(0, manager.ConnectThis("127.0.0.9", 1, 1));
    EXPECT_EQ("127.0.0.2", Info(1).IP);
    EXPECT_EQ(2, Info(1).DeviceType);
    EXPECT_TRUE(Info(1).bInOpen);

    ASSERT_TRUE(WaitConnected(1));
    TClientInfo info = Info(1);
    EXPECT_EQ("pad-A", info.ID);
    EXPECT_EQ(1280, info.VideoWidth);
    EXPECT_EQ(720, info.VideoHeight);
    EXPECT_EQ(-1000, info.nErrorCode);
    EXPECT_FALSE(manager.GetIfHasWideAngle(1));
    EXPECT_EQ(-1, manager.ConvertWideAngle(1));

    // Frames reach the worker: it decodes them (a cut can only be drawn on
    // a decoded picture) and the parser counts them.
    int x = 0;
    int y = 0;
    ASSERT_TRUE(
        test::PumpUntil([&] { return manager.SetClipArea(1, 0, 0, 500, 500, x, y, true); }));
    uint32_t v = 0;
    uint32_t a = 0;
    int type = 0;
    bool videoOK = false;
    bool audioOK = false;
    manager.GetAVCounterThisperiod(1, v, a, type, videoOK, audioOK);
    test::PumpUntil([] { return false; }, 1200);
    EXPECT_EQ(2, manager.GetAVCounterThisperiod(1, v, a, type, videoOK, audioOK));
    EXPECT_GT(v, 0u);
    EXPECT_TRUE(videoOK);
    EXPECT_EQ("(720P)", manager.GetPIX(1));

    EXPECT_EQ(2, manager.SetCombinePorts({2, 1}, false));
    sim.Kill();
    ASSERT_TRUE(test::PumpUntil([&] { return Info(1).nErrorCode == -1001; }));
    info = Info(1);
    EXPECT_EQ(15, info.nErrorDispTimes);
    EXPECT_FALSE(info.bConnectOK);
    // The programme marked the picture in its second place as lost.
    const TWorkerFrameSink* sink = manager.FrameSink(1);
    ASSERT_NE(nullptr, sink);
    EXPECT_EQ(1, sink->PortErrors());
    EXPECT_EQ(1, sink->LastErrorPort());
    EXPECT_EQ(2, sink->LastProgrammeSlot());
    // The manager does not retry by itself.
    test::PumpUntil([] { return false; }, 500);
    EXPECT_FALSE(Info(1).bInOpen);
    EXPECT_FALSE(Info(1).bDontReconnect);
    // The status timer's countdown: reconnection is due at 12, 6 and 0,
    // where the notice also ends.
    std::vector<int> due;
    for (int tick = 0; tick < 16; ++tick) {
        if (manager.TickLostNotice(1)) {
            due.push_back(Info(1).nErrorDispTimes);
        }
    }
    EXPECT_EQ((std::vector<int>{12, 6, 0}), due);
    EXPECT_EQ(0, Info(1).nErrorCode);
    EXPECT_FALSE(manager.TickLostNotice(2)); // never lost
    EXPECT_FALSE(manager.TickLostNotice(9)); // no such channel

    test::TPhoneSim again("127.0.0.2", {"--id", "pad-A"});
    ASSERT_TRUE(again.Ready());
    EXPECT_TRUE(manager.reConnectThis(1));
    ASSERT_TRUE(WaitConnected(1));
    EXPECT_EQ(-1000, Info(1).nErrorCode);
    EXPECT_EQ("127.0.0.2", Info(1).IP);
}

TEST_F(CManagerNetTest, SourceMovesBetweenChannelsAndChannelsSwap) {
    test::TPhoneSim sim("127.0.0.3", {"--id", "pad-B"});
    ASSERT_TRUE(sim.Ready());
    manager.ConnectThis("127.0.0.3", 1, 2);
    ASSERT_TRUE(WaitConnected(1));
    EXPECT_EQ(1, manager.SetMainPortForAudio(1));
    EXPECT_EQ(2, manager.GetMainPortForAudio_DeviceType());
    EXPECT_EQ(1, manager.Programme()->GetMainPortForAudio());

    // The same phone on channel 3 leaves channel 1 idle, not to be retried.
    EXPECT_EQ(-1, manager.ConnectThis("127.0.0.3", 3, 2));
    TClientInfo one = Info(1);
    EXPECT_FALSE(one.bConnectOK);
    EXPECT_FALSE(one.bInOpen);
    EXPECT_TRUE(one.bDontReconnect);
    EXPECT_EQ("", one.IP);
    EXPECT_EQ("", one.ID);
    EXPECT_EQ(0, one.DeviceType);
    EXPECT_FALSE(manager.reConnectThis(1));
    ASSERT_TRUE(WaitConnected(3));
    EXPECT_EQ("pad-B", Info(3).ID);

    // Channel 1 (idle) carries the programme sound; after the swap the phone
    // is channel 1 on display port 1 and the sound follows the idle slot to 3.
    EXPECT_TRUE(manager.ChangeCH(1, 3));
    EXPECT_EQ(3, manager.MainAudioChannel());
    EXPECT_EQ(3, manager.Programme()->GetMainPortForAudio());
    EXPECT_EQ(0, manager.GetMainPortForAudio_DeviceType());
    EXPECT_EQ("127.0.0.3", Info(1).IP);
    EXPECT_EQ(1, Info(1).nDispPort);
    EXPECT_EQ(3, Info(3).nDispPort);
    EXPECT_EQ("", Info(3).IP);
    EXPECT_FALSE(manager.ChangeCH(1, 4));
    EXPECT_FALSE(manager.ChangeCH(0, 1));

    // Discovery: a known phone keeps its slot, a new one takes the first free.
    EXPECT_EQ(2, manager.FindThisClient("127.0.0.3", 2, "pad-B"));
    EXPECT_TRUE(Info(1).bConnectOK);
    EXPECT_EQ(0, manager.FindThisClient("127.0.0.4", 2, "pad-C"));
    EXPECT_TRUE(Info(3).bInOpen);
    EXPECT_EQ("127.0.0.4", Info(3).IP);
    EXPECT_EQ(1, manager.FindThisClient("127.0.0.6", 2, "pad-D"));
    EXPECT_EQ(-1, manager.FindThisClient("127.0.0.7", 2, "pad-E")); // no slot left
}

TEST_F(CManagerNetTest, CameraCommandsGoOutExactly) {
    test::TPhoneSim sim("127.0.0.5", {"--wide-angle", "--max-focus", "100", "--focus", "98"});
    ASSERT_TRUE(sim.Ready());
    manager.ConnectThis("127.0.0.5", 2, 2);
    ASSERT_TRUE(test::PumpUntil([&] {
        const TClientInfo i = Info(2);
        return i.bConnectOK && i.MaxFoucsScale == 100 && i.nFocusValue == 98;
    }));
    int maxFocus = 0;
    int focus = 0;
    EXPECT_EQ(1, manager.GetFocusValue(2, maxFocus, focus));
    EXPECT_EQ(100, maxFocus);
    EXPECT_EQ(98, focus);
    EXPECT_TRUE(manager.GetIfHasWideAngle(2));

    EXPECT_EQ(0, manager.SetFocusValue(2, 98)); // already there: nothing sent
    EXPECT_EQ(100, manager.IncreamFocusValue(2, true));
    ASSERT_TRUE(test::PumpUntil([&] { return Info(2).nFocusValue == 100; }));
    EXPECT_EQ(100, manager.IncreamFocusValue(2, true)); // clamped, not sent again
    EXPECT_EQ(14, manager.SetFocusValue(2, 40));
    EXPECT_EQ(16, manager.SetAdjustFocus(2, 640, 360, false));
    EXPECT_EQ(2, manager.SetCanAutoAdjust(2, false));
    EXPECT_FALSE(manager.GetCanAutoAdjust(2));
    EXPECT_EQ(-1, manager.SetAdjustFocus(2, 10, 10, true));
    EXPECT_EQ(12, manager.ConvertWideAngle(2));
    EXPECT_EQ(-1, manager.SetFocusValue(1, 10)); // no phone on channel 1

    ASSERT_TRUE(test::PumpUntil([&] { return sim.LogLines("recv ").size() >= 5; }));
    test::PumpUntil([] { return false; }, 300); // nothing else may follow
    const auto lines = sim.LogLines("recv ");
    ASSERT_EQ(5u, lines.size());
    EXPECT_EQ("recv 0x10000702 214365870e000000020700106400", lines[1]);
    EXPECT_EQ("recv 0x10000702 214365870e000000020700102800", lines[2]);
    EXPECT_EQ("recv 0x10000703 2143658710000000030700108002"
              "6801",
              lines[3]);
    EXPECT_EQ("recv 0x10000705 214365870c00000005070010", lines[4]);
}

} // namespace
} // namespace tavrin
