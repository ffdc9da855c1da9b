#include "decode/DecodeVideo.h"

#include "base/MediaFrame.h"
#include "base/Trace.h"
#include "output/EncodeVideo.h"
#include "tests/support/Pictures.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <tuple>
#include <vector>

namespace tavrin {
namespace {

using test::At;
using test::LumaPsnr;
using test::MakePicture;

struct TStream {
    std::vector<std::vector<uint8_t>> units;
    std::vector<int> types;
    std::vector<AvFramePtr> sources; // sources[i] is the picture of units[i]
};

TStream MakeStream(int w, int h, int pictures) {
    TStream s;
    TEncodeVideo enc;
    EXPECT_EQ(enc.initialize(w, h, 8 << 20, false), 0);
    std::vector<AvFramePtr> pending;
    std::vector<uint8_t> out;
    for (int i = 0; i < pictures; ++i) {
        AvFramePtr pic = MakePicture(w, h);
        test::FillScene(pic.get(), i);
        pending.push_back(std::move(pic));
        int type = 0;
        if (enc.GetPackage(pending.back().get(), out, type) > 0) {
            s.units.push_back(out);
            s.types.push_back(type);
        }
    }
    // Units come out in picture order, after the encoder's start-up delay.
    for (size_t i = 0; i < s.units.size(); ++i) {
        s.sources.push_back(std::move(pending[i]));
    }
    return s;
}

// Feeds units from next on until a picture comes out.
bool NextPicture(TDecodeVideo& dec, const TStream& s, size_t& next, bool full, AVFrame*& preview,
                 AVFrame*& clip) {
    while (next < s.units.size()) {
        const auto& u = s.units[next];
        const int type = s.types[next++];
        if (dec.GetFrame_includeClip(full, u.data(), int(u.size()), preview, clip, type)) {
            return true;
        }
    }
    return false;
}

class DecodeVideoTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        k1080 = std::make_unique<TStream>(MakeStream(1920, 1080, 12));
        k720 = std::make_unique<TStream>(MakeStream(1280, 720, 10));
    }
    static void TearDownTestSuite() {
        k1080.reset();
        k720.reset();
    }

    static std::unique_ptr<TStream> k1080;
    static std::unique_ptr<TStream> k720;
};
std::unique_ptr<TStream> DecodeVideoTest::k1080;
std::unique_ptr<TStream> DecodeVideoTest::k720;

// True when clip equals the w x h area at (x, y) of pic, byte for byte.
::testing::AssertionResult SameArea(const AVFrame* pic, int x, int y, const AVFrame* clip) {
    for (int r = 0; r < clip->height; ++r) {
        for (int c = 0; c < clip->width; ++c) {
            if (At(pic, 0, x + c, y + r) != At(clip, 0, c, r)) {
                return ::testing::AssertionFailure() << "luma differs at " << c << "," << r;
            }
        }
    }
    for (int r = 0; r < (clip->height + 1) / 2; ++r) {
        for (int c = 0; c < (clip->width + 1) / 2; ++c) {
            for (int p = 1; p <= 2; ++p) {
                if (At(pic, p, x / 2 + c, y / 2 + r) != At(clip, p, c, r)) {
                    return ::testing::AssertionFailure()
                           << "plane " << p << " differs at " << c << "," << r;
                }
            }
        }
    }
    return ::testing::AssertionSuccess();
}

TEST_F(DecodeVideoTest, WholePictureModeGivesPreviewAndClipOfTheSource) {
    TDecodeVideo dec;
    ASSERT_EQ(dec.initialize(0, 0), 0);
    int w = 0, h = 0, cx = 0, cy = 0;
    EXPECT_FALSE(dec.GetifHasDecode());
    EXPECT_FALSE(dec.GetWH(w, h));
    EXPECT_FALSE(dec.SetClipArea(0, 0, 500, 500, cx, cy)); // nothing decoded yet
    ASSERT_TRUE(dec.SetClipWH(1280, 720));

    size_t next = 0;
    size_t produced = 0;
    AVFrame* preview = nullptr;
    AVFrame* clip = nullptr;
    // Not full screen, but the clip is as large as the source: whole picture.
    while (NextPicture(dec, *k720, next, false, preview, clip)) {
        ASSERT_NE(preview, nullptr);
        ASSERT_NE(clip, nullptr);
        EXPECT_EQ(preview->width, 1280);
        EXPECT_EQ(clip->width, 1280);
        EXPECT_EQ(clip->height, 720);
        EXPECT_GT(LumaPsnr(k720->sources[produced].get(), preview), 35.0);
        EXPECT_GT(LumaPsnr(k720->sources[produced].get(), clip), 35.0);
        ++produced;
    }
    EXPECT_GE(produced + 6, k720->units.size()); // frame threads hold the last few back
    EXPECT_TRUE(dec.GetifHasDecode());
    EXPECT_TRUE(dec.GetWH(w, h));
    EXPECT_EQ(w, 1280);
    EXPECT_EQ(h, 720);
    EXPECT_EQ(dec.GetPIX(), "(720P)");
    SDL_Rect used{};
    ASSERT_TRUE(dec.GetClipRect(used, w, h));
    EXPECT_EQ(used.w, 1280);
    EXPECT_EQ(used.h, 720);

    // Replay pictures at the smaller size.
    TDecodeVideo replay;
    ASSERT_EQ(replay.initialize(), 0);
    AVFrame* out = nullptr;
    bool any = false;
    for (const auto& u : k720->units) {
        if (replay.GetFrame_Replay(u.data(), int(u.size()), out, 0, 0)) {
            any = true;
            EXPECT_EQ(out->width, 1280);
            EXPECT_EQ(out->height, 720);
        }
    }
    EXPECT_TRUE(any);
}

TEST_F(DecodeVideoTest, LiveChannelGetsEachPictureWithItsUnitAndStamp) {
    // A live channel's picture must not wait for later units: every unit in
    // gives its own picture out, stamped with the unit's stamp.
    TDecodeVideo dec;
    ASSERT_EQ(dec.initialize(0, 0, true), 0);
    dec.SetClipWH(1920, 1080); // the source's size: the clip is the decoded picture
    for (size_t i = 0; i < k1080->units.size(); ++i) {
        const auto& u = k1080->units[i];
        AVFrame* preview = nullptr;
        AVFrame* clip = nullptr;
        dec.SetPacketPts(int64_t(1000 + i) * 40000);
        ASSERT_TRUE(
            dec.GetFrame_includeClip(true, u.data(), int(u.size()), preview, clip, k1080->types[i]))
            << "unit " << i;
        EXPECT_EQ(dec.PicturePts(), int64_t(1000 + i) * 40000);
        ASSERT_NE(clip, nullptr);
        EXPECT_GT(LumaPsnr(k1080->sources[i].get(), clip), 35.0);
        EXPECT_EQ(preview->width, 1280);
    }
}

TEST_F(DecodeVideoTest, PermilleRectangleBecomesA169AreaInMultiplesOf16) {
    TDecodeVideo dec;
    ASSERT_EQ(dec.initialize(), 0);
    dec.SetClipWH(960, 540);
    size_t next = 0;
    AVFrame* preview = nullptr;
    AVFrame* clip = nullptr;
    ASSERT_TRUE(NextPicture(dec, *k1080, next, false, preview, clip));
    EXPECT_EQ(dec.GetPIX(), "(1080P)");

    int cx = 0, cy = 0;
    EXPECT_FALSE(dec.SetClipArea(0, 0, 1001, 1000, cx, cy));
    EXPECT_FALSE(dec.SetClipArea(400, 400, 400, 400, cx, cy));
    ASSERT_TRUE(dec.SetClipArea(0, 0, 500, 1000, cx, cy));
    EXPECT_EQ(cx, 640);
    EXPECT_EQ(cy, 357);

    ASSERT_TRUE(NextPicture(dec, *k1080, next, false, preview, clip));
    SDL_Rect used{};
    int w = 0, h = 0;
    dec.GetClipRect(used, w, h);
    EXPECT_EQ(used.x, 0);
    EXPECT_EQ(used.y, 0);
    EXPECT_EQ(used.w, 1920);
    EXPECT_EQ(used.h, 1072);
    EXPECT_EQ(clip->width, 960);
    EXPECT_EQ(clip->height, 540);

    // What a trial rectangle would cover on a 640 x 360 pane: never less
    // than the clip, shifted to fit; the real cut is not touched.
    TestRect small{0, 0, 100, 100, {}};
    ASSERT_TRUE(dec.GetCovertRectFromInterfaceToDisp(small, 640, 360));
    EXPECT_EQ(small.Rect.x, 0);
    EXPECT_EQ(small.Rect.y, 0);
    EXPECT_EQ(small.Rect.w, 320);
    EXPECT_EQ(small.Rect.h, 180);
    TestRect corner{900, 900, 1000, 1000, {}};
    ASSERT_TRUE(dec.GetCovertRectFromInterfaceToDisp(corner, 640, 360));
    EXPECT_EQ(corner.Rect.x, 320);
    EXPECT_EQ(corner.Rect.y, 180);
    EXPECT_EQ(corner.Rect.w, 320);
    EXPECT_EQ(corner.Rect.h, 180);
    TestRect bad{0, 0, 1000, 1200, {}};
    EXPECT_FALSE(dec.GetCovertRectFromInterfaceToDisp(bad, 640, 360));
    ASSERT_TRUE(NextPicture(dec, *k1080, next, false, preview, clip));
    dec.GetClipRect(used, w, h);
    EXPECT_EQ(used.w, 1920);
    EXPECT_EQ(used.h, 1072);
}

TEST_F(DecodeVideoTest, SmallCutAreaIsCopiedAtTheClipSizeAndMoves) {
    // A replay decoder at 1920 x 1080 gives the decoded pictures unchanged.
    TDecodeVideo replay;
    ASSERT_EQ(replay.initialize(), 0);
    std::vector<AvFramePtr> decoded;
    for (const auto& u : k1080->units) {
        AVFrame* out = nullptr;
        if (replay.GetFrame_Replay(u.data(), int(u.size()), out, 0, 1)) {
            ASSERT_EQ(out->width, 1920);
            ASSERT_EQ(out->height, 1080);
            AvFramePtr copy = MakePicture(1920, 1080);
            av_frame_copy(copy.get(), out);
            decoded.push_back(std::move(copy));
        }
    }
    ASSERT_GE(decoded.size(), 5u);
    EXPECT_GT(LumaPsnr(k1080->sources[0].get(), decoded[0].get()), 35.0);

    TDecodeVideo dec;
    ASSERT_EQ(dec.initialize(), 0);
    dec.SetClipWH(960, 540);
    size_t next = 0;
    size_t index = 0;
    AVFrame* preview = nullptr;
    AVFrame* clip = nullptr;
    ASSERT_TRUE(NextPicture(dec, *k1080, next, false, preview, clip));
    int cx = 0, cy = 0;
    // 624 x 352 at (960, 540): smaller than the clip, so 960 x 540 is cut.
    ASSERT_TRUE(dec.SetClipArea(500, 500, 833, 833, cx, cy));

    ASSERT_TRUE(NextPicture(dec, *k1080, next, false, preview, clip));
    ++index;
    SDL_Rect used{};
    int w = 0, h = 0;
    dec.GetClipRect(used, w, h);
    EXPECT_EQ(used.x, 960);
    EXPECT_EQ(used.y, 540);
    EXPECT_EQ(used.w, 960);
    EXPECT_EQ(used.h, 540);
    EXPECT_TRUE(SameArea(decoded[index].get(), 960, 540, clip));

    EXPECT_TRUE(dec.MoveCutArea(-100, -40));
    ASSERT_TRUE(NextPicture(dec, *k1080, next, false, preview, clip));
    ++index;
    dec.GetClipRect(used, w, h);
    EXPECT_EQ(used.x, 860);
    EXPECT_EQ(used.y, 500);
    EXPECT_TRUE(SameArea(decoded[index].get(), 860, 500, clip));

    // Moves past an edge clamp one coordinate and report false.
    EXPECT_FALSE(dec.MoveCutArea(5000, 0));
    EXPECT_FALSE(dec.MoveCutArea(0, -5000));
    ASSERT_TRUE(NextPicture(dec, *k1080, next, false, preview, clip));
    ++index;
    dec.GetClipRect(used, w, h);
    EXPECT_EQ(used.x, 960);
    EXPECT_EQ(used.y, 0);
    EXPECT_TRUE(SameArea(decoded[index].get(), 960, 0, clip));

    // Full screen ignores the cut.
    ASSERT_TRUE(NextPicture(dec, *k1080, next, true, preview, clip));
    ++index;
    dec.GetClipRect(used, w, h);
    EXPECT_EQ(used.w, 1920);
    EXPECT_EQ(used.h, 1080);
}

TEST_F(DecodeVideoTest, ResolutionChangeResetsACutThatNoLongerFits) {
    TDecodeVideo dec;
    ASSERT_EQ(dec.initialize(), 0);
    dec.SetClipWH(640, 360);
    size_t next = 0;
    AVFrame* preview = nullptr;
    AVFrame* clip = nullptr;
    ASSERT_TRUE(NextPicture(dec, *k1080, next, false, preview, clip));
    int cx = 0, cy = 0;
    ASSERT_TRUE(dec.SetClipArea(521, 0, 854, 333, cx, cy)); // 624 wide at x = 1000
    ASSERT_TRUE(NextPicture(dec, *k1080, next, false, preview, clip));
    SDL_Rect used{};
    int w = 0, h = 0;
    dec.GetClipRect(used, w, h);
    EXPECT_EQ(used.x, 1000);

    TTraceCapture trace;
    // The same channel now sends a 1280 x 720 stream.
    size_t next720 = 0;
    bool changed = false;
    while (NextPicture(dec, *k720, next720, false, preview, clip)) {
        dec.GetWH(w, h);
        if (w == 1280) {
            changed = true;
            break;
        }
    }
    ASSERT_TRUE(changed);
    EXPECT_EQ(dec.GetPIX(), "(720P)");
    dec.GetClipRect(used, w, h);
    EXPECT_EQ(used.x, 0);
    EXPECT_EQ(used.y, 0);
    EXPECT_EQ(used.w, 1280);
    EXPECT_EQ(used.h, 720);
    EXPECT_EQ(clip->width, 640);
}

TEST(DecodeVideo, PortraitSourceKeepsTheWidenedCutInsideThePicture) {
    const TStream portrait = MakeStream(1080, 1920, 8);
    TDecodeVideo dec;
    ASSERT_EQ(dec.initialize(), 0);
    dec.SetClipWH(640, 360);
    AVFrame* preview = nullptr;
    AVFrame* clip = nullptr;
    size_t next = 0;
    ASSERT_TRUE(NextPicture(dec, portrait, next, false, preview, clip));
    EXPECT_EQ(dec.GetPIX(), "");
    int cx = 0, cy = 0;
    ASSERT_TRUE(dec.SetClipArea(0, 0, 1000, 1000, cx, cy));
    ASSERT_TRUE(NextPicture(dec, portrait, next, false, preview, clip));
    SDL_Rect used{};
    int w = 0, h = 0;
    dec.GetClipRect(used, w, h);
    EXPECT_GE(used.x, 0);
    EXPECT_GE(used.y, 0);
    EXPECT_LE(used.x + used.w, 1080);
    EXPECT_LE(used.y + used.h, 1920);
    EXPECT_EQ(used.w, 1072);
    EXPECT_EQ(used.h, 592);
    EXPECT_EQ(clip->width, 640);
    // The reported centre lies inside the 1280 x 720 preview.
    EXPECT_GE(cx, 0);
    EXPECT_LT(cx, 1280);
    EXPECT_GE(cy, 0);
    EXPECT_LT(cy, 720);
}

// The preview straight from the decoded picture, w x h, as libswscale's
// bicubic scaler makes it.
AvFramePtr BicubicPreview(const AVFrame* pic, int w, int h) {
    AvFramePtr out = MakePicture(w, h);
    SwsContextPtr sws(sws_getContext(pic->width, pic->height, AVPixelFormat(pic->format), w, h,
                                     AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr));
    sws_scale(sws.get(), pic->data, pic->linesize, 0, pic->height, out->data, out->linesize);
    return out;
}

double ChromaPsnr(const AVFrame* a, const AVFrame* b, int plane) {
    double sum = 0;
    const int cw = (a->width + 1) / 2;
    const int ch = (a->height + 1) / 2;
    for (int y = 0; y < ch; ++y) {
        for (int x = 0; x < cw; ++x) {
            const double d = double(At(a, plane, x, y)) - double(At(b, plane, x, y));
            sum += d * d;
        }
    }
    const double mse = sum / (double(cw) * ch);
    return mse == 0 ? 100.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

TEST_F(DecodeVideoTest, PreviewIsMadeOnceAtItsPortsSize) {
    TDecodeVideo dec;
    ASSERT_EQ(dec.initialize(0, 0, true), 0);
    ASSERT_TRUE(dec.SetClipWH(1920, 1080));
    size_t next = 0;
    AVFrame* preview = nullptr;
    AVFrame* clip = nullptr;
    // A grid pane, and an odd one whose chroma planes round up: every
    // plane must sit where its line sizes say.
    for (const auto& [w, h] : {std::pair{320, 180}, std::pair{425, 239}}) {
        dec.SetPreviewSize(w, h);
        ASSERT_TRUE(NextPicture(dec, *k1080, next, true, preview, clip));
        ASSERT_EQ(preview->width, w);
        ASSERT_EQ(preview->height, h);
        EXPECT_GE(preview->linesize[1], (w + 1) / 2);
        const AvFramePtr want = BicubicPreview(clip, w, h);
        EXPECT_GT(LumaPsnr(want.get(), preview), 40.0) << w << "x" << h;
        EXPECT_GT(ChromaPsnr(want.get(), preview, 1), 40.0) << w << "x" << h;
        EXPECT_GT(ChromaPsnr(want.get(), preview, 2), 40.0) << w << "x" << h;
    }
    // A port of the source's size shows the decoded picture itself, the
    // same one the programme gets as its full-size clip.
    dec.SetPreviewSize(1920, 1080);
    ASSERT_TRUE(NextPicture(dec, *k1080, next, true, preview, clip));
    EXPECT_EQ(preview, clip);
    // Back to a pane, and to the default when no port size is known.
    dec.SetPreviewSize(0, 0);
    ASSERT_TRUE(NextPicture(dec, *k1080, next, true, preview, clip));
    EXPECT_EQ(preview->width, TDecodeVideo::kPreviewW);
    EXPECT_EQ(preview->height, TDecodeVideo::kPreviewH);
    EXPECT_NE(preview, clip);
}

TEST_F(DecodeVideoTest, ReplayPicturesAreScaledOnceToThePortsSize) {
    // The decoded pictures, unchanged: a 1080p replay at 1920 x 1080.
    TDecodeVideo full;
    ASSERT_EQ(full.initialize(), 0);
    std::vector<AvFramePtr> decoded;
    for (const auto& u : k1080->units) {
        AVFrame* out = nullptr;
        if (full.GetFrame_Replay(u.data(), int(u.size()), out, 0, 1)) {
            AvFramePtr copy = MakePicture(out->width, out->height);
            av_frame_copy(copy.get(), out);
            decoded.push_back(std::move(copy));
        }
    }
    ASSERT_GE(decoded.size(), 8u);

    // The same units at a port's size, which changes as the window does:
    // the replay pane of a 1920 x 1040 window (odd height), a small and
    // odd pane, the picture's own size, then no size known. Both decoders
    // hold back the same pictures, so the n-th pictures match.
    TDecodeVideo dec;
    ASSERT_EQ(dec.initialize(), 0);
    const std::pair<int, int> ports[] = {{1544, 869}, {425, 239}, {1920, 1080}, {0, 0}};
    size_t shown = 0;
    for (const auto& u : k1080->units) {
        const auto [w, h] = ports[std::min(shown / 2, std::size(ports) - 1)];
        dec.SetPreviewSize(w, h);
        AVFrame* out = nullptr;
        if (!dec.GetFrame_Replay(u.data(), int(u.size()), out, 0, 0)) {
            continue;
        }
        ASSERT_LT(shown, decoded.size());
        const AVFrame* source = decoded[shown++].get();
        const int wantW = w > 0 ? w : TDecodeVideo::kPreviewW;
        const int wantH = h > 0 ? h : TDecodeVideo::kPreviewH;
        ASSERT_EQ(out->width, wantW);
        ASSERT_EQ(out->height, wantH);
        const AvFramePtr want = BicubicPreview(source, wantW, wantH);
        EXPECT_GT(LumaPsnr(want.get(), out), 40.0) << wantW << "x" << wantH;
        EXPECT_GT(ChromaPsnr(want.get(), out, 1), 40.0) << wantW << "x" << wantH;
        EXPECT_GT(ChromaPsnr(want.get(), out, 2), 40.0) << wantW << "x" << wantH;
        if (wantW == 1920) {
            EXPECT_EQ(LumaPsnr(source, out), 100.0); // the decoded picture itself
        }
    }
    EXPECT_EQ(shown, decoded.size());
}

TEST(DecodeVideo, DecodedPicturesAreTakenAsTheyAre) {
    TDecodeVideo dec;
    ASSERT_EQ(dec.initialize(), 0);
    AvFramePtr pic = MakePicture(640, 360);
    test::FillPattern(pic.get());
    dec.SetClipWH(320, 180);
    AVFrame* preview = nullptr;
    AVFrame* clip = nullptr;
    ASSERT_TRUE(dec.GetFrame_includeClip(false, pic.get(), preview, clip));
    EXPECT_EQ(preview->width, 1280);
    EXPECT_EQ(preview->height, 720);
    int w = 0, h = 0;
    ASSERT_TRUE(dec.GetWH(w, h));
    EXPECT_EQ(w, 640);
    // No cut set and a smaller clip: the clip-sized corner is copied as is.
    EXPECT_TRUE(SameArea(pic.get(), 0, 0, clip));

    AVFrame* only = nullptr;
    EXPECT_TRUE(dec.GetFrame(pic.get(), only));
    EXPECT_EQ(only, preview);
    // A picture is never read as a coded unit, whatever type it is given.
    const auto* raw = reinterpret_cast<const uint8_t*>(pic.get());
    EXPECT_FALSE(dec.GetFrame(raw, 0, only, kFrameDecoded));
    EXPECT_FALSE(dec.GetFrame(raw, 0, only, kFrameAAC));
    EXPECT_EQ(only, nullptr);
    // Only planar 4:2:0 pictures are taken.
    AvFramePtr packed = MakePicture(640, 360);
    packed->format = AV_PIX_FMT_NV12;
    EXPECT_FALSE(dec.GetFrame(packed.get(), only));

    // Clip sizes beyond 1920 x 1080 are not served, the preview still is.
    dec.SetClipWH(3840, 2160);
    ASSERT_TRUE(dec.GetFrame_includeClip(false, pic.get(), preview, clip));
    EXPECT_EQ(clip, nullptr);
    EXPECT_NE(preview, nullptr);
}

TEST(DecodeVideo, OddClipSizesGetWholeChromaRows) {
    // Slot sizes of scenes may be odd: the clip's chroma planes hold
    // (w + 1) / 2 samples per row and never overlap.
    TDecodeVideo dec;
    ASSERT_EQ(dec.initialize(), 0);
    AvFramePtr pic = MakePicture(64, 36);
    test::FillPattern(pic.get());
    AVFrame* preview = nullptr;
    AVFrame* clip = nullptr;
    for (const auto& [w, h, full] : {std::tuple{1, 1, false}, std::tuple{33, 17, false},
                                     std::tuple{31, 15, true}, std::tuple{1, 35, true}}) {
        SCOPED_TRACE(testing::Message() << w << "x" << h << (full ? " full" : " cut"));
        dec.SetClipWH(w, h);
        ASSERT_TRUE(dec.GetFrame_includeClip(full, pic.get(), preview, clip));
        ASSERT_NE(clip, nullptr);
        EXPECT_EQ(clip->linesize[1], (w + 1) / 2);
        EXPECT_EQ(clip->data[2], clip->data[1] + size_t((w + 1) / 2) * ((h + 1) / 2));
        if (!full) {
            EXPECT_TRUE(SameArea(pic.get(), 0, 0, clip));
        }
    }
}

TEST(DecodeVideo, GarbageProducesNoPicture) {
    TDecodeVideo dec;
    ASSERT_EQ(dec.initialize(), 0);
    std::vector<uint8_t> junk(5000);
    for (size_t i = 0; i < junk.size(); ++i) {
        junk[i] = uint8_t(i * 131 + 7);
    }
    AVFrame* preview = nullptr;
    AVFrame* clip = nullptr;
    for (int i = 0; i < 10; ++i) {
        EXPECT_FALSE(dec.GetFrame_includeClip(false, junk.data(), int(junk.size()), preview, clip,
                                              kFrameH264Key));
    }
    EXPECT_FALSE(dec.GetifHasDecode());
    EXPECT_FALSE(dec.GetFrame_includeClip(false, nullptr, preview, clip));
}

} // namespace
} // namespace tavrin
