// Pushes a programme to a real RTMP server (the ffmpeg command line listening
// on 127.0.0.1) and checks what the server received.
#include "base/GloTimer.h"
#include "base/MediaFrame.h"
#include "base/Thread.h"
#include "base/Trace.h"
#include "output/H264ParameterSets.h"
#include "output/RtmpSend.h"
#include "tests/base/TempDir.h"
#include "tests/support/NginxRtmp.h"
#include "tests/support/TestMedia.h"

#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace tavrin {
namespace {

TEST(RtmpLive, ProgrammeArrivesAtARealServerWithSteadyStamps) {
    test::TempDir dir;
    const std::string adts = dir.File("a.aac");
    ASSERT_TRUE(test::MakeTestAdts(adts, 4));
    const auto video = test::EncodeTestVideo(1280, 720, 100);
    const auto audio = test::ReadMediaFrames(adts);
    ASSERT_EQ(video.size(), 100u);
    ASSERT_GE(audio.size(), 187u);
    ASSERT_EQ(video[0][0], kFrameH264Key);
    ASSERT_EQ(video[25][0], kFrameH264Key);
    ASSERT_EQ(video[1][0], kFrameH264);

    test::NginxRtmp server(dir.Path());
    ASSERT_TRUE(server.Listening());

    TTraceCapture trace;
    TRtmpSend sender;
    // The FLV header announces what our own programme encoder emits.
    ASSERT_EQ(ProgrammeParameterSets(1280, 720),
              ExtractParameterSets(std::span(video[0]).subspan(kMediaFrameHeadSize)));
    sender.initialize(1280, 720, 0);
    sender.SetPause(false);
    const auto frames = test::Interleave(video, audio);
    for (const auto& f : frames) {
        TZeroMediaFrameHead head{};
        ReadMediaFrameHead(f, head);
        sender.addPackage_IncludeHead(head, f.data() + kMediaFrameHeadSize);
    }
    // The first frame in the queue is the key picture: audio before it was dropped.
    TClientSendInfo info;
    sender.GetClientInfo(info);
    const uint32_t accepted = info.nAcceptTotalFrames;
    EXPECT_EQ(accepted, uint32_t(frames.size() - 1)); // one audio frame came before the key picture

    sender.refreshURL(server.Url("x"));
    sender.Start();
    for (int t = 0; t < 30000; t += 20) {
        sender.GetClientInfo(info);
        if (info.nRemainFrames == 0 && info.nHasSendFrames == accepted) {
            break;
        }
        SleepMs(20);
    }
    EXPECT_TRUE(info.bConnectOK);
    EXPECT_EQ(info.nHasSendFrames, accepted);
    if (info.nHasSendFrames != accepted) {
        for (const std::string& line : trace.Lines()) {
            std::fprintf(stderr, "%s\n", line.c_str());
        }
    }
    EXPECT_GE(info.nReconnectCount, 1u);
    sender.Destroy();
    EXPECT_TRUE(trace.Contains("----ss---RTMPIni"));
    EXPECT_TRUE(trace.Contains("----ss---RTMPIniOK"));
    ASSERT_TRUE(server.WaitRecordingClosed("x", 15000));
    const std::string out = server.Recording("x");

    const std::string streams = test::Output("ffprobe -v error -show_entries "
                                             "stream=codec_name,width,height,sample_rate,channels "
                                             "-of csv=p=0 '" +
                                             out + "'");
    EXPECT_NE(streams.find("h264,1280,720"), std::string::npos) << streams;
    EXPECT_NE(streams.find("aac,48000,2"), std::string::npos) << streams;

    // Every picture arrived, 40 ms apart, and decodes without an error.
    const std::string pts = test::Output("ffprobe -v error -select_streams v -show_entries "
                                         "packet=pts -of csv=p=0 '" +
                                         out + "'");
    std::vector<long> stamps;
    for (size_t pos = 0; pos < pts.size();) {
        const size_t end = pts.find('\n', pos);
        stamps.push_back(std::stol(pts.substr(pos, end - pos)));
        pos = end == std::string::npos ? pts.size() : end + 1;
    }
    ASSERT_EQ(stamps.size(), 100u);
    for (size_t i = 1; i < stamps.size(); ++i) {
        const long step = stamps[i] - stamps[i - 1];
        EXPECT_TRUE(step == 40 || step == 30 || step == 50) << i << ": " << step;
    }
    EXPECT_EQ(test::Output("ffmpeg -nostdin -v error -i '" + out + "' -f null - 2>&1"), "");
}

void Queue(TRtmpSend& sender, const std::vector<std::vector<uint8_t>>& frames) {
    for (const auto& f : frames) {
        TZeroMediaFrameHead head{};
        ReadMediaFrameHead(f, head);
        sender.addPackage_IncludeHead(head, f.data() + kMediaFrameHeadSize);
    }
}

// Waits until `done` frames were written or given up and nothing is queued.
bool WaitSent(TRtmpSend& sender, uint32_t done, int waitMs) {
    TClientSendInfo info;
    for (int t = 0; t < waitMs; t += 20) {
        sender.GetClientInfo(info);
        if (info.nHasSendFrames + info.nThrowFrames >= done && info.nRemainFrames == 0) {
            return true;
        }
        SleepMs(20);
    }
    return false;
}

TEST(RtmpLive, ServerRestartIsFollowedByANewConnection) {
    test::TempDir dir;
    const auto video = test::EncodeTestVideo(640, 360, 50);
    ASSERT_EQ(video.size(), 50u);

    TRtmpSend sender;
    sender.initialize(640, 360, 0);
    sender.SetPause(false);
    const int port = test::FreeLoopbackPort();
    {
        ::mkdir(dir.File("first").c_str(), 0777);
        test::NginxRtmp first(dir.File("first"), port);
        ASSERT_TRUE(first.Listening());
        sender.refreshURL(first.Url("x"));
        sender.Start();
        Queue(sender, video);
        ASSERT_TRUE(WaitSent(sender, 50, 20000));
    } // the server goes away mid-lesson

    // Frames keep coming while nobody listens, the group in progress
    // included; a new server on the same address gets them after the
    // sender's next attempt, starting at a key picture.
    Queue(sender, std::vector<std::vector<uint8_t>>(video.begin() + 5, video.end()));
    ::mkdir(dir.File("second").c_str(), 0777);
    test::NginxRtmp second(dir.File("second"), port);
    ASSERT_TRUE(second.Listening());
    Queue(sender, video);
    EXPECT_TRUE(WaitSent(sender, 145, 20000));
    TClientSendInfo info;
    sender.GetClientInfo(info);
    EXPECT_GE(info.nReconnectCount, 2u);
    EXPECT_TRUE(info.bConnectOK);
    sender.Destroy();
    ASSERT_TRUE(second.WaitRecordingClosed("x", 15000));
    const std::string packets = test::Output("ffprobe -v error -count_packets -select_streams v "
                                             "-show_entries stream=nb_read_packets -of csv=p=0 '" +
                                             second.Recording("x") + "'");
    ASSERT_FALSE(packets.empty());
    EXPECT_GE(std::stoi(packets), 25) << packets;
    // The new stream begins on a key picture.
    const std::string flags =
        test::Output("ffprobe -v error -select_streams v -read_intervals %+#1 "
                     "-show_entries packet=flags -of csv=p=0 '" +
                     second.Recording("x") + "'");
    EXPECT_EQ(flags.substr(0, 1), "K") << flags;
}

TEST(RtmpLive, AfterAnOutageTheServerGetsTheClassroomAsItIsNotTheBacklog) {
    test::TempDir dir;
    const std::string adts = dir.File("a.aac");
    ASSERT_TRUE(test::MakeTestAdts(adts, 4));
    const auto video = test::EncodeTestVideo(640, 360, 100); // four groups of 25
    ASSERT_EQ(video.size(), 100u);
    const auto frames = test::Interleave(video, test::ReadMediaFrames(adts));
    test::NginxRtmp server(dir.Path());
    ASSERT_TRUE(server.Listening());

    TTraceCapture trace;
    TRtmpSend sender;
    sender.initialize(640, 360, 0);
    sender.SetPause(false);
    {
        // Four seconds of the programme pile up while the sender cannot send.
        TTestClock clock(5000);
        for (const auto& f : frames) {
            TZeroMediaFrameHead head{};
            ReadMediaFrameHead(f, head);
            sender.addPackage_IncludeHead(head, f.data() + kMediaFrameHeadSize);
            if (TFrameQueue::IsVideo(head.nFrameType)) {
                clock.Advance(40);
            }
        }
        // The connection comes back: only the newest group is still live.
        sender.refreshURL(server.Url("x"));
        sender.Start();
        TClientSendInfo info;
        sender.GetClientInfo(info);
        ASSERT_TRUE(WaitSent(sender, info.nAcceptTotalFrames, 20000));
        sender.GetClientInfo(info);
        EXPECT_LT(info.nHasSendFrames, info.nAcceptTotalFrames / 3);
        EXPECT_EQ(info.nLiveDropGroups, 3u); // two while waiting, one on connecting
        // Stopped while the clock still stands, so no reconnection follows.
        sender.Destroy();
    }
    const auto lines = trace.Lines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) {
                                return l.rfind("----ss---drop to stay live =", 0) == 0 &&
                                       l.find(" waited 2000ms") != std::string::npos;
                            }),
              3);
    ASSERT_TRUE(server.WaitRecordingClosed("x", 15000));
    const std::string out = server.Recording("x");
    const std::string flags = test::Output("ffprobe -v error -select_streams v -show_entries "
                                           "packet=flags -of csv=p=0 '" +
                                           out + "'");
    EXPECT_EQ(std::count(flags.begin(), flags.end(), '\n'), 25) << flags;
    EXPECT_EQ(flags.substr(0, 1), "K") << flags;
    EXPECT_EQ(test::Output("ffmpeg -nostdin -v error -i '" + out + "' -f null - 2>&1"), "");
}

TEST(RtmpLive, TheSocketsSendBufferIsFixedSoASlowUplinkCannotHideSeconds) {
    test::TempDir dir;
    const auto video = test::EncodeTestVideo(640, 360, 25);
    test::NginxRtmp server(dir.Path());
    ASSERT_TRUE(server.Listening());
    TRtmpSend sender;
    sender.initialize(640, 360, 0);
    sender.SetPause(false);
    sender.refreshURL(server.Url("x"));
    sender.Start();
    Queue(sender, video);
    ASSERT_TRUE(WaitSent(sender, 25, 20000));
    // The kernel reports twice the size asked for; left alone it would start
    // at 16 KiB and grow with the connection, up to megabytes.
    const std::string sockets =
        test::Output("ss -tmnH dst 127.0.0.1:" + std::to_string(server.Port()) + " 2>&1");
    EXPECT_NE(sockets.find("tb262144,"), std::string::npos) << sockets;
    sender.Destroy();
}

bool WaitConnected(TRtmpSend& sender, int waitMs) {
    TClientSendInfo info;
    for (int t = 0; t < waitMs; t += 20) {
        sender.GetClientInfo(info);
        if (info.bConnectOK) {
            return true;
        }
        SleepMs(20);
    }
    return false;
}

TEST(RtmpLive, AStoppedPushSendsWhatIsQueuedBeforeClosing) {
    test::TempDir dir;
    const auto video = test::EncodeTestVideo(640, 360, 100);
    ASSERT_EQ(video.size(), 100u);
    test::NginxRtmp server(dir.Path());
    ASSERT_TRUE(server.Listening());
    TRtmpSend sender;
    sender.initialize(640, 360, 0);
    sender.SetPause(false);
    sender.refreshURL(server.Url("x"));
    sender.Start();
    ASSERT_TRUE(WaitConnected(sender, 20000));
    // The lesson ends just as four seconds of the programme were queued.
    Queue(sender, video);
    sender.Destroy();
    TClientSendInfo info;
    sender.GetClientInfo(info);
    EXPECT_EQ(info.nHasSendFrames, 100u);
    EXPECT_EQ(info.nThrowFrames, 0u);
    ASSERT_TRUE(server.WaitRecordingClosed("x", 15000));
    const std::string packets = test::Output("ffprobe -v error -count_packets -select_streams v "
                                             "-show_entries stream=nb_read_packets -of csv=p=0 '" +
                                             server.Recording("x") + "'");
    EXPECT_EQ(packets, "100\n");
}

// Queues 100 MB of pictures for a server that stops reading (slow: it
// reads in short bursts, a few times a second), stops the push and moves
// the count on about as fast as time until the stop is through. Returns
// how far the count moved.
uint32_t StopWithABacklogNobodyTakes(bool slow, TClientSendInfo& info) {
    test::TempDir dir;
    test::NginxRtmp server(dir.Path());
    EXPECT_TRUE(server.Listening());
    TTestClock clock(10000); // stands still unless moved
    TRtmpSend sender;
    sender.initialize(640, 360, 0);
    sender.SetPause(false);
    sender.refreshURL(server.Url("x"));
    sender.Start();
    EXPECT_TRUE(WaitConnected(sender, 20000));
    server.Freeze(true);
    std::atomic<bool> stopped{false};
    std::thread reading([&] {
        while (slow && !stopped) {
            server.Freeze(false);
            SleepMs(1);
            server.Freeze(true);
            SleepMs(50);
        }
    });
    // Large pictures (one NAL unit each, for the muxer to pass on): far more
    // than the socket buffers take.
    std::vector<uint8_t> unit(200000, 0x55);
    unit[0] = unit[1] = unit[2] = 0;
    unit[3] = 1;
    for (int i = 0; i < 500; ++i) {
        const bool key = i % 25 == 0;
        unit[4] = key ? 0x65 : 0x41;
        const TZeroMediaFrameHead head{uint8_t(key ? kFrameH264Key : kFrameH264),
                                       uint32_t(unit.size()), 0};
        sender.addPackage_IncludeHead(head, unit.data());
    }
    std::thread stopping([&] {
        sender.Destroy();
        stopped = true;
    });
    for (int t = 0; t < 10000 && !sender.Terminated(); t += 2) {
        SleepMs(2);
    }
    // FFmpeg looks at the interrupt between waits of 100 ms.
    uint32_t moved = 0;
    for (int step = 0; step < 300 && !stopped; ++step) {
        clock.Advance(100);
        moved += 100;
        SleepMs(100);
    }
    stopping.join();
    stopped = true;
    reading.join();
    sender.GetClientInfo(info);
    return moved;
}

TEST(RtmpLive, AStoppedPushGivesUpTheFinalSendingWhenTheServerTakesNothing) {
    TClientSendInfo info;
    // The stop takes the final sending's limit, not a write limit per frame left.
    EXPECT_LE(StopWithABacklogNobodyTakes(false, info), TRtmpSend::kFinalSendMs + 600);
    EXPECT_LT(info.nHasSendFrames, 500u);
    EXPECT_EQ(info.nRemainFrames, 0u);
    EXPECT_EQ(info.nHasSendFrames + info.nThrowFrames, 500u);
}

TEST(RtmpLive, AStoppedPushOnASlowUplinkSendsForItsLimitOnly) {
    TClientSendInfo info;
    // Every write gets through within its own limit, but the whole backlog
    // would take many seconds.
    EXPECT_LE(StopWithABacklogNobodyTakes(true, info), TRtmpSend::kFinalSendMs + 600);
    EXPECT_GT(info.nHasSendFrames, 0u);
    EXPECT_LT(info.nHasSendFrames, 500u);
    EXPECT_EQ(info.nHasSendFrames + info.nThrowFrames, 500u);
}

TEST(RtmpLive, UnreachableServerIsRetriedEverySecond) {
    const int port = test::FreeLoopbackPort(); // nobody listens here
    TRtmpSend sender;
    sender.initialize(1280, 720, 0, {});
    sender.SetPause(false);
    sender.refreshURL("rtmp://127.0.0.1:" + std::to_string(port) + "/live/x");
    sender.Start();
    TClientSendInfo info;
    for (int t = 0; t < 10000; t += 20) {
        sender.GetClientInfo(info);
        if (info.nReconnectCount >= 2) {
            break;
        }
        SleepMs(20);
    }
    EXPECT_GE(info.nReconnectCount, 2u);
    EXPECT_FALSE(info.bConnectOK);
    sender.Destroy();
}

} // namespace
} // namespace tavrin
