// The programme's pictures are handed from the canvas to the caption and
// the encoder by reference. What is recorded must stay exactly what copying
// them produced: the canvas copied into a picture of its own, the caption
// drawn on a copy of that, the result encoded.
#include "base/GetLessionInfo.h"
#include "base/GloTimer.h"
#include "base/MediaFrame.h"
#include "compose/AVFilter.h"
#include "compose/CombineOut.h"
#include "compose/CombineVideo.h"
#include "output/Adts.h"
#include "output/EncodeVideo.h"
#include "output/ReadAV.h"
#include "output/SaveAV.h"
#include "tests/base/TempDir.h"
#include "tests/support/Pictures.h"

#include <cstring>
#include <gtest/gtest.h>

namespace tavrin {
namespace {

constexpr int kW = 1280;
constexpr int kH = 720;
constexpr int64_t kBitrate = 2000 * 1024;
const SDL_Rect kNoRect{0, 0, 0, 0};

// A picture of port p for tick t: gradients and a block that move with t,
// so the caption is drawn over detail that changes from tick to tick.
void FillPort(AVFrame* f, int p, int t) {
    for (int y = 0; y < f->height; ++y) {
        for (int x = 0; x < f->width; ++x) {
            const bool block = ((x + 7 * t) / 48 + y / 40 + p) % 5 == 0;
            f->data[0][y * f->linesize[0] + x] = uint8_t(block ? 235 : 30 * p + x / 7 + y / 5 + t);
        }
    }
    for (int plane = 1; plane < 3; ++plane) {
        for (int y = 0; y < f->height / 2; ++y) {
            for (int x = 0; x < f->width / 2; ++x) {
                f->data[plane][y * f->linesize[plane] + x] =
                    uint8_t(64 * plane + 9 * p + x / 11 + t);
            }
        }
    }
}

std::vector<uint8_t> AdtsFrame() {
    std::vector<uint8_t> f(kAdtsHeaderSize + 200, 0x21);
    uint8_t header[kAdtsHeaderSize];
    MakeAdtsHeader(header, int(f.size()), 48000);
    std::copy(header, header + kAdtsHeaderSize, f.begin());
    return f;
}

// The layout in force at tick t: four channels, then three from tick 20,
// then four again from tick 41 (each change holds the picture two ticks).
int PortsAt(int t, int32_t (&ports)[4]) {
    static const int32_t four[] = {1, 2, 3, 4};
    static const int32_t three[] = {3, 1, 4};
    const bool isThree = t >= 20 && t < 41;
    std::copy_n(isThree ? three : four, isThree ? 3 : 4, ports);
    return isThree ? 3 : 4;
}

struct TLayoutChange {
    bool changed;
    int count;
    int32_t ports[4];
};

TLayoutChange LayoutBefore(int t) {
    TLayoutChange c{};
    int32_t before[4] = {};
    c.count = PortsAt(t, c.ports);
    c.changed = t == 1 || PortsAt(t - 1, before) != c.count;
    return c;
}

// Delivers every port's picture of tick t at the size the canvas asks.
template <typename TSizeOf, typename TPush> void DeliverAll(int t, TSizeOf sizeOf, TPush push) {
    for (int port = 1; port <= 4; ++port) {
        int w = 0;
        int h = 0;
        int count = 0;
        const int slot = sizeOf(port, w, h, count);
        if (slot <= 0) {
            continue;
        }
        AvFramePtr picture = test::MakePicture(w, h);
        FillPort(picture.get(), port, t);
        push(picture.get(), port, count, slot);
    }
}

struct TUnit {
    int type;
    std::vector<uint8_t> bytes;
};

// The old way, step by step and by copies: the canvas copied into a
// picture, the caption drawn on a copy of it, the encoder fed a picture of
// its own; the picture held for two ticks after a layout change.
std::vector<TUnit> ReferenceUnits(const std::string& caption, int ticks) {
    TCombineVideo canvas;
    EXPECT_EQ(canvas.initialize(kW, kH), 0);
    TAVFilter filter;
    EXPECT_EQ(filter.initialize(caption, kW, kH), 0);
    TEncodeVideo encoder;
    EXPECT_EQ(encoder.initialize(kW, kH, kBitrate, false), 0);
    AvFramePtr picture = test::MakePicture(kW, kH);
    std::vector<TUnit> units;
    std::vector<uint8_t> unit;
    int hold = 0;
    for (int t = 1; t <= ticks; ++t) {
        const TLayoutChange c = LayoutBefore(t);
        if (c.changed) {
            canvas.SetCombinePorts(c.ports, c.count);
            hold = t == 1 ? 0 : 2;
        }
        DeliverAll(
            t, [&](int p, int& w, int& h, int& n) { return canvas.GetSlotSize(p, w, h, n); },
            [&](const AVFrame* f, int p, int n, int s) { canvas.PushYUVtoCombine(f, p, n, s); });
        if (hold > 0) {
            --hold;
        } else {
            canvas.GetFrame(picture.get());
        }
        AVFrame* captioned = nullptr;
        EXPECT_EQ(filter.PushFrame(picture.get(), captioned), 0);
        if (encoder.NextPictureIndex() % 25 == 0) {
            encoder.ForceKeyPicture();
        }
        int type = 0;
        if (encoder.GetPackage(captioned, unit, type) > 0) {
            units.push_back({type, unit});
        }
        av_frame_unref(captioned);
    }
    return units;
}

TEST(ProgrammePicture, RecordedProgrammeIsByteIdenticalToCopyingEachPicture) {
    TLessionInfo lesson;
    lesson.LessionName = "第7课 Fractions and decimals";
    TGetLessionInfo names;
    std::string caption;
    names.Get_WaterMark_inCapture(lesson, 0, caption);
    constexpr int kTicks = 60;
    const std::vector<TUnit> expected = ReferenceUnits(caption, kTicks);
    ASSERT_GE(expected.size(), size_t(kTicks - 5));

    test::TempDir dir;
    TGetLessionInfo paths;
    paths.initialize(dir.Path(), "7");
    TSaveAV recorder;
    recorder.Create(paths);
    ASSERT_EQ(recorder.NewLession(41, kW, kH), 0);
    TTestClock clock(5000);
    TCombineOut out;
    ASSERT_EQ(out.initialize(nullptr, 0, kW, kH, kBitrate, kNoRect, &lesson), -1);
    out.SetOutputs(nullptr, &recorder);
    out.SetMainPortForAudio(1);
    const std::vector<uint8_t> aac = AdtsFrame();
    out.PushAAC(aac.data(), int(aac.size()), 1, nullptr);
    out.SetCaptureState(true);
    uint32_t now = 5000;
    for (int t = 1; t <= kTicks; ++t) {
        const TLayoutChange c = LayoutBefore(t);
        if (c.changed) {
            out.SetCombinePorts(c.ports, c.count);
        }
        DeliverAll(
            t, [&](int p, int& w, int& h, int& n) { return out.GetIfNeedPushYUV_EX(p, w, h, n); },
            [&](const AVFrame* f, int p, int n, int s) { out.PushYUVtoCombine(f, p, n, s); });
        out.PushAAC(aac.data(), int(aac.size()), 1, nullptr);
        now += 40;
        clock.Set(now);
        out.Tick(now);
    }
    out.SetCaptureState(false);
    recorder.EndLession();

    TReadAV reader;
    reader.initialize(paths);
    ASSERT_EQ(reader.OpenLession(41), 0);
    std::vector<uint8_t> data;
    int size = 0;
    int type = 0;
    int block = 0;
    size_t i = 0;
    while (reader.GetFrame(data, size, type, block, false) >= 0) {
        if (type == kFrameAAC) {
            continue;
        }
        ASSERT_LT(i, expected.size());
        SCOPED_TRACE(i);
        EXPECT_EQ(type, expected[i].type);
        ASSERT_EQ(size_t(size), expected[i].bytes.size());
        EXPECT_EQ(std::memcmp(data.data(), expected[i].bytes.data(), size_t(size)), 0);
        ++i;
    }
    EXPECT_EQ(i, expected.size());
}

// The caption is drawn into the programme's own picture and taken out
// again: the picture a tick leaves behind, which the preview shows and a
// layout change repeats, carries no caption.
TEST(ProgrammePicture, CaptionLeavesTheTickPictureUncaptioned) {
    TLessionInfo lesson;
    lesson.LessionName = "Caption over a bright picture";
    TGetLessionInfo names;
    std::string caption;
    names.Get_WaterMark_inCapture(lesson, 0, caption);
    TAVFilter filter;
    ASSERT_EQ(filter.initialize(caption, kW, kH), 0);
    int first = 0;
    int last = 0;
    ASSERT_TRUE(filter.DrawnRows(first, last));
    // The 26-pixel caption at row 684 of a 720-row picture.
    EXPECT_GE(first, 660);
    EXPECT_LE(first, 700);
    EXPECT_GE(last, 690);
    EXPECT_LT(last, kH);
    EXPECT_EQ(filter.EffectCount(), 0);

    TCombineVideo reference;
    ASSERT_EQ(reference.initialize(kW, kH), 0);
    const int32_t one[] = {1};
    reference.SetCombinePorts(one, 1);
    AvFramePtr delivered = test::MakePicture(kW, kH);
    FillPort(delivered.get(), 1, 3);
    reference.PushYUVtoCombine(delivered.get(), 1, 1, 1);
    AvFramePtr plain = test::MakePicture(kW, kH);
    reference.GetFrame(plain.get());

    test::TempDir dir;
    TGetLessionInfo paths;
    paths.initialize(dir.Path(), "7");
    TSaveAV recorder;
    recorder.Create(paths);
    ASSERT_EQ(recorder.NewLession(42, kW, kH), 0);
    TTestClock clock(5000);
    TCombineOut out;
    out.initialize(nullptr, 0, kW, kH, kBitrate, kNoRect, &lesson);
    out.SetOutputs(nullptr, &recorder);
    out.SetMainPortForAudio(1);
    const std::vector<uint8_t> aac = AdtsFrame();
    out.PushAAC(aac.data(), int(aac.size()), 1, nullptr);
    out.SetCaptureState(true);
    out.SetCombinePorts(one, 1);
    out.PushYUVtoCombine(delivered.get(), 1, 1, 1);
    for (uint32_t now = 5040; now <= 5120; now += 40) {
        clock.Set(now);
        out.Tick(now);
        const AVFrame* left = out.ProgrammeFrame();
        for (int plane = 0; plane < 3; ++plane) {
            const int rows = plane == 0 ? kH : kH / 2;
            const int cols = plane == 0 ? kW : kW / 2;
            for (int y = 0; y < rows; ++y) {
                ASSERT_EQ(std::memcmp(left->data[plane] + y * left->linesize[plane],
                                      plain->data[plane] + y * plain->linesize[plane],
                                      size_t(cols)),
                          0)
                    << "plane " << plane << " row " << y << " at " << now;
            }
        }
    }
    out.SetCaptureState(false);
    recorder.EndLession();
}

} // namespace
} // namespace tavrin
