#include "compose/CombineOut.h"

#include "base/GloTimer.h"
#include "decode/DispManager.h"
#include "output/RtmpSend.h"
#include "tests/base/TempDir.h"
#include "tests/decode/TestPicture.h"
#include "tests/output/StoreTestKit.h"
#include "tests/support/Pictures.h"

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

TEST(CombineOut, RecorderGetsPicturesOnlyWhileTheMainChannelSpeaks) {
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
    out.SetCaptureState(true);

    const std::vector<uint8_t> aac = test::MakeFrame(kFrameAAC, 1);
    int emitted = 0;
    int emittedWhileSpeaking = 0;
    uint32_t now = 20000;
    for (int tick = 1; tick <= 60; ++tick) {
        now += 40;
        clock.Set(now);
        if (tick <= 30) {
            out.PushAAC(aac.data(), int(aac.size()), 1, nullptr);
        }
        TClientSendInfo before;
        sender.GetClientInfo(before);
        out.Tick(now);
        TClientSendInfo after;
        sender.GetClientInfo(after);
        const int unit = int(after.nAcceptTotalFrames - before.nAcceptTotalFrames);
        emitted += unit;
        // The last sound came at tick 30; ticks up to 200 ms later still record.
        if (tick <= 34) {
            emittedWhileSpeaking += unit;
        }
    }
    EXPECT_GT(emitted, emittedWhileSpeaking); // the sender kept getting pictures
    ASSERT_GT(emittedWhileSpeaking, 20);
    recorder.EndLession();

    TReadAV reader;
    reader.initialize(paths);
    ASSERT_EQ(reader.OpenLession(31), 0);
    std::vector<uint8_t> data;
    int size = 0;
    int type = 0;
    int block = 0;
    int video = 0;
    int audio = 0;
    std::vector<uint8_t> firstKey;
    while (reader.GetFrame(data, size, type, block, false) >= 0) {
        if (type == kFrameAAC) {
            ++audio;
        } else {
            if (video++ == 0) {
                firstKey.assign(data.begin(), data.begin() + size);
                EXPECT_EQ(type, kFrameH264Key);
            }
        }
    }
    EXPECT_EQ(video, emittedWhileSpeaking);
    EXPECT_GT(audio, 0);

    // The recorded programme carries the grey caption near its bottom-left
    // corner; the preview picture does not.
    AvFramePtr decoded = DecodeKeyUnit(firstKey);
    ASSERT_TRUE(decoded);
    EXPECT_GT(MaxLuma(decoded.get(), 10, 684, 300, 712), 80);
    EXPECT_LT(MaxLuma(out.ProgrammeFrame(), 10, 684, 300, 712), 50);
}

} // namespace
} // namespace tavrin
