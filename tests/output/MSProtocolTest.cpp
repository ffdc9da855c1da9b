#include "output/MSProtocol.h"

#include "base/LittleEndian.h"
#include "base/MediaFrame.h"
#include "output/MSTransfer.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tavrin {
namespace {

std::vector<uint8_t> Answer(uint32_t command, uint32_t status, uint32_t length = 16) {
    std::vector<uint8_t> m(length, 0);
    const uint32_t words[] = {kMSMagic, length, command, status};
    for (size_t w = 0; w < 4 && w * 4 < length; ++w) {
        for (int i = 0; i < 4; ++i) {
            m[w * 4 + size_t(i)] = uint8_t(words[w] >> (8 * i));
        }
    }
    return m;
}

TEST(MSProtocol, LoginMessageByteForByte) {
    std::array<uint8_t, kMSLoginSize> m{};
    m.fill(0xEE);
    ASSERT_TRUE(MakeLoginMessage(m, 0x01020304, 77, "tok", 0x1FF));
    const uint8_t head[] = {0x21, 0x43, 0x65, 0x87, 132, 0, 0, 0,   0x01, 0,  0,    0x30,
                            0x04, 0x03, 0x02, 0x01, 77,  0, 0, 0,   1,    25, 0x00, 0x05,
                            0xD0, 0x02, 1,    3,    0,   0, 0, 't', 'o',  'k'};
    for (size_t i = 0; i < sizeof(head); ++i) {
        EXPECT_EQ(m[i], head[i]) << "offset " << i;
    }
    for (size_t i = 34; i < 131; ++i) {
        EXPECT_EQ(m[i], 0) << "token field not zero-filled at " << i;
    }
    EXPECT_EQ(m[131], 0xFF); // the live type's low byte
}

TEST(MSProtocol, TokenOfOneHundredBytesFillsTheFieldAndOneMoreIsRefused) {
    std::array<uint8_t, kMSLoginSize> m{};
    std::string token(100, 'x');
    token[0] = 'A';
    token[99] = 'Z';
    ASSERT_TRUE(MakeLoginMessage(m, 1, 2, token, 1));
    EXPECT_EQ(ReadLE32(&m[27]), 100u);
    EXPECT_EQ(m[31], 'A');
    EXPECT_EQ(m[130], 'Z');
    EXPECT_EQ(m[131], 1); // the live type right after, not overwritten
    m.fill(0xEE);
    EXPECT_FALSE(MakeLoginMessage(m, 1, 2, std::string(101, 'x'), 1));
    EXPECT_EQ(m[0], 0xEE) << "nothing written for a refused token";
    T_MSTransfer t;
    EXPECT_EQ(t.initialize("127.0.0.1", 1, 1, 1, 1, std::string(101, 'x'), 0),
              T_MSTransfer::kTokenTooLong);
}

TEST(MSProtocol, EndKeepAliveAndFrameHeaders) {
    std::array<uint8_t, kMSEndLiveSize> end{};
    end.fill(0xEE);
    MakeEndLiveMessage(end);
    EXPECT_EQ(ReadLE32(&end[0]), kMSMagic);
    EXPECT_EQ(ReadLE32(&end[4]), 16u);
    EXPECT_EQ(ReadLE32(&end[8]), 0x30000013u);
    EXPECT_EQ(ReadLE32(&end[12]), 0u);
    std::array<uint8_t, kMSHeaderSize> h{};
    MakeKeepAliveMessage(h);
    EXPECT_EQ(ReadLE32(&h[4]), 12u);
    EXPECT_EQ(ReadLE32(&h[8]), 0x20000010u);
    MakeMediaFrameHeader(h, 13 + 500); // 25 + nFrameSize
    EXPECT_EQ(ReadLE32(&h[4]), 525u);
    EXPECT_EQ(ReadLE32(&h[8]), 0x90000001u);
}

struct AnswerCase {
    uint32_t command;
    uint32_t status;
    int stateAfter;
    int error;
};

TEST(MSReceiveBuffer, AnswersSetStateAndErrors) {
    const AnswerCase cases[] = {
        {kMSAnswerLogin, 200, kMSLoggedIn, 0},
        {kMSAnswerLogin, 201, kMSLoggedIn, kMSLoginNotAccepted},
        {kMSAnswerLogin, 700, kMSRefused, kMSLoginRefused},
        {kMSAnswerLogin, 500, kMSLoginSent, 0}, // other status: ignored
        {kMSAnswerKeepAlive, 0, kMSLoginSent, 0},
        {kMSAnswerEndLive, 200, kMSFinished, 0},
        {kMSAnswerEndLive, 404, kMSFinished, kMSBadEndAnswer},
        {0x10000002, 200, kMSLoginSent, kMSProtocolError},
    };
    for (const AnswerCase& c : cases) {
        TMSReceiveBuffer rx;
        int state = kMSLoginSent;
        EXPECT_EQ(rx.Receive(Answer(c.command, c.status), state), c.error) << std::hex << c.command;
        EXPECT_EQ(state, c.stateAfter) << std::hex << c.command << " " << std::dec << c.status;
    }
}

TEST(MSReceiveBuffer, TwoAnswersInOneReadAndOneSplitAcrossReads) {
    TMSReceiveBuffer rx;
    int state = kMSLoginSent;
    std::vector<uint8_t> both = Answer(kMSAnswerKeepAlive, 0, 12);
    const std::vector<uint8_t> login = Answer(kMSAnswerLogin, 200);
    both.insert(both.end(), login.begin(), login.end());
    EXPECT_EQ(rx.Receive(both, state), 0);
    EXPECT_EQ(state, kMSLoggedIn);
    EXPECT_EQ(rx.Pending(), 0u);
    // A bare 12-byte answer at the end of a read is complete as well.
    EXPECT_EQ(rx.Receive(Answer(kMSAnswerKeepAlive, 0, 12), state), 0);
    EXPECT_EQ(rx.Pending(), 0u);

    const std::vector<uint8_t> end = Answer(kMSAnswerEndLive, 200);
    for (size_t cut : {size_t(1), size_t(11), size_t(12), size_t(15)}) {
        TMSReceiveBuffer split;
        int s = kMSEndSent;
        EXPECT_EQ(split.Receive(std::span(end).first(cut), s), 0);
        EXPECT_EQ(s, kMSEndSent) << "applied before complete, cut " << cut;
        EXPECT_EQ(split.Receive(std::span(end).subspan(cut), s), 0);
        EXPECT_EQ(s, kMSFinished) << "cut " << cut;
        EXPECT_EQ(split.Pending(), 0u);
    }
}

TEST(MSReceiveBuffer, ErrorStopsParsingOfLaterMessages) {
    TMSReceiveBuffer rx;
    int state = kMSLoginSent;
    std::vector<uint8_t> data = Answer(kMSAnswerLogin, 700);
    const std::vector<uint8_t> ok = Answer(kMSAnswerLogin, 200);
    data.insert(data.end(), ok.begin(), ok.end());
    EXPECT_EQ(rx.Receive(data, state), kMSLoginRefused);
    EXPECT_EQ(state, kMSRefused) << "the later 200 must not be applied";
}

TEST(MSReceiveBuffer, WrongMagicWaitsAndOverflowIsAnError) {
    TMSReceiveBuffer rx;
    int state = kMSLoginSent;
    std::vector<uint8_t> junk(5000, 0x55);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(rx.Receive(junk, state), 0);
    }
    EXPECT_EQ(rx.Pending(), 20000u);
    EXPECT_EQ(rx.Receive(std::vector<uint8_t>(1, 0), state), 0); // exactly 20,001 bytes fit
    EXPECT_EQ(rx.Receive(std::vector<uint8_t>(1, 0), state), kMSProtocolError);
    EXPECT_EQ(state, kMSLoginSent);
}

TEST(MSReceiveBuffer, LengthsThatCanNeverCompleteAreProtocolErrors) {
    for (uint32_t length : {0u, 11u, 20002u}) {
        std::vector<uint8_t> m = Answer(kMSAnswerKeepAlive, 0);
        for (int i = 0; i < 4; ++i) {
            m[4 + size_t(i)] = uint8_t(length >> (8 * i));
        }
        TMSReceiveBuffer rx;
        int state = kMSLoginSent;
        EXPECT_EQ(rx.Receive(m, state), kMSProtocolError) << length;
    }
    // A login answer too short to carry its status.
    TMSReceiveBuffer rx;
    int state = kMSLoginSent;
    EXPECT_EQ(rx.Receive(Answer(kMSAnswerLogin, 200, 12), state), kMSProtocolError);
    EXPECT_EQ(state, kMSLoginSent);
}

TEST(MSTransfer, DottedIPv4AddressesAreRecognised) {
    for (const char* yes : {"127.0.0.1", "0.0.0.0", "255.255.255.255", "10.1.20.200"}) {
        EXPECT_TRUE(IsDottedIPv4(yes)) << yes;
    }
    for (const char* no : {"256.0.0.1", "1.2.3", "1.2.3.4.5", "localhost", "1..2.3", "1.2.3.4.", "",
                           "1.2.3.0004", "a.b.c.d", " 1.2.3.4"}) {
        EXPECT_FALSE(IsDottedIPv4(no)) << no;
    }
}

std::vector<uint8_t> MakeFrame(uint8_t type, size_t size, int64_t pts = 0) {
    std::vector<uint8_t> f;
    AssignMediaFrame(f, type, pts, std::vector<uint8_t>(size, type));
    return f;
}

TEST(MSTransferQueue, QueueLimitsAndKeyFrameClear) {
    T_MSTransfer t;
    ASSERT_EQ(t.initialize("127.0.0.1", 9, 1, 1, 1, "t", 0), 0);
    const std::vector<uint8_t> plain = MakeFrame(kFrameH264, 10);
    for (int i = 0; i < 199; ++i) {
        ASSERT_EQ(t.AddFrame(plain), 0);
    }
    EXPECT_TRUE(t.GetIfCanAddFrame());
    ASSERT_EQ(t.AddFrame(plain), 0);
    EXPECT_FALSE(t.GetIfCanAddFrame()) << "200 queued frames leave no room";
    // A key frame with exactly 200 queued does not clear.
    ASSERT_EQ(t.AddFrame(MakeFrame(kFrameH264Key, 10)), 0);
    EXPECT_EQ(t.GetRemainFrameCount(), 201);
    for (int i = 0; i < 49; ++i) {
        ASSERT_EQ(t.AddFrame(plain), 0);
    }
    ASSERT_EQ(t.GetRemainFrameCount(), 250);
    ASSERT_EQ(t.AddFrame(MakeFrame(kFrameH264Key, 10)), 0);
    EXPECT_EQ(t.GetRemainFrameCount(), 1) << "250 queued + key frame: only the key frame is left";
    TClientSendInfo info;
    t.GetClientInfo(info);
    EXPECT_EQ(info.nThrowFrames, 250u);
    EXPECT_EQ(info.nAcceptTotalFrames, 251u);
}

TEST(MSTransferQueue, RefusedOverOneThousandAfterEndAndWhenIncomplete) {
    T_MSTransfer t;
    ASSERT_EQ(t.initialize("127.0.0.1", 9, 1, 1, 1, "t", 0), 0);
    const std::vector<uint8_t> plain = MakeFrame(kFrameH264, 3);
    for (int i = 0; i < 1001; ++i) {
        ASSERT_EQ(t.AddFrame(plain), 0) << i;
    }
    EXPECT_EQ(t.AddFrame(plain), -1) << "more than 1000 queued";
    EXPECT_EQ(t.AddFrame(MakeFrame(kFrameH264Key, 3)), -1) << "even a key frame";
    EXPECT_EQ(t.GetRemainFrameCount(), 1001);

    T_MSTransfer u;
    ASSERT_EQ(u.initialize("127.0.0.1", 9, 1, 1, 1, "t", 0), 0);
    std::vector<uint8_t> cut = MakeFrame(kFrameH264, 20);
    cut.pop_back();
    EXPECT_EQ(u.AddFrame(cut), -1) << "a block shorter than its head says";
    EXPECT_EQ(u.endLive(true), 2);
    EXPECT_EQ(u.AddFrame(plain), -1) << "no frames once the end was requested";
    EXPECT_EQ(u.endLive(false), 1);
    EXPECT_EQ(u.GetRemainFrameCount(), 0);
}

} // namespace
} // namespace tavrin
