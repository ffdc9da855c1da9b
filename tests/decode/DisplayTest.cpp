// Display ports without a window: everything is drawn offscreen and read
// back through saveBmp, so the geometry and colours are checked exactly.
#include "decode/Display.h"

#include "base/Trace.h"
#include "tests/base/TempDir.h"
#include "tests/decode/TestPicture.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace tavrin {
namespace {

using test::Bt709;
using test::Near;
using test::Rgb;
using test::TReadBack;

const Rgb kLevel{0, 150, 0};
const Rgb kOutline{0, 255, 0};
const Rgb kYellow{255, 255, 0};
const Rgb kBlue{0, 0, 255};

class OffscreenPort : public ::testing::Test {
protected:
    void Open(int w, int h, SDL_Rect xr, bool text = false) {
        ASSERT_EQ(port.initialize(0, w, h, xr, text), 0);
        ASSERT_FALSE(port.HasWindow());
    }
    void Push(const std::vector<uint8_t>& picture, int pitch,
              const rAudioChannel* level = nullptr) {
        ASSERT_EQ(port.pushFrame(picture.data(), pitch, nullptr, nullptr, nullptr, level), 0);
    }
    // Every sampled point of each quadrant of a w x h area has its colour.
    void ExpectQuadrants(const TReadBack& shot, int w, int h) {
        for (int q = 0; q < 4; ++q) {
            const Rgb want = Bt709(test::kQuadrants[q]);
            const int x0 = (q % 2) * w / 2;
            const int y0 = (q / 2) * h / 2;
            for (int y = y0 + 3; y < y0 + h / 2 - 3; y += 7) {
                for (int x = x0 + 3; x < x0 + w / 2 - 3; x += 7) {
                    ASSERT_TRUE(Near(shot.At(x, y), want))
                        << "quadrant " << q << " at " << x << "," << y << ": " << shot.At(x, y)
                        << " want " << want;
                }
            }
        }
    }

    test::TempDir dir;
    TDisplay port;
};

TEST_F(OffscreenPort, ShowsPicturesInBt709AtTheirPitchAndScaled) {
    // Luma rows 672 bytes apart with bright padding: reading at the width
    // instead of the pitch would shear the quadrants and show the padding.
    Open(640, 360, {0, 0, 640, 360});
    Push(test::QuadrantPicture(640, 360, 672, test::kQuadrants, 0xFF), 672);
    TReadBack full(port, 640, 360, dir.Path());
    ASSERT_TRUE(full.Ok());
    ExpectQuadrants(full, 640, 360);

    // An HD picture scaled down into a small panel.
    TDisplay small;
    ASSERT_EQ(small.initialize(0, 1280, 720, {0, 0, 320, 180}, false), 0);
    const auto hd = test::QuadrantPicture(1280, 720, 1280, test::kQuadrants);
    ASSERT_EQ(small.pushFrame(hd.data(), 1280, nullptr, nullptr, nullptr, nullptr), 0);
    TReadBack scaled(small, 320, 180, dir.Path());
    ExpectQuadrants(scaled, 320, 180);
}

// Describes a packed QuadrantPicture by its planes.
TYuvPicture Planes(const std::vector<uint8_t>& packed, int w, int h, int pitch) {
    TYuvPicture p;
    const int cw = (pitch + 1) / 2;
    p.planes[0] = packed.data();
    p.planes[1] = p.planes[0] + size_t(pitch) * h;
    p.planes[2] = p.planes[1] + size_t(cw) * ((h + 1) / 2);
    p.pitches[0] = pitch;
    p.pitches[1] = p.pitches[2] = cw;
    p.w = w;
    p.h = h;
    return p;
}

TEST_F(OffscreenPort, PicturesOfAnySizeFillThePanel) {
    // An odd panel given a picture of exactly its size (shown as it is),
    // then one of another size (scaled to it), then a short one refused.
    Open(1280, 720, {0, 0, 425, 239});
    const auto exact = test::QuadrantPicture(425, 239, 448, test::kQuadrants, 0xFF);
    ASSERT_EQ(port.pushPicture(Planes(exact, 425, 239, 448), nullptr, nullptr, nullptr, nullptr),
              0);
    ExpectQuadrants(TReadBack(port, 425, 239, dir.Path()), 425, 239);

    const auto other = test::QuadrantPicture(640, 360, 640, test::kQuadrants);
    ASSERT_EQ(port.pushPicture(Planes(other, 640, 360, 640), nullptr, nullptr, nullptr, nullptr),
              0);
    ExpectQuadrants(TReadBack(port, 425, 239, dir.Path()), 425, 239);

    TYuvPicture missing = Planes(other, 640, 360, 640);
    missing.planes[2] = nullptr;
    EXPECT_EQ(port.pushPicture(missing, nullptr, nullptr, nullptr, nullptr), -1);
}

TEST_F(OffscreenPort, RejectsMissingOrShortPictures) {
    Open(64, 36, {0, 0, 64, 36});
    const auto picture = test::SolidPicture(64, 36, test::kRed);
    EXPECT_EQ(port.pushFrame(nullptr, 64, nullptr, nullptr, nullptr, nullptr), -1);
    EXPECT_EQ(port.pushFrame(picture.data(), 32, nullptr, nullptr, nullptr, nullptr), -1);
    TDisplay never;
    EXPECT_EQ(never.pushFrame(picture.data(), 64, nullptr, nullptr, nullptr, nullptr), -1);
    EXPECT_EQ(never.initialize(0, 0, 36, {0, 0, 64, 36}, false), -1);
}

TEST_F(OffscreenPort, WindowWithoutADisplayFallsBackOffscreen) {
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    TTraceCapture trace;
    ASSERT_EQ(port.initialize(TNativeWindow(0x400007), 320, 180, {0, 0, 320, 180}, false), 0);
    EXPECT_FALSE(port.HasWindow());
    EXPECT_EQ(trace.Lines().size(), 1u) << "the fallback is traced";
    Push(test::SolidPicture(320, 180, test::kBlue), 320);
    EXPECT_TRUE(Near(TReadBack(port, 320, 180, dir.Path()).At(160, 90), Bt709(test::kBlue)));
}

TEST_F(OffscreenPort, LevelBarsAndProgrammeAudioMark) {
    Open(640, 360, {0, 0, 640, 360});
    const auto grey = test::SolidPicture(640, 360, test::kGrey);
    const Rgb background = Bt709(test::kGrey);
    rAudioChannel level;
    level.L = 50;
    level.R = 100;
    level.bMainAudioCH = true;
    Push(grey, 640, &level);
    TReadBack shot(port, 640, 360, dir.Path());
    for (int x = 634; x <= 636; ++x) {
        EXPECT_EQ(shot.At(x, 359), kLevel) << x;
        EXPECT_EQ(shot.At(x, 180), kLevel) << x;
        EXPECT_TRUE(Near(shot.At(x, 179), background)) << x;
    }
    EXPECT_TRUE(Near(shot.At(633, 300), background));
    for (int x = 637; x <= 639; ++x) {
        EXPECT_EQ(shot.At(x, 0), kLevel) << x;
        EXPECT_EQ(shot.At(x, 359), kLevel) << x;
    }
    EXPECT_EQ(shot.At(0, 350), kLevel);
    EXPECT_EQ(shot.At(9, 359), kLevel);
    EXPECT_TRUE(Near(shot.At(10, 355), background));
    EXPECT_TRUE(Near(shot.At(5, 349), background));

    // Bars on the left edge, rounded heights, no mark for another channel.
    level = {};
    level.L = 33; // 33 x 360 / 100 = 118.8 -> 119
    level.R = 0;
    level.nPosition = 1;
    Push(grey, 640, &level);
    TReadBack left(port, 640, 360, dir.Path());
    EXPECT_EQ(left.At(0, 241), kLevel);
    EXPECT_EQ(left.At(2, 359), kLevel);
    EXPECT_TRUE(Near(left.At(1, 240), background));
    EXPECT_TRUE(Near(left.At(4, 359), background)) << "an empty right bar draws nothing";
    EXPECT_TRUE(Near(left.At(635, 359), background));
    EXPECT_TRUE(Near(left.At(8, 355), background)) << "no programme-audio mark";
}

TEST_F(OffscreenPort, LevelBarHalfHeightsRoundToEven) {
    // 350 rows: level 3 is 10.5 rows high and drawn 10, level 5 is 17.5 and drawn 18.
    Open(640, 360, {0, 0, 640, 350});
    const auto grey = test::SolidPicture(640, 360, test::kGrey);
    rAudioChannel level;
    level.L = 3;
    level.R = 5;
    Push(grey, 640, &level);
    TReadBack shot(port, 640, 350, dir.Path());
    EXPECT_EQ(shot.At(635, 340), kLevel);
    EXPECT_NE(shot.At(635, 339), kLevel);
    EXPECT_EQ(shot.At(638, 332), kLevel);
    EXPECT_NE(shot.At(638, 331), kLevel);
}

TEST_F(OffscreenPort, CutOutlinesTestReplacesTheRealOne) {
    Open(640, 360, {0, 0, 640, 360});
    const auto grey = test::SolidPicture(640, 360, test::kGrey);
    const Rgb background = Bt709(test::kGrey);
    const SDL_Rect cut{100, 100, 200, 100};
    const SDL_Rect trial{50, 50, 300, 200};
    const SDL_Rect adjusted{60, 60, 100, 100};
    ASSERT_EQ(port.pushFrame(grey.data(), 640, &cut, &trial, &adjusted, nullptr), 0);
    TReadBack both(port, 640, 360, dir.Path());
    EXPECT_TRUE(Near(both.At(100, 180), background)) << "real cut hidden by the trial one";
    EXPECT_EQ(both.At(50, 220), kYellow);
    EXPECT_EQ(both.At(349, 220), kYellow);
    EXPECT_EQ(both.At(60, 120), kOutline);
    EXPECT_TRUE(Near(both.At(61, 120), background)) << "outlines are one pixel wide";

    ASSERT_EQ(port.pushFrame(grey.data(), 640, &cut, nullptr, nullptr, nullptr), 0);
    TReadBack real(port, 640, 360, dir.Path());
    EXPECT_EQ(real.At(100, 180), kOutline);
    EXPECT_EQ(real.At(299, 199), kOutline);
    EXPECT_TRUE(Near(real.At(50, 220), background));
}

TEST_F(OffscreenPort, ResizeKeepsPictureTextsAndBitmapBounds) {
    Open(640, 360, {0, 0, 640, 360}, true);
    // Blue is bits 16..23 of the colour.
    const TTextSize size = port.newFontTexture("Tavrin 课堂", 0, 0xFF0000, 10, 10, 40, -1);
    ASSERT_GT(size.w, 0) << "sy.otf must sit next to the test program";
    port.ResizeTo({0, 0, 320, 180});
    EXPECT_EQ(port.GetRect().w, 320);
    Push(test::QuadrantPicture(640, 360, 640, test::kQuadrants), 640);
    // A bitmap larger than the target: the rest stays empty, nothing overflows.
    TReadBack shot(port, 640, 360, dir.Path());
    ASSERT_TRUE(shot.Ok());
    EXPECT_EQ(shot.Width(), 640);
    EXPECT_EQ(shot.At(500, 300), (Rgb{0, 0, 0}));
    // The text survives the new renderer: some pixel of it is pure blue.
    bool blue = false;
    for (int y = 10; y < 10 + size.h && !blue; ++y) {
        for (int x = 10; x < 10 + size.w && !blue; ++x) {
            blue = Near(shot.At(x, y), kBlue, 8);
        }
    }
    EXPECT_TRUE(blue);
    // The bottom-right quadrant now ends at the new size.
    EXPECT_TRUE(Near(shot.At(300, 170), Bt709(test::kGrey)));
}

} // namespace
} // namespace tavrin
