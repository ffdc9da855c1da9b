// The media-server transfer against the media-server simulator on 127.0.0.1.
// The test clock stays still unless a test moves it, so the keep-alive and
// the wait after connecting follow the test, not the wall clock.
#include "base/GloTimer.h"
#include "base/MediaFrame.h"
#include "output/MSTransfer.h"
#include "tests/base/TempDir.h"
#include "tests/mp4/MediaServerSim.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tavrin {
namespace {

using test::TempDir;
using test::TMediaServerSim;
using test::WaitUntil;

std::vector<uint8_t> MakeFrame(uint8_t type, int64_t pts, size_t size = 40) {
    std::vector<uint8_t> payload(size);
    for (size_t i = 0; i < size; ++i) {
        payload[i] = uint8_t(i * 7 + size_t(pts));
    }
    std::vector<uint8_t> f;
    AssignMediaFrame(f, type, pts, payload);
    return f;
}

std::vector<int64_t> Stamps(const std::vector<std::vector<uint8_t>>& frames) {
    std::vector<int64_t> out;
    for (const auto& f : frames) {
        TZeroMediaFrameHead h{};
        ReadMediaFrameHead(f, h);
        const int64_t pts = h.PTS; // copied out of the packed head
        out.push_back(pts);
    }
    return out;
}

class MSTransferSim : public ::testing::Test {
protected:
    void Start(const std::vector<std::string>& simArgs) {
        sim = std::make_unique<TMediaServerSim>(dir.Path(), simArgs);
        ASSERT_GT(sim->Port(), 0) << "mediaserver-sim did not start";
    }
    int Init(int liveType = 1, int audioDelay = 0, const std::string& token = "token-1") {
        return transfer.initialize("127.0.0.1", sim->Port(), 4321, liveType, 99, token, audioDelay);
    }

    TTestClock clock{1000};
    TempDir dir;
    std::unique_ptr<TMediaServerSim> sim;
    T_MSTransfer transfer;
};

TEST_F(MSTransferSim, LoginAnsweredWith201EndsWithMinusFourAndSendsNothing) {
    Start({"--login-status", "201"});
    ASSERT_EQ(Init(), 0);
    for (int i = 0; i < 5; ++i) {
        transfer.AddFrame(MakeFrame(kFrameH264, i));
    }
    transfer.Start();
    ASSERT_TRUE(WaitUntil([&] { return transfer.GetLastError() != 0; }));
    EXPECT_EQ(transfer.GetLastError(), -4);
    EXPECT_EQ(transfer.GetConState(), 2);
    EXPECT_TRUE(sim->WaitForEvent("closed"));
    EXPECT_EQ(sim->CountEvents("frame"), 0u);
    EXPECT_FALSE(transfer.GetIfCanLeave());
}

TEST_F(MSTransferSim, LoginRefusedWith700EndsWithMinusFive) {
    Start({"--login-status", "700"});
    ASSERT_EQ(Init(), 0);
    transfer.Start();
    ASSERT_TRUE(WaitUntil([&] { return transfer.GetLastError() != 0; }));
    EXPECT_EQ(transfer.GetLastError(), -5);
    EXPECT_EQ(transfer.GetConState(), 700);
}

TEST_F(MSTransferSim, BadEndAnswerEndsWithMinusThree) {
    Start({"--end-status", "500"});
    ASSERT_EQ(Init(), 0);
    transfer.AddFrame(MakeFrame(kFrameH264Key, 1));
    transfer.endLive(true);
    transfer.Start();
    ASSERT_TRUE(WaitUntil([&] { return transfer.GetIfCanLeave(); }));
    ASSERT_TRUE(WaitUntil([&] { return transfer.GetLastError() != 0; }));
    EXPECT_EQ(transfer.GetLastError(), -3);
    EXPECT_EQ(sim->CountEvents("frame"), 1u);
}

TEST_F(MSTransferSim, QueueIsSentBeforeTheEndAndLeavingWaitsForTheAnswer) {
    Start({"--end-status", "-1"}); // the server never answers the end
    ASSERT_EQ(Init(), 0);
    for (int i = 0; i < 150; ++i) {
        ASSERT_EQ(transfer.AddFrame(MakeFrame(i % 25 == 0 ? kFrameH264Key : kFrameH264, i)), 0);
    }
    EXPECT_EQ(transfer.endLive(true), 2);
    transfer.Start();
    ASSERT_TRUE(sim->WaitForEvent("end"));
    const std::vector<std::string> events = sim->Events();
    ASSERT_GE(events.size(), 153u);
    EXPECT_EQ(events[0], "connect 1");
    EXPECT_EQ(events[1].rfind("login ", 0), 0u);
    for (size_t i = 0; i < 150; ++i) {
        EXPECT_EQ(events[2 + i].rfind("frame ", 0), 0u) << events[2 + i];
    }
    EXPECT_EQ(events[152], "end");
    EXPECT_EQ(transfer.GetRemainFrameCount(), 0);
    EXPECT_EQ(transfer.GetConState(), 3);
    EXPECT_FALSE(transfer.GetIfCanLeave()) << "not before the server's end answer";
    EXPECT_EQ(transfer.GetLastError(), 0);
    std::vector<int64_t> expect(150);
    for (int i = 0; i < 150; ++i) {
        expect[size_t(i)] = i;
    }
    EXPECT_EQ(Stamps(sim->Frames()), expect);
}

TEST_F(MSTransferSim, LargeFramesToASlowServerArriveWhole) {
    // The socket fills up, so messages go out in pieces: each must still
    // arrive whole and in order.
    Start({"--read-delay-ms", "2"});
    ASSERT_EQ(Init(), 0);
    std::vector<std::vector<uint8_t>> sent;
    for (int i = 0; i < 300; ++i) {
        sent.push_back(MakeFrame(i == 0 ? kFrameH264Key : kFrameH264, i, 60000 + size_t(i)));
        ASSERT_EQ(transfer.AddFrame(sent.back()), 0);
    }
    transfer.endLive(true);
    transfer.Start();
    ASSERT_TRUE(WaitUntil([&] { return transfer.GetIfCanLeave(); }, 60000));
    EXPECT_EQ(transfer.GetLastError(), 0);
    EXPECT_EQ(sim->CountEvents("bad"), 0u);
    const auto got = sim->Frames();
    ASSERT_EQ(got.size(), sent.size());
    for (size_t i = 0; i < sent.size(); ++i) {
        ASSERT_EQ(got[i], sent[i]) << "frame " << i;
    }
}

TEST_F(MSTransferSim, EndAtOnceSendsWhatIsQueuedWithoutTellingTheServer) {
    Start({});
    ASSERT_EQ(Init(), 0);
    for (int i = 0; i < 3; ++i) {
        transfer.AddFrame(MakeFrame(kFrameH264, i));
    }
    EXPECT_EQ(transfer.endLive(false), 1);
    transfer.Start();
    ASSERT_TRUE(WaitUntil([&] { return transfer.GetIfCanLeave(); }));
    transfer.Destroy();
    EXPECT_EQ(transfer.GetLastError(), 0) << "closing a finished live is no failure";
    EXPECT_TRUE(sim->WaitForEvent("closed"));
    EXPECT_EQ(sim->CountEvents("frame"), 3u);
    EXPECT_EQ(sim->CountEvents("end"), 0u);
}

TEST_F(MSTransferSim, KeyFrameAfterTwoHundredFiftyQueuedRestartsTheQueue) {
    Start({});
    ASSERT_EQ(Init(), 0);
    for (int i = 0; i < 250; ++i) {
        ASSERT_EQ(transfer.AddFrame(MakeFrame(kFrameH264, i)), 0);
    }
    ASSERT_EQ(transfer.AddFrame(MakeFrame(kFrameH264Key, 1000)), 0);
    ASSERT_EQ(transfer.AddFrame(MakeFrame(kFrameH264, 1001)), 0);
    transfer.endLive(true);
    transfer.Start();
    ASSERT_TRUE(WaitUntil([&] { return transfer.GetIfCanLeave(); }));
    EXPECT_EQ(transfer.GetLastError(), 0);
    const auto frames = sim->Frames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0][0], kFrameH264Key);
    EXPECT_EQ(Stamps(frames), (std::vector<int64_t>{1000, 1001}));
    EXPECT_EQ(frames[0], MakeFrame(kFrameH264Key, 1000)) << "payload must arrive unchanged";
}

TEST_F(MSTransferSim, AudioIsSentAfterTheFollowingAudioFramesArrived) {
    Start({});
    ASSERT_EQ(Init(1, 1), 0);
    // audio 1, video 2, audio 3, video 4, audio 5
    for (int i = 1; i <= 5; ++i) {
        ASSERT_EQ(transfer.AddFrame(MakeFrame(i % 2 == 1 ? kFrameAAC : kFrameH264, i)), 0);
    }
    transfer.endLive(true);
    transfer.Start();
    ASSERT_TRUE(WaitUntil([&] { return transfer.GetIfCanLeave(); }));
    // Each audio frame waits for the next one; the last stays held.
    EXPECT_EQ(Stamps(sim->Frames()), (std::vector<int64_t>{2, 1, 4, 3}));
}

TEST_F(MSTransferSim, AnswersTogetherInOneReadOrSplitAcrossReads) {
    for (const char* style : {"combined", "split"}) {
        TempDir own;
        TMediaServerSim server(own.Path(), {"--answers", style});
        ASSERT_GT(server.Port(), 0);
        T_MSTransfer t;
        ASSERT_EQ(t.initialize("127.0.0.1", server.Port(), 1, 1, 2, "x", 0), 0);
        t.AddFrame(MakeFrame(kFrameH264Key, 7));
        t.Start();
        ASSERT_TRUE(WaitUntil([&] { return t.GetConState() == 2; })) << style;
        EXPECT_TRUE(server.WaitForEvent("frame")) << style;
        EXPECT_EQ(t.GetLastError(), 0) << style;
    }
}

TEST_F(MSTransferSim, TokenOfOneHundredBytesArrivesInTheLoginExactly) {
    Start({});
    std::string token;
    for (int i = 0; i < 100; ++i) {
        token.push_back(char('A' + i % 26));
    }
    ASSERT_EQ(Init(1, 0, token), 0);
    transfer.Start();
    ASSERT_TRUE(sim->WaitForEvent("login"));
    std::string hex;
    for (const std::string& e : sim->Events()) {
        if (e.rfind("login ", 0) == 0) {
            hex = e.substr(6);
        }
    }
    ASSERT_EQ(hex.size(), 264u);
    std::string bytes;
    for (size_t i = 0; i < hex.size(); i += 2) {
        bytes.push_back(char(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    EXPECT_EQ(bytes.substr(27, 4), std::string("\x64\0\0\0", 4));
    EXPECT_EQ(bytes.substr(31, 100), token);
    EXPECT_EQ(bytes[131], 1);
    EXPECT_EQ(bytes.substr(12, 4), std::string("\xE1\x10\0\0", 4)); // live ID 4321
}

TEST_F(MSTransferSim, DroppedConnectionGivesMinusFourAndLiveTypeOneDoesNotReconnect) {
    Start({"--drop-after-frames", "20"});
    ASSERT_EQ(Init(1), 0);
    for (int i = 0; i < 100; ++i) {
        transfer.AddFrame(MakeFrame(kFrameH264, i, 2000));
    }
    transfer.Start();
    ASSERT_TRUE(WaitUntil([&] { return transfer.GetLastError() != 0; }));
    EXPECT_EQ(transfer.GetLastError(), -4);
    clock.Advance(5000); // well past the wait after an attempt
    SleepMs(200);
    EXPECT_EQ(sim->CountEvents("connect"), 1u);
    EXPECT_EQ(transfer.GetConnectCount(), 1);
    EXPECT_EQ(sim->Frames().size(), 20u);
}

TEST_F(MSTransferSim, LiveTypeFourReconnectsAfterADrop) {
    Start({"--drop-after-frames", "3"});
    ASSERT_EQ(Init(4), 0);
    for (int i = 0; i < 10; ++i) {
        transfer.AddFrame(MakeFrame(kFrameH264, i));
    }
    transfer.Start();
    EXPECT_TRUE(sim->WaitForEvent("connect", 2));
    EXPECT_TRUE(sim->WaitForEvent("login", 2));
}

TEST_F(MSTransferSim, KeepAliveAfterThreeSecondsWithoutOne) {
    Start({});
    ASSERT_EQ(Init(), 0);
    transfer.Start();
    ASSERT_TRUE(WaitUntil([&] { return transfer.GetConState() == 2; }));
    clock.Advance(3000);
    SleepMs(100);
    EXPECT_EQ(sim->CountEvents("keepalive"), 0u) << "3000 ms is not yet more than 3000";
    clock.Advance(1);
    EXPECT_TRUE(sim->WaitForEvent("keepalive"));
    EXPECT_EQ(transfer.GetLastError(), 0) << "the keep-alive answer is ignored";
}

TEST_F(MSTransferSim, UnknownServerCommandStopsEverything) {
    Start({"--garbage-after-login"});
    ASSERT_EQ(Init(), 0);
    transfer.Start();
    ASSERT_TRUE(WaitUntil([&] { return transfer.GetLastError() != 0; }));
    EXPECT_EQ(transfer.GetLastError(), -4); // -1, then the disconnect rule
    transfer.AddFrame(MakeFrame(kFrameH264Key, 1));
    SleepMs(100);
    EXPECT_EQ(sim->CountEvents("frame"), 0u);
    EXPECT_EQ(transfer.GetRemainFrameCount(), 1);
}

TEST(MSTransferNoServer, RefusedConnectionIsReportedAsDropped) {
    TTestClock clock(0);
    // A port that was free a moment ago: nobody listens on it.
    int port = 0;
    {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof(a)), 0);
        socklen_t len = sizeof(a);
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
        ::close(s);
    }
    T_MSTransfer t;
    ASSERT_EQ(t.initialize("127.0.0.1", port, 1, 1, 1, "x", 0), 0);
    t.Start();
    EXPECT_TRUE(WaitUntil([&] { return t.GetLastError() == -4; }));
    EXPECT_EQ(t.GetConState(), 0);
}

} // namespace
} // namespace tavrin
