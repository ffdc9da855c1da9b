#include "sources/CMDParse.h"

#include "base/GloTimer.h"
#include "base/Trace.h"
#include "tests/sources/NetBytes.h"
#include "tests/sources/RecordingSink.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

using test::Bytes;

class CMDParseTest : public ::testing::Test {
protected:
    void SetUp() override {
        info.nDispPort = 3;
        parse.initialize(&sink, &info);
        parse.SetConnect();
    }
    int Feed(const Bytes& b) { return parse.AddData(b.data(), int(b.size())); }

    test::TRecordingSink sink;
    TClientInfo info;
    TCMDParse parse;
};

TEST_F(CMDParseTest, SplitAndMergedMessagesGiveTheSameResult) {
    test::ReplyFields f;
    f.id = "pad-7";
    const Bytes stream = test::Join({test::ReplyMsg(f), test::NetMsg(C_21_BATTERY, test::U16(64)),
                                     test::MediaMsg(10, 300, 1), test::MediaMsg(8, 20, 2),
                                     test::NetMsg(C_21_REP_FOCUS, test::U16(55)),
                                     test::MediaMsg(9, 150, 3), test::NetMsg(C_21_IGNORED)});
    // All at once.
    ASSERT_EQ(0, Feed(stream));
    const auto whole = sink.frames;
    // The same bytes in uneven pieces on a fresh connection.
    sink.frames.clear();
    info = {};
    info.nDispPort = 3;
    parse.SetConnect();
    for (size_t at = 0, step = 1; at < stream.size(); at += step, step = step * 3 % 37 + 1) {
        const size_t n = std::min(step, stream.size() - at);
        ASSERT_EQ(0, parse.AddData(stream.data() + at, int(n)));
    }
    EXPECT_EQ(whole, sink.frames);
    ASSERT_EQ(3u, sink.frames.size());
    EXPECT_EQ(Bytes(sink.frames[0].begin() + 13, sink.frames[0].end()), Bytes(300, 1));
    EXPECT_EQ((std::vector<uint8_t>{10, 8, 9}), sink.Types());
    // The trailing 12-byte message waits for more data, the rest is gone.
    EXPECT_EQ(12, parse.BufferedBytes());

    EXPECT_EQ(2, info.DeviceType);
    EXPECT_EQ("pad-7", info.ID);
    EXPECT_EQ(2048 * 1024, info.VideoBitrate);
    EXPECT_EQ(1, info.VideoType);
    EXPECT_EQ(25, info.FPS);
    EXPECT_EQ(1280, info.VideoWidth);
    EXPECT_EQ(720, info.VideoHeight);
    EXPECT_EQ(1, info.AudioType);
    EXPECT_EQ(100, info.MaxFoucsScale);
    EXPECT_EQ(55, info.nFocusValue);
    EXPECT_EQ(1, info.WideAngle);
    EXPECT_EQ(64, info.nCharge);
}

TEST_F(CMDParseTest, ExactlyTwelveBytesAreNotParsed) {
    // An unknown command closes the connection, but only once it is parsed.
    const Bytes unknown = test::NetMsg(0x10000999);
    ASSERT_EQ(12u, unknown.size());
    EXPECT_EQ(0, Feed(unknown));
    EXPECT_EQ(12, parse.BufferedBytes());
    const Bytes one = {0x21};
    EXPECT_EQ(-1, Feed(one));
}

TEST_F(CMDParseTest, MediaWaitsForTheFirstKeyFrameButIsCounted) {
    TTestClock clock(1000);
    parse.initialize(&sink, &info);
    ASSERT_EQ(0, Feed(test::Join({test::MediaMsg(9, 10), test::MediaMsg(8, 10),
                                  test::MediaMsg(9, 10), test::MediaMsg(10, 10),
                                  test::MediaMsg(8, 10), test::MediaMsg(9, 10)})));
    EXPECT_EQ((std::vector<uint8_t>{10, 8, 9}), sink.Types());
    EXPECT_FALSE(parse.WaitsForKeyFrame());

    clock.Advance(2000);
    uint32_t v = 0, a = 0;
    EXPECT_EQ(3u, parse.GetAVCounterThisperiod(v, a));
    EXPECT_EQ(2u, v); // 4 video frames in 2 s
    EXPECT_EQ(1u, a);
    // A new period starts empty; no elapsed time does not divide by zero.
    EXPECT_EQ(0u, parse.GetAVCounterThisperiod(v, a));
    EXPECT_EQ(0u, v);

    // A reconnect empties the buffer and waits for a key frame again.
    const Bytes partial = test::MediaMsg(9, 10);
    Feed(Bytes(partial.begin(), partial.begin() + 15));
    EXPECT_EQ(15, parse.BufferedBytes());
    parse.SetDisconnect();
    parse.SetConnect();
    EXPECT_EQ(0, parse.BufferedBytes());
    sink.frames.clear();
    Feed(test::Join({test::MediaMsg(9, 10), test::MediaMsg(10, 10)}));
    EXPECT_EQ((std::vector<uint8_t>{10}), sink.Types());
}

TEST_F(CMDParseTest, ReplyDeviceTypes) {
    TTraceCapture trace;
    test::ReplyFields f;
    f.type = 3;
    EXPECT_EQ(0, Feed(test::ReplyMsg(f)));
    EXPECT_EQ(2, info.DeviceType);
    EXPECT_TRUE(trace.Contains("----ss---C_21_REP_REQUESTAV"));
    EXPECT_TRUE(trace.Contains("----ss---come=3"));

    f.type = 1;
    EXPECT_EQ(0, Feed(test::ReplyMsg(f)));
    EXPECT_EQ(1, info.DeviceType);

    // An unknown kind of device ends the connection; media behind it in the
    // same read is not handed on.
    f.type = 4;
    EXPECT_EQ(-2, Feed(test::Join({test::ReplyMsg(f), test::MediaMsg(10, 10)})));
    EXPECT_EQ(0, info.DeviceType);
    EXPECT_EQ(-1001, info.nErrorCode);
    EXPECT_TRUE(sink.frames.empty());
}

TEST_F(CMDParseTest, RefusedReplyLeavesTheDescriptionButMediaFlows) {
    test::ReplyFields f;
    f.status = 404;
    f.width = 640;
    f.id = "other";
    info.ID = "kept";
    info.DeviceType = 2;
    EXPECT_EQ(0, Feed(test::Join({test::ReplyMsg(f), test::MediaMsg(10, 10)})));
    EXPECT_EQ("kept", info.ID);
    EXPECT_EQ(0, info.VideoWidth);
    EXPECT_EQ(2, info.DeviceType);
    EXPECT_EQ(1u, sink.frames.size());
}

TEST_F(CMDParseTest, AReconnectIsDescribedOnlyByItsOwnReply) {
    test::ReplyFields f;
    f.id = "pad-3";
    ASSERT_EQ(0, Feed(test::ReplyMsg(f)));
    EXPECT_TRUE(info.bDescribed);
    parse.SetDisconnect();
    EXPECT_FALSE(info.bDescribed);

    // Connected again, the phone has not answered yet: nothing of the last
    // connection's description may pass for this one's.
    parse.SetConnect();
    EXPECT_TRUE(info.bConnectOK);
    EXPECT_FALSE(info.bDescribed);
    EXPECT_EQ(0, info.VideoWidth);
    EXPECT_EQ(0, info.VideoHeight);
    EXPECT_EQ(0, info.AudioType);
    EXPECT_EQ(-1, info.nCharge);

    f.width = 1920;
    f.height = 1080;
    ASSERT_EQ(0, Feed(test::ReplyMsg(f)));
    EXPECT_TRUE(info.bDescribed);
    EXPECT_EQ(1920, info.VideoWidth);
    EXPECT_EQ(1080, info.VideoHeight);
}

TEST_F(CMDParseTest, BrokenStreamsClose) {
    // Length below the head.
    Bytes shortLen = test::NetMsg(C_21_IGNORED, Bytes(4, 0));
    WriteLE32(shortLen.data() + 4, 8);
    EXPECT_EQ(-1, Feed(shortLen));
    parse.SetConnect();

    // A media record claiming more than its message carries.
    Bytes lying = test::MediaMsg(10, 10);
    WriteLE32(lying.data() + 12 + 1, 11);
    EXPECT_EQ(-1, Feed(lying));
    EXPECT_TRUE(sink.frames.empty());
    parse.SetConnect();

    // A message too short to hold a media record.
    EXPECT_EQ(-1, Feed(test::NetMsg(C_21_MEDIAFRAME, Bytes(5, 0))));
    parse.SetConnect();

    // A wrong magic blocks the stream until the buffer limit closes it.
    const Bytes bad = test::NetMsg(C_21_IGNORED, Bytes(4, 0), 0x12345678);
    EXPECT_EQ(0, Feed(bad));
    const Bytes good = test::MediaMsg(10, 1000);
    int result = 0;
    int32_t held = parse.BufferedBytes();
    while (result == 0) {
        result = Feed(good);
        if (result == 0) {
            EXPECT_EQ(held + int32_t(good.size()), parse.BufferedBytes());
            held = parse.BufferedBytes();
        }
    }
    EXPECT_EQ(-1, result);
    EXPECT_LE(held, TCMDParse::kBufferSize);
    EXPECT_GT(held + int32_t(good.size()), TCMDParse::kBufferSize);
    EXPECT_TRUE(sink.frames.empty());
}

TEST_F(CMDParseTest, BufferHoldsExactlyItsSize) {
    // One message announcing more than the buffer fills it to the byte and
    // then overflows.
    Bytes head = test::NetMsg(C_21_MEDIAFRAME);
    WriteLE32(head.data() + 4, 3000000);
    ASSERT_EQ(0, Feed(head));
    Bytes fill(TCMDParse::kBufferSize - head.size(), 0);
    EXPECT_EQ(0, Feed(fill));
    EXPECT_EQ(TCMDParse::kBufferSize, parse.BufferedBytes());
    EXPECT_EQ(-1, Feed(Bytes{0}));
}

TEST_F(CMDParseTest, ConnectAndDisconnectMarkTheSlot) {
    EXPECT_TRUE(info.bConnectOK);
    EXPECT_EQ(-1000, info.nErrorCode);
    EXPECT_EQ(0, info.nErrorDispTimes);
    info.bInOpen = true;
    parse.SetDisconnect();
    EXPECT_FALSE(info.bConnectOK);
    EXPECT_FALSE(info.bInOpen);
    EXPECT_EQ(-1001, info.nErrorCode);
    EXPECT_EQ(15, info.nErrorDispTimes);
    EXPECT_EQ(std::vector<int>{3}, sink.portErrors);
}

// Channel 1 carries the lesson's sound: a desktop app (slides, no sound) is
// refused there with its notice and not retried; elsewhere it is welcome.
TEST_F(CMDParseTest, SlidesAreCutOnChannelOneOnly) {
    test::ReplyFields f;
    f.type = 1;
    info.nChannel = 2;
    EXPECT_EQ(0, Feed(test::ReplyMsg(f)));
    EXPECT_EQ(1, info.DeviceType);
    EXPECT_EQ(-1000, info.nErrorCode);

    info.nChannel = 1;
    EXPECT_EQ(-2, Feed(test::Join({test::ReplyMsg(f), test::MediaMsg(10, 10)})));
    EXPECT_EQ(-3, info.nErrorCode);
    EXPECT_TRUE(info.bDontReconnect);
    EXPECT_TRUE(sink.frames.empty());
    // The connection then closes: the notice outlives it, with no countdown.
    parse.SetDisconnect();
    EXPECT_FALSE(info.bConnectOK);
    EXPECT_EQ(-3, info.nErrorCode);
    EXPECT_EQ(0, info.nErrorDispTimes);
}

TEST_F(CMDParseTest, TruncatedReplyFieldsStayInsideTheMessage) {
    test::ReplyFields f;
    f.id = "abcdef";
    Bytes m = test::ReplyMsg(f);
    WriteLE16(m.data() + 31, 500); // identity length beyond the message
    EXPECT_EQ(0, Feed(m));
    EXPECT_EQ("abcdef", info.ID);

    // A reply that ends after the device type keeps only the type.
    TClientInfo before = info;
    Bytes cut(m.begin(), m.begin() + 15);
    WriteLE32(cut.data() + 4, 15);
    f.type = 1;
    cut[14] = 1;
    EXPECT_EQ(0, Feed(test::Join({cut, test::NetMsg(C_21_IGNORED)})));
    EXPECT_EQ(1, info.DeviceType);
    EXPECT_EQ(before.ID, info.ID);
    EXPECT_EQ(before.VideoWidth, info.VideoWidth);
}

TEST(NetMessageTest, CommandsHaveTheirExactBytes) {
    const auto req = MakeRequestAV();
    EXPECT_EQ("2143658717000000010700100008000001190005d00201", test::Hex(req.data(), req.size()));
    const auto focus = MakeSetFocusValue(100);
    EXPECT_EQ("214365870e000000020700106400", test::Hex(focus.data(), focus.size()));
    const auto point = MakeFocusAtPoint(640, 360);
    EXPECT_EQ("2143658710000000030700108002"
              "6801",
              test::Hex(point.data(), point.size()));
    const auto wide = MakeSwitchWideAngle();
    EXPECT_EQ("214365870c00000005070010", test::Hex(wide.data(), wide.size()));
}

} // namespace
} // namespace tavrin
