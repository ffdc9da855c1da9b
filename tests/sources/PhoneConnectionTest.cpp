// The socket side of a network channel against the phone simulator on
// loopback addresses, one address per test so they can run side by side.
#include "sources/PhoneConnection.h"

#include "base/Trace.h"
#include "tests/sources/NetBytes.h"
#include "tests/sources/PhoneSim.h"
#include "tests/sources/RecordingSink.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace tavrin {
namespace {

class PhoneConnectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::EnsureQtApp();
        info.nDispPort = 2;
        info.nChannel = 2;
        conn.initialize(&sink, &info);
    }
    bool Count(uint8_t type) const {
        const auto t = sink.Types();
        return std::count(t.begin(), t.end(), type) > 0;
    }
    bool WaitLost() {
        return test::PumpUntil([&] { return info.nErrorCode == -1001; });
    }

    test::TRecordingSink sink;
    TClientInfo info;
    TPhoneConnection conn;
};

TEST_F(PhoneConnectionTest, ConnectsIsDescribedAndStreamsFromAKeyFrame) {
    TTraceCapture trace;
    test::TPhoneSim sim("127.0.0.2",
                        {"--id", "pad-A", "--device-type", "3", "--wide-angle", "--battery", "64"});
    ASSERT_TRUE(sim.Ready());
    conn.ConnectTo("127.0.0.2");
    ASSERT_TRUE(test::PumpUntil([&] { return sink.frames.size() >= 40 && Count(8) && Count(9); }));
    EXPECT_TRUE(info.bConnectOK);
    EXPECT_EQ(-1000, info.nErrorCode);
    EXPECT_EQ(2, info.DeviceType);
    EXPECT_EQ("pad-A", info.ID);
    EXPECT_EQ(2048 * 1024, info.VideoBitrate);
    EXPECT_EQ(1280, info.VideoWidth);
    EXPECT_EQ(720, info.VideoHeight);
    EXPECT_EQ(25, info.FPS);
    EXPECT_EQ(1, info.AudioType);
    EXPECT_EQ(100, info.MaxFoucsScale);
    EXPECT_EQ(1, info.WideAngle);
    EXPECT_EQ(64, info.nCharge);
    EXPECT_TRUE(trace.Contains("----ss--- con= 7"));
    // The first frame handed on is a key frame that begins with its SPS.
    const auto& first = sink.frames.front();
    ASSERT_EQ(10, first[0]);
    EXPECT_EQ(test::Hex(first.data() + 13, 5), "0000000167");
    for (const auto& f : sink.frames) {
        EXPECT_EQ(CompleteMediaFrameLength(f), f.size());
    }
    // The simulator received the request exactly.
    const auto req = MakeRequestAV();
    const auto lines = sim.LogLines("recv ");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ("recv 0x10000701 " + test::Hex(req.data(), req.size()), lines[0]);
}

TEST_F(PhoneConnectionTest, LosingThePhoneMarksTheSlotAndAReconnectWaitsForAKeyFrame) {
    TTraceCapture trace;
    {
        test::TPhoneSim sim("127.0.0.3");
        ASSERT_TRUE(sim.Ready());
        conn.ConnectTo("127.0.0.3");
        ASSERT_TRUE(test::PumpUntil([&] { return sink.frames.size() >= 10; }));
        sim.Kill();
        ASSERT_TRUE(WaitLost());
    }
    EXPECT_FALSE(info.bConnectOK);
    EXPECT_EQ(15, info.nErrorDispTimes);
    EXPECT_EQ(std::vector<int>{2}, sink.portErrors); // reported once
    EXPECT_TRUE(trace.Contains("----ss--- dis= 7"));
    EXPECT_TRUE(conn.Parser().WaitsForKeyFrame());
    EXPECT_EQ(0, conn.Parser().BufferedBytes());
    EXPECT_EQ(-1, conn.Send(MakeSwitchWideAngle()));

    // The phone comes back at the same address.
    test::TPhoneSim again("127.0.0.3", {"--drop-after", "30"});
    ASSERT_TRUE(again.Ready());
    sink.frames.clear();
    conn.ConnectTo("127.0.0.3");
    ASSERT_TRUE(test::PumpUntil([&] { return info.bConnectOK; }));
    EXPECT_EQ(-1000, info.nErrorCode);
    EXPECT_EQ(0, info.nErrorDispTimes);
    ASSERT_TRUE(test::PumpUntil([&] { return !sink.frames.empty(); }));
    EXPECT_EQ(10, sink.frames.front()[0]);
    // It drops the connection after 30 frames: lost again.
    ASSERT_TRUE(WaitLost());
    EXPECT_LE(sink.frames.size(), 30u);
    EXPECT_EQ((std::vector<int>{2, 2}), sink.portErrors);
}

TEST_F(PhoneConnectionTest, RefusedConnectionIsALostSource) {
    conn.ConnectTo("127.0.0.6", 37029); // nothing listens there
    ASSERT_TRUE(WaitLost());
    EXPECT_EQ(15, info.nErrorDispTimes);
    EXPECT_FALSE(info.bConnectOK);
    EXPECT_EQ(std::vector<int>{2}, sink.portErrors);
}

TEST_F(PhoneConnectionTest, MisbehavingPhonesAreClosed) {
    struct Case {
        std::vector<std::string> args;
        uint8_t deviceType;
    };
    const Case cases[] = {
        {{"--device-type", "4"}, 0},
        {{"--unknown-command"}, 2},
        {{"--oversize"}, 2},
        {{"--bad-magic", "--bitrate", "20000"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0]);
        info = {};
        info.nDispPort = 2;
        sink.portErrors.clear();
        test::TPhoneSim sim("127.0.0.4", c.args);
        ASSERT_TRUE(sim.Ready());
        conn.ConnectTo("127.0.0.4");
        ASSERT_TRUE(test::PumpUntil([&] { return info.nErrorCode == -1001; }, 60000));
        EXPECT_FALSE(info.bConnectOK);
        EXPECT_EQ(c.deviceType, info.DeviceType);
        EXPECT_EQ(std::vector<int>{2}, sink.portErrors);
        // The console closed the connection, the phone saw it go.
        EXPECT_TRUE(test::PumpUntil([&] { return !sim.LogLines("close ").empty(); }));
        conn.Close();
    }
}

TEST_F(PhoneConnectionTest, RefusedRequestStillStreams) {
    test::TPhoneSim sim("127.0.0.6", {"--status", "404", "--id", "nope"});
    ASSERT_TRUE(sim.Ready());
    conn.ConnectTo("127.0.0.6");
    ASSERT_TRUE(test::PumpUntil([&] { return sink.frames.size() >= 10; }));
    EXPECT_TRUE(info.bConnectOK);
    EXPECT_EQ("", info.ID);
    EXPECT_EQ(0, info.VideoWidth);
}

TEST_F(PhoneConnectionTest, CameraCommandsArriveByteForByte) {
    test::TPhoneSim sim("127.0.0.5", {"--wide-angle", "--focus", "30"});
    ASSERT_TRUE(sim.Ready());
    conn.ConnectTo("127.0.0.5");
    ASSERT_TRUE(
        test::PumpUntil([&] { return info.MaxFoucsScale == 100 && info.nFocusValue == 30; }));
    const auto focus = MakeSetFocusValue(100);
    const auto point = MakeFocusAtPoint(1279, 719);
    const auto wide = MakeSwitchWideAngle();
    EXPECT_EQ(14, conn.Send(focus));
    EXPECT_EQ(16, conn.Send(point));
    EXPECT_EQ(12, conn.Send(wide));
    ASSERT_TRUE(test::PumpUntil([&] { return sim.LogLines("recv ").size() >= 4; }));
    const auto lines = sim.LogLines("recv ");
    EXPECT_EQ("recv 0x10000702 214365870e000000020700106400", lines[1]);
    EXPECT_EQ("recv 0x10000703 " + test::Hex(point.data(), point.size()), lines[2]);
    EXPECT_EQ("recv 0x10000703 21436587100000000307001"
              "0ff04cf02",
              lines[2]);
    EXPECT_EQ("recv 0x10000705 214365870c00000005070010", lines[3]);
    // The phone reports the focus it moved to.
    EXPECT_TRUE(test::PumpUntil([&] { return info.nFocusValue == 100; }));
}

} // namespace
} // namespace tavrin
