// The layout editor's drawings on a display port: text textures with their
// ids and selection guides, video rectangles with handles and guides.
#include "decode/Display.h"
#include "tests/base/TempDir.h"
#include "tests/decode/TestPicture.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

using test::Bt709;
using test::Near;
using test::Rgb;
using test::TReadBack;

const Rgb kOutline{0, 255, 0};
const Rgb kBlue{0, 0, 255};

class EditorPort : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(port.initialize(0, 640, 360, {0, 0, 640, 360}, true), 0); }
    TReadBack Draw() {
        EXPECT_EQ(port.pushFrame(grey.data(), 640, nullptr, nullptr, nullptr, nullptr), 0);
        return TReadBack(port, 640, 360, dir.Path());
    }

    test::TempDir dir;
    TDisplay port;
    std::vector<uint8_t> grey = test::SolidPicture(640, 360, test::kGrey);
    Rgb background = Bt709(test::kGrey);
};

TEST_F(EditorPort, TextIdsCountOnlyWhenNotGiven) {
    port.newFontTexture("一", 0, 0xFFFFFF, 0, 0, 20, -1);
    port.newFontTexture("二", 0, 0xFFFFFF, 0, 40, 20, -1);
    port.newFontTexture("七", 0, 0xFFFFFF, 0, 80, 20, 7);
    port.newFontTexture("三", 0, 0xFFFFFF, 0, 120, 20, -1);
    EXPECT_EQ(port.FontTextureIds(), (std::vector<int32_t>{0, 1, 7, 2}));

    // Modifying re-creates the entry under the same id (at the end).
    const TTextSize wide = port.modifyFontTexture(1, 1, "二二二二", 0xFFFFFF, 5, 50, 20);
    EXPECT_EQ(port.FontTextureIds(), (std::vector<int32_t>{0, 7, 2, 1}));
    SDL_Rect rect{};
    int32_t mode = 0;
    ASSERT_TRUE(port.FontTextureRect(1, rect, mode));
    EXPECT_EQ(mode, 1);
    EXPECT_EQ(rect.x, 5);
    EXPECT_EQ(rect.w, wide.w);

    EXPECT_TRUE(port.delThisFontTexture(0));
    EXPECT_FALSE(port.delThisFontTexture(0));
    EXPECT_EQ(port.FontTextureIds(), (std::vector<int32_t>{7, 2, 1}));

    EXPECT_TRUE(port.passFontTexture(7, 30, 31, false, true));
    ASSERT_TRUE(port.FontTextureRect(7, rect, mode));
    EXPECT_EQ(rect.x, 30);
    EXPECT_EQ(mode, 0) << "mode kept unless asked";
    EXPECT_TRUE(port.passFontTexture(7, 30, 31, true, true));
    ASSERT_TRUE(port.FontTextureRect(7, rect, mode));
    EXPECT_EQ(mode, 1);
    EXPECT_FALSE(port.passFontTexture(99, 0, 0, true, true));

    port.doNoChooseText();
    ASSERT_TRUE(port.FontTextureRect(1, rect, mode));
    EXPECT_EQ(mode, 0);
    port.ClearFontTxture();
    EXPECT_TRUE(port.FontTextureIds().empty());
    port.newFontTexture("四", 0, 0xFFFFFF, 0, 0, 20, -1);
    EXPECT_EQ(port.FontTextureIds(), (std::vector<int32_t>{3})) << "ids are never reused";
}

TEST_F(EditorPort, SelectedTextIsOutlinedWithAGuideToItsColumn) {
    const TTextSize a = port.newFontTexture("甲", 1, 0xFFFFFF, 100, 40, 30, -1);
    const TTextSize b = port.newFontTexture("乙", 0, 0xFFFFFF, 100, 200, 30, -1);
    port.newFontTexture("丙", 0, 0xFFFFFF, 300, 40, 30, -1);
    ASSERT_GT(a.h, 0);
    const TReadBack shot = Draw();
    EXPECT_EQ(shot.At(100 + a.w - 1, 40 + a.h / 2), kOutline) << "right edge of the outline";
    // The guide runs down the shared left edge to the bottom of the lower text.
    EXPECT_EQ(shot.At(100, 40 + a.h + 5), kBlue);
    EXPECT_EQ(shot.At(100, 200 + b.h - 1), kBlue);
    EXPECT_TRUE(Near(shot.At(100, 200 + b.h + 2), background));
    // No outline around the unselected text at x = 300.
    EXPECT_TRUE(Near(shot.At(300, 40 + a.h / 2), background));
}

TEST(VideoRectHandles, CentredTwelvePixelSquaresOnCornersAndMidpoints) {
    SDL_Rect h[8];
    ComputeHandles({100, 100, 320, 180}, h);
    const SDL_Point want[8] = {{94, 94},   {254, 94}, {414, 94},  {94, 184},
                               {414, 184}, {94, 274}, {254, 274}, {414, 274}};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(h[i].x, want[i].x) << i;
        EXPECT_EQ(h[i].y, want[i].y) << i;
        EXPECT_EQ(h[i].w, 12);
        EXPECT_EQ(h[i].h, 12);
    }
}

TEST_F(EditorPort, VideoRectanglesHandlesAndRowGuide) {
    EXPECT_EQ(port.newVideoRect({100, 100, 200, 100}, 1), 0);
    EXPECT_EQ(port.newVideoRect({400, 100, 100, 100}, 0), 1);
    EXPECT_EQ(port.newVideoRect({50, 250, 80, 60}, 0), 2);
    TReadBack shot = Draw();
    EXPECT_EQ(shot.At(400, 150), kOutline);
    EXPECT_EQ(shot.At(50, 280), kOutline);
    EXPECT_EQ(shot.At(350, 100), kBlue) << "guide between rectangles with the same top";
    EXPECT_TRUE(Near(shot.At(520, 100), background)) << "guide ends at the rightmost edge";
    EXPECT_EQ(shot.At(96, 96), kOutline) << "top-left handle filled";
    EXPECT_EQ(shot.At(303, 153), kOutline) << "right handle filled";
    EXPECT_TRUE(Near(shot.At(503, 203), background)) << "unselected rectangle has no handles";

    // Handles follow a modified rectangle; only the first selected one has them.
    EXPECT_EQ(port.modifyVideoRect(0, 1, {100, 100, 100, 100}), 0);
    EXPECT_EQ(port.modifyVideoRect(1, 1, {400, 100, 100, 100}), 1);
    EXPECT_EQ(port.modifyVideoRect(9, 1, {0, 0, 10, 10}), -1);
    TVideoRect moved;
    ASSERT_TRUE(port.VideoRectOf(0, moved));
    EXPECT_EQ(moved.scaleRect[7].x, 194);
    shot = Draw();
    EXPECT_EQ(shot.At(203, 203), kOutline);
    EXPECT_TRUE(Near(shot.At(303, 153), background));
    EXPECT_TRUE(Near(shot.At(503, 203), background));

    EXPECT_TRUE(port.delThisVideoRect(1));
    EXPECT_FALSE(port.delThisVideoRect(1));
    EXPECT_EQ(port.newVideoRect({0, 0, 10, 10}, 0), 3) << "ids are never reused";
    port.ClearVideoRect();
    EXPECT_FALSE(port.VideoRectOf(0, moved));
}

TEST(PlainPort, DrawsNoEditorOverlays) {
    test::TempDir dir;
    TDisplay port;
    ASSERT_EQ(port.initialize(0, 320, 180, {0, 0, 320, 180}, false), 0);
    port.newVideoRect({20, 20, 100, 100}, 1);
    const auto grey = test::SolidPicture(320, 180, test::kGrey);
    ASSERT_EQ(port.pushFrame(grey.data(), 320, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_TRUE(Near(TReadBack(port, 320, 180, dir.Path()).At(20, 50), Bt709(test::kGrey)));
}

} // namespace
} // namespace tavrin
