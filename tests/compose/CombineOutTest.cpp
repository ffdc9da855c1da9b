#include "compose/CombineOut.h"

#include "base/GloTimer.h"
#include "base/Trace.h"
#include "decode/DispManager.h"
#include "output/Adts.h"
#include "output/ReadAV.h"
#include "output/RtmpSend.h"
#include "output/SaveAV.h"
#include "tests/base/TempDir.h"
#include "tests/decode/TestPicture.h"
#include "tests/output/StoreTestKit.h"
#include "tests/support/Pictures.h"

#include <atomic>
#include <cstring>
#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace tavrin {
namespace {

TEST(CombineOutTick, FortyMillisecondStepsAndResync) {
    uint32_t last = 890;
    EXPECT_TRUE(TCombineOut::TickDue(1000, last));
    EXPECT_EQ(last, 1000u); // more than 60 ms late: missed ticks are dropped
    last = 900;
    EXPECT_TRUE(TCombineOut::TickDue(1000, last));
    EXPECT_EQ(last, 940u);
    last = 950;
    EXPECT_TRUE(TCombineOut::TickDue(1000, last));
    EXPECT_EQ(last, 990u);
    last = 961;
    EXPECT_FALSE(TCombineOut::TickDue(1000, last));
    EXPECT_EQ(last, 961u);
    last = 0xFFFFFFF0u; // across the wrap of the count
    EXPECT_TRUE(TCombineOut::TickDue(0x18u, last));
    EXPECT_EQ(last, 0x18u);
}

// The loop sleeps exactly until the tick rule fires: never past the due
// millisecond, never waking before it to find nothing due.
TEST(CombineOutTick, WaitEndsOnTheDueMillisecond) {
    for (const uint32_t start : {0u, 960u, 0xFFFFFFE0u}) {
        for (uint32_t since = 0; since <= 45; ++since) {
            const uint32_t now = start + since;
            const uint32_t wait = TCombineOut::TickWaitMs(now, start);
            uint32_t last = start;
            EXPECT_TRUE(TCombineOut::TickDue(now + wait, last)) << start << "+" << since;
            if (wait > 0) {
                last = start;
                EXPECT_FALSE(TCombineOut::TickDue(now + wait - 1, last)) << start << "+" << since;
            }
        }
    }
    EXPECT_EQ(TCombineOut::TickWaitMs(961, 960), 39u);
    EXPECT_EQ(TCombineOut::TickWaitMs(1000, 960), 0u);
    EXPECT_EQ(TCombineOut::TickWaitMs(0x10u, 0xFFFFFFF0u), 8u); // across the wrap
    EXPECT_EQ(TCombineOut::TickWaitMs(950, 960), 40u);          // the count went back
}

const SDL_Rect kNoRect{0, 0, 0, 0};

// Delivers a solid picture for nPort at the size the programme wants.
bool Deliver(TCombineOut& out, int nPort, uint8_t luma) {
    int w = 0;
    int h = 0;
    int count = 0;
    const int slot = out.GetIfNeedPushYUV_EX(nPort, w, h, count);
    if (slot <= 0) {
        return false;
    }
    AvFramePtr picture = test::MakePicture(w, h);
    test::FillSolid(picture.get(), luma, 128, 128);
    return out.PushYUVtoCombine(picture.get(), nPort, count, slot) == slot;
}

uint8_t CentreLuma(const AVFrame* f) {
    return test::At(f, 0, f->width / 2, f->height / 2);
}

TEST(CombineOut, LayoutChangeHoldsThePreviousPictureForTwoTicks) {
    TTestClock clock(1000);
    test::TempDir dir;
    TDispManager ports; // offscreen: no window behind the programme pane
    ASSERT_EQ(ports.initialize(), 0);
    TCombineOut out;
    ASSERT_EQ(out.initialize(&ports, 0, 1280, 720, 2000 * 1024, {0, 0, 320, 180}, nullptr), 0);
    const int32_t one[] = {1};
    ASSERT_EQ(out.SetCombinePorts(one, 1), 1);
    ASSERT_TRUE(Deliver(out, 1, 200));
    out.Tick(1000); // the first tick always takes the canvas
    EXPECT_EQ(CentreLuma(out.ProgrammeFrame()), 200);
    {
        // The programme pane (port 0) shows the programme picture.
        const test::TReadBack shown(*ports.Port(0), 320, 180, dir.Path());
        ASSERT_TRUE(shown.Ok());
        EXPECT_TRUE(test::Near(shown.At(160, 90), test::Rgb{218, 218, 218}, 12))
            << shown.At(160, 90);
    }

    const int32_t two[] = {2};
    ASSERT_EQ(out.SetCombinePorts(two, 1), 1);
    EXPECT_FALSE(Deliver(out, 1, 90)); // no longer on the programme
    ASSERT_TRUE(Deliver(out, 2, 60));
    out.Tick(1040);
    EXPECT_EQ(CentreLuma(out.ProgrammeFrame()), 200);
    out.Tick(1080);
    EXPECT_EQ(CentreLuma(out.ProgrammeFrame()), 200);
    out.Tick(1120);
    EXPECT_EQ(CentreLuma(out.ProgrammeFrame()), 60);
}

TEST(CombineOut, RatesOfThePeriodAndForeignAudio) {
    TTestClock clock(5000);
    TCombineOut out;
    out.initialize(nullptr, 0, 1280, 720, 2000 * 1024, kNoRect, nullptr);
    out.SetMainPortForAudio(2);
    const std::vector<uint8_t> aac = test::MakeFrame(kFrameAAC, 1);
    const rAudioChannel loud{90, 80, true, 0};
    for (int i = 0; i < 47; ++i) {
        out.PushAAC(aac.data(), int(aac.size()), 2, &loud);
        out.PushAAC(aac.data(), int(aac.size()), 3, &loud); // not the main channel: ignored
    }
    for (int i = 0; i < 25; ++i) {
        out.Tick(5000 + 40 * uint32_t(i));
    }
    clock.Set(6000);
    uint32_t v = 0;
    uint32_t a = 0;
    bool videoOK = false;
    bool audioOK = false;
    EXPECT_EQ(out.GetAVCounterThisperiod(v, a, videoOK, audioOK), 0);
    EXPECT_EQ(v, 25u);
    EXPECT_EQ(a, 47u);
    EXPECT_TRUE(videoOK && audioOK);

    // Asked again within the same millisecond: no rate can be told.
    EXPECT_EQ(out.GetAVCounterThisperiod(v, a, videoOK, audioOK), -1);
    EXPECT_FALSE(videoOK || audioOK);

    // Only the foreign channel speaks: nothing is counted.
    clock.Set(6500);
    out.PushAAC(aac.data(), int(aac.size()), 3, &loud);
    out.Tick(6500);
    EXPECT_EQ(out.GetAVCounterThisperiod(v, a, videoOK, audioOK), -1);
    EXPECT_EQ(a, 0u);
    EXPECT_EQ(v, 2u);

    // Too many audio frames for one channel.
    clock.Set(7500);
    for (int i = 0; i < 70; ++i) {
        out.PushAAC(aac.data(), int(aac.size()), 2, nullptr);
    }
    out.Tick(7500);
    EXPECT_EQ(out.GetAVCounterThisperiod(v, a, videoOK, audioOK), -2);
    EXPECT_TRUE(videoOK);
    EXPECT_FALSE(audioOK);
}

TEST(CombineOut, ThreadTicksOnlyWhenTheCountReachesTheNextTick) {
    TTestClock clock(100000);
    TCombineOut out;
    out.initialize(nullptr, 0, 640, 360, 1000 * 1024, kNoRect, nullptr);
    out.Start();
    SleepMs(30); // the count stands still: one tick (the resync) at most
    uint32_t v = 0;
    uint32_t a = 0;
    bool videoOK = false;
    bool audioOK = false;
    clock.Set(101000);
    out.GetAVCounterThisperiod(v, a, videoOK, audioOK);
    EXPECT_LE(v, 1u);
    for (int i = 0; i < 10; ++i) {
        clock.Advance(40);
        SleepMs(20); // the loop polls every 2 ms
    }
    clock.Set(102000);
    out.GetAVCounterThisperiod(v, a, videoOK, audioOK);
    // About one tick per 40 ms step: the loop follows the count, not the wall
    // clock (a starved thread may resync and drop some, never add any).
    EXPECT_GE(v, 1u);
    EXPECT_LE(v, 11u);
    out.Terminate();
    out.WaitFor();
}

// Decodes one H.264 access unit (a key picture) into a picture.
AvFramePtr DecodeKeyUnit(const std::vector<uint8_t>& unit) {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    AvCodecContextPtr ctx(avcodec_alloc_context3(codec));
    avcodec_open2(ctx.get(), codec, nullptr);
    AvPacketPtr pkt(av_packet_alloc());
    av_new_packet(pkt.get(), int(unit.size()));
    std::copy(unit.begin(), unit.end(), pkt->data);
    avcodec_send_packet(ctx.get(), pkt.get());
    avcodec_send_packet(ctx.get(), nullptr);
    AvFramePtr frame(av_frame_alloc());
    if (avcodec_receive_frame(ctx.get(), frame.get()) != 0) {
        return nullptr;
    }
    return frame;
}

int MaxLuma(const AVFrame* f, int x0, int y0, int x1, int y1) {
    int most = 0;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            most = std::max<int>(most, f->data[0][y * f->linesize[0] + x]);
        }
    }
    return most;
}

// An ADTS frame of 48 kHz stereo sound (its payload is not decoded).
std::vector<uint8_t> AdtsFrame(uint32_t seq) {
    std::vector<uint8_t> f(kAdtsHeaderSize + 200, 0x21);
    uint8_t header[kAdtsHeaderSize];
    MakeAdtsHeader(header, int(f.size()), 48000);
    std::copy(header, header + kAdtsHeaderSize, f.begin());
    std::memcpy(f.data() + kAdtsHeaderSize, &seq, 4);
    return f;
}

struct TBlockCounts {
    int video = 0;
    int audio = 0;
    int firstType = 0;
    int keys = 0;
};

TEST(CombineOut, RecordsEveryPictureWithPacedSoundAcrossAStalledSoundChannel) {
    test::TempDir dir;
    TGetLessionInfo paths;
    paths.initialize(dir.Path(), "7");
    TSaveAV recorder;
    recorder.Create(paths);
    ASSERT_EQ(recorder.NewLession(31, 1280, 720), 0);
    TRtmpSend sender; // never started: its queue shows what it was given
    sender.initialize(1280, 720, 0);
    sender.SetPause(false);

    TTestClock clock(20000);
    TCombineOut out;
    TLessionInfo lesson;
    lesson.LessionName = "第3课:认识分数";
    out.initialize(nullptr, 0, 1280, 720, 2000 * 1024, kNoRect, &lesson);
    out.SetOutputs(&sender, &recorder);
    out.SetMainPortForAudio(1);

    // The live push sets the encoder's rhythm going before recording starts
    // in the middle of a second. The sound channel then stalls for 1.24 s
    // (across the encoder's own key picture) and delivers its backlog at
    // once.
    constexpr int kRecordFrom = 13;
    constexpr int kStallFrom = 40;
    constexpr int kStallTo = 71;
    constexpr int kTicks = 135;
    uint32_t seq = 0;
    uint32_t now = 20000;
    int emitted = 0;
    for (int tick = 1; tick <= kTicks; ++tick) {
        now += 40;
        clock.Set(now);
        if (tick == kRecordFrom) {
            out.SetCaptureState(true);
        }
        if (tick < kStallFrom || tick >= kStallTo) {
            for (; int64_t(seq) * 1024 * 1000 <= int64_t(tick) * 40 * 48000; ++seq) {
                const std::vector<uint8_t> aac = AdtsFrame(seq);
                out.PushAAC(aac.data(), int(aac.size()), 1, nullptr);
            }
        }
        TClientSendInfo before;
        sender.GetClientInfo(before);
        out.Tick(now);
        TClientSendInfo after;
        sender.GetClientInfo(after);
        emitted += int(after.nAcceptTotalFrames - before.nAcceptTotalFrames);
    }
    out.SetCaptureState(false);
    recorder.EndLession();

    TReadAV reader;
    reader.initialize(paths);
    ASSERT_EQ(reader.OpenLession(31), 0);
    std::vector<uint8_t> data;
    int size = 0;
    int type = 0;
    int block = 0;
    std::vector<TBlockCounts> blocks;
    std::vector<uint8_t> firstKey;
    while (reader.GetFrame(data, size, type, block, false) >= 0) {
        if (size_t(block) >= blocks.size()) {
            blocks.resize(size_t(block) + 1);
        }
        TBlockCounts& b = blocks[size_t(block)];
        if (b.video + b.audio == 0) {
            b.firstType = type;
        }
        if (type == kFrameAAC) {
            ++b.audio;
            continue;
        }
        ++b.video;
        if (type == kFrameH264Key) {
            ++b.keys;
            if (firstKey.empty()) {
                firstKey.assign(data.begin(), data.begin() + size);
            }
        }
    }
    // Every tick while recording gave a picture (the encoder hands out its
    // last few only after the recording ended).
    int video = 0;
    int audio = 0;
    for (const TBlockCounts& b : blocks) {
        video += b.video;
        audio += b.audio;
    }
    EXPECT_GE(video, kTicks - kRecordFrom + 1 - 3);
    EXPECT_LE(video, kTicks - kRecordFrom + 1);
    EXPECT_EQ(audio, video * 48000 / 25 / 1024);
    // Blocks of one second from the first recorded picture on, each with
    // its second of sound.
    ASSERT_EQ(blocks.size(), size_t(video + 24) / 25);
    for (size_t i = 0; i < blocks.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(blocks[i].firstType, kFrameH264Key);
        EXPECT_EQ(blocks[i].keys, 1);
        if (i + 1 < blocks.size()) {
            EXPECT_EQ(blocks[i].video, 25);
            EXPECT_TRUE(blocks[i].audio == 46 || blocks[i].audio == 47) << blocks[i].audio;
        }
    }
    // The stall became silence and its backlog was dropped.
    const TRecordAudioPacer::TStats stats = out.RecordAudioStats();
    EXPECT_NEAR(double(stats.nSilent), (kStallTo - kStallFrom) * 1.875, 4.0);
    EXPECT_NEAR(double(stats.nDropped), (kStallTo - kStallFrom) * 1.875, 4.0);
    EXPECT_GE(emitted, kTicks - 3); // the live push had every picture

    // The recorded programme carries the grey caption near its bottom-left
    // corner; the preview picture does not.
    AvFramePtr decoded = DecodeKeyUnit(firstKey);
    ASSERT_TRUE(decoded);
    EXPECT_GT(MaxLuma(decoded.get(), 10, 684, 300, 712), 80);
    EXPECT_LT(MaxLuma(out.ProgrammeFrame(), 10, 684, 300, 712), 50);
}

// Waits (bounded) until the pipeline's thread has finished `ticks` counted
// ticks; the first tick of the thread is not counted.
bool WaitTicks(TCombineOut& out, uint64_t ticks) {
    TCombineOut::TTickStats stats;
    for (int i = 0; i < 5000; ++i) {
        out.GetTickStats(stats);
        if (stats.ticks >= ticks) {
            return stats.ticks == ticks;
        }
        SleepMs(2);
    }
    return false;
}

TEST(CombineOut, AStarvedTickLosesNoRecordedTimeUpToOneSecond) {
    test::TempDir dir;
    TGetLessionInfo paths;
    paths.initialize(dir.Path(), "7");
    TSaveAV recorder;
    recorder.Create(paths);
    ASSERT_EQ(recorder.NewLession(33, 640, 360), 0);
    TTraceCapture trace;
    TTestClock clock(50000);
    TCombineOut out;
    out.initialize(nullptr, 0, 640, 360, 1000 * 1024, kNoRect, nullptr);
    out.SetOutputs(nullptr, &recorder);
    out.SetMainPortForAudio(1);
    std::atomic<int> composed{0};
    out.SetTickObserver([&composed](const AVFrame*) { ++composed; });
    out.Start();
    for (int i = 0; i < 5000 && composed == 0; ++i) {
        SleepMs(2);
    }
    ASSERT_EQ(composed, 1);
    clock.Advance(40);
    ASSERT_TRUE(WaitTicks(out, 1));

    // The sound channel's frames arrive as their sound ends; the tick thread
    // is starved now and then, while the sound keeps arriving. The run's
    // picture 0 is composed at t = 0.
    const std::vector<uint8_t> first = AdtsFrame(0);
    out.PushAAC(first.data(), int(first.size()), 1, nullptr); // its format only
    out.SetCaptureState(true);
    uint32_t seq = 0;
    uint32_t t = 0;
    uint64_t ticks = 1;
    auto Step = [&](uint32_t ms) {
        t += ms;
        for (; int64_t(seq + 1) * 1024 * 1000 <= int64_t(t) * 48000; ++seq) {
            const std::vector<uint8_t> aac = AdtsFrame(seq);
            out.PushAAC(aac.data(), int(aac.size()), 1, nullptr);
        }
        clock.Advance(ms);
        return WaitTicks(out, ++ticks);
    };
    clock.Advance(40);
    ASSERT_TRUE(WaitTicks(out, ++ticks)); // picture 0
    // Stalls of 3, 5, 11 and 25 ticks' length between steady ticks.
    const uint32_t stalls[] = {120, 200, 440, 1000};
    for (const uint32_t stall : stalls) {
        for (int i = 0; i < 20; ++i) {
            ASSERT_TRUE(Step(40));
        }
        ASSERT_TRUE(Step(stall));
    }
    for (int i = 0; i < 40; ++i) {
        ASSERT_TRUE(Step(40));
    }
    const uint32_t inTime = t / 40 + 1; // pictures the run's wall time calls for
    TCombineOut::TTickStats stats;
    out.GetTickStats(stats);
    EXPECT_EQ(stats.missed, 2u + 4u + 10u + 24u);
    EXPECT_EQ(stats.repeated, stats.missed);
    const TRecordAudioPacer::TStats sound = out.RecordAudioStats();
    EXPECT_EQ(sound.nDropped, 0u); // the sound of each stall went with its pictures
    EXPECT_LE(sound.nSilent, 2u);

    // A stall beyond the bound: the recording loses what is beyond it.
    ASSERT_TRUE(Step(2000));
    for (int i = 0; i < 30; ++i) {
        ASSERT_TRUE(Step(40));
    }
    out.GetTickStats(stats);
    EXPECT_EQ(stats.missed, 40u + 49u);
    EXPECT_EQ(stats.repeated, 40u + TCombineOut::kMaxRepeatedTicks);
    const uint32_t lost = 49 - TCombineOut::kMaxRepeatedTicks;
    const uint32_t wanted = t / 40 + 1 - lost;
    out.SetCaptureState(false);
    out.Terminate();
    out.WaitFor();
    recorder.EndLession();
    EXPECT_TRUE(trace.Contains("----ss---repeated for the recording =24 of 24 missed"));
    EXPECT_TRUE(trace.Contains("----ss---repeated for the recording =25 of 49 missed"));

    TReadAV reader;
    reader.initialize(paths);
    ASSERT_EQ(reader.OpenLession(33), 0);
    std::vector<uint8_t> data;
    int size = 0;
    int type = 0;
    int block = 0;
    std::vector<TBlockCounts> blocks;
    while (reader.GetFrame(data, size, type, block, false) >= 0) {
        if (size_t(block) >= blocks.size()) {
            blocks.resize(size_t(block) + 1);
        }
        TBlockCounts& b = blocks[size_t(block)];
        ++(type == kFrameAAC ? b.audio : b.video);
        b.keys += type == kFrameH264Key ? 1 : 0;
    }
    int video = 0;
    for (const TBlockCounts& b : blocks) {
        video += b.video;
    }
    // Every tick of wall time gave a recorded picture (the encoder keeps its
    // last few when the recording ends).
    EXPECT_GE(uint32_t(video) + 3, wanted) << "of " << inTime << " before the long stall";
    EXPECT_LE(uint32_t(video), wanted);
    ASSERT_EQ(blocks.size(), size_t(video + 24) / 25);
    for (size_t i = 0; i + 1 < blocks.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(blocks[i].video, 25);
        EXPECT_EQ(blocks[i].keys, 1);
        EXPECT_TRUE(blocks[i].audio == 46 || blocks[i].audio == 47) << blocks[i].audio;
    }
}

TEST(CombineOut, RecordingWaitsForTheSoundChannelsFirstFrame) {
    test::TempDir dir;
    TGetLessionInfo paths;
    paths.initialize(dir.Path(), "7");
    TSaveAV recorder;
    recorder.Create(paths);
    ASSERT_EQ(recorder.NewLession(32, 640, 360), 0);
    TTestClock clock(1000);
    TCombineOut out;
    out.initialize(nullptr, 0, 640, 360, 1000 * 1024, kNoRect, nullptr);
    out.SetOutputs(nullptr, &recorder);
    out.SetMainPortForAudio(2);
    out.SetCaptureState(true);
    uint32_t now = 1000;
    for (int tick = 0; tick < 10; ++tick) {
        out.Tick(now += 40); // no sound yet: its silence's format is unknown
    }
    int pictures = 0;
    int frames = 0;
    recorder.GetRecordedFrames(pictures, frames);
    EXPECT_EQ(pictures, 0);
    const std::vector<uint8_t> aac = AdtsFrame(0);
    out.PushAAC(aac.data(), int(aac.size()), 2, nullptr);
    for (int tick = 0; tick < 30; ++tick) {
        out.Tick(now += 40); // from now on pictures are recorded, silence fills
    }
    recorder.GetRecordedFrames(pictures, frames);
    EXPECT_GE(pictures, 27);
    EXPECT_EQ(frames, pictures * 48000 / 25 / 1024);
    EXPECT_EQ(out.RecordAudioStats().nReal, 1u);
}

} // namespace
} // namespace tavrin
