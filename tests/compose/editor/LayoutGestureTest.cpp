// Hit tests and drag rules of the editor's picture, on the 1920 x 1080 canvas.
#include "compose/editor/LayoutGesture.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

using G = TLayoutGesture;
constexpr int W = kPlanWidth;
constexpr int H = kPlanHeight;
const rRect kRect{100, 100, 320, 180};

bool Same(const rRect& a, const rRect& b) {
    return a.left == b.left && a.top == b.top && a.width == b.width && a.height == b.height;
}

TEST(LayoutGesture, HandlesTakeEdgesThenCorners) {
    // Near left and near bottom: the corner beats the bottom edge.
    EXPECT_EQ(G::RectHandle(kRect, 105, 260), kHandleBottomLeft);
    EXPECT_EQ(G::RectHandle(kRect, 100, 100), kHandleTopLeft);
    EXPECT_EQ(G::RectHandle(kRect, 420, 100), kHandleTopRight);
    EXPECT_EQ(G::RectHandle(kRect, 415, 275), kHandleBottomRight);
    EXPECT_EQ(G::RectHandle(kRect, 260, 95), kHandleTop);
    EXPECT_EQ(G::RectHandle(kRect, 260, 285), kHandleBottom);
    EXPECT_EQ(G::RectHandle(kRect, 60, 190), kHandleLeft);
    EXPECT_EQ(G::RectHandle(kRect, 460, 190), kHandleRight);
    EXPECT_EQ(G::RectHandle(kRect, 260, 190), kHandleBody);
    // The grown box ends 50 pixels out, exclusive.
    EXPECT_EQ(G::RectHandle(kRect, 51, 190), kHandleLeft);
    EXPECT_EQ(G::RectHandle(kRect, 50, 190), -1);
    EXPECT_EQ(G::RectHandle(kRect, 260, 330), -1);
    // A rectangle lower than 100 has no body: a press in the middle is near
    // both top and bottom, and the bottom wins.
    EXPECT_EQ(G::RectHandle({0, 0, 400, 60}, 200, 30), kHandleBottom);
}

TEST(LayoutGesture, GrabOffsetsMeasureFromTheGrabbedEdges) {
    int sw = 0;
    int sh = 0;
    G::GrabOffsets(kRect, kHandleBottomLeft, 105, 260, sw, sh);
    EXPECT_EQ(sw, 5);
    EXPECT_EQ(sh, -20);
    G::GrabOffsets(kRect, kHandleTopRight, 430, 90, sw, sh);
    EXPECT_EQ(sw, 10);
    EXPECT_EQ(sh, -10);
    G::GrabOffsets(kRect, kHandleBody, 200, 150, sw, sh);
    EXPECT_EQ(sw, 100);
    EXPECT_EQ(sh, 50);
}

TEST(LayoutGesture, HitRectanglesTakesTheFirstCandidate) {
    std::vector<rRectangle> list(2);
    list[0].id = 7;
    list[0].rect = {0, 0, 960, 540};
    list[1].id = 3;
    list[1].rect = {400, 300, 320, 180};
    const auto hit = G::HitRectangles(list, 500, 400);
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->id, 7);
    EXPECT_EQ(hit->handle, kHandleBody);
    EXPECT_EQ(hit->startW, 500);
    std::swap(list[0], list[1]);
    EXPECT_EQ(G::HitRectangles(list, 500, 400)->id, 3);
    EXPECT_FALSE(G::HitRectangles(list, 1800, 1000));
}

TEST(LayoutGesture, MovingKeepsTheRectangleOnTheCanvas) {
    // Grabbed 100 right of its left edge, dragged far past the right edge.
    const rRect moved = G::MoveRect(kRect, 2500, 200, 100, 50, W, H);
    EXPECT_EQ(moved.left, W - 320);
    EXPECT_EQ(moved.top, 150);
    EXPECT_EQ(moved.width, 320);
    const rRect up = G::MoveRect(kRect, 10, -400, 100, 50, W, H);
    EXPECT_EQ(up.left, 0);
    EXPECT_EQ(up.top, 0);
}

TEST(LayoutGesture, ResizeFollowsTheGrabbedHandle) {
    // A new rectangle (320 x 180) taken by its right handle on the edge and
    // pulled left: 280 and 200 still work, 199 leaves it as it was. Its
    // height, already below the minimum, does not stop the side handles.
    EXPECT_TRUE(
        Same(*G::ResizeRect(kRect, kHandleRight, 380, 150, 0, 0, W, H), {100, 100, 280, 180}));
    EXPECT_TRUE(
        Same(*G::ResizeRect(kRect, kHandleRight, 300, 150, 0, 0, W, H), {100, 100, 200, 180}));
    EXPECT_FALSE(G::ResizeRect(kRect, kHandleRight, 299, 150, 0, 0, W, H));
    // The bottom handle changes the height, which then must reach 200.
    EXPECT_FALSE(G::ResizeRect(kRect, kHandleBottom, 200, 290, 0, 0, W, H));
    EXPECT_TRUE(
        Same(*G::ResizeRect(kRect, kHandleBottom, 200, 300, 0, 0, W, H), {100, 100, 320, 200}));

    // Every handle of the table, with a grab offset of (3, 4).
    const rRect r{400, 300, 600, 400}; // L T W H
    struct Case {
        int handle;
        rRect expect;
    } cases[] = {
        {kHandleTopLeft, {350, 250, 650, 450}},  {kHandleTop, {400, 250, 600, 450}},
        {kHandleTopRight, {400, 250, -50, 450}}, {kHandleLeft, {350, 300, 650, 400}},
        {kHandleRight, {400, 300, -50, 400}},    {kHandleBottomLeft, {350, 300, 650, -50}},
        {kHandleBottom, {400, 300, 600, -50}},   {kHandleBottomRight, {400, 300, -50, -50}},
    };
    for (const Case& c : cases) {
        const auto out = G::ResizeRect(r, c.handle, 353, 254, 3, 4, W, H);
        if (c.expect.width < kMinRectSide || c.expect.height < kMinRectSide) {
            EXPECT_FALSE(out) << "handle " << c.handle;
        } else {
            ASSERT_TRUE(out) << "handle " << c.handle;
            EXPECT_TRUE(Same(*out, c.expect)) << "handle " << c.handle;
        }
    }
    // Growing right and down past the canvas.
    const auto grown = G::ResizeRect(r, kHandleBottomRight, 1100, 800, 0, 0, W, H);
    ASSERT_TRUE(grown);
    EXPECT_TRUE(Same(*grown, {400, 300, 700, 500}));
}

TEST(LayoutGesture, ResizeClampsToTheCanvas) {
    const rRect r{100, 100, 600, 400};
    // Left handle dragged to x -80: left clamps to 0, the width stays computed.
    const auto left = G::ResizeRect(r, kHandleLeft, -80, 300, 0, 0, W, H);
    ASSERT_TRUE(left);
    EXPECT_TRUE(Same(*left, {0, 100, 780, 400}));
    // Bottom-right beyond the canvas: the size caps at the canvas and the
    // rectangle is pushed back on.
    const auto huge = G::ResizeRect(r, kHandleBottomRight, 2500, 1500, 0, 0, W, H);
    ASSERT_TRUE(huge);
    EXPECT_TRUE(Same(*huge, {0, 0, W, H}));
    const auto right = G::ResizeRect({1500, 100, 300, 300}, kHandleRight, 1950, 200, 0, 0, W, H);
    ASSERT_TRUE(right);
    EXPECT_EQ(right->left + right->width, W);
    EXPECT_EQ(right->width, 450);
}

TEST(LayoutGesture, BoxesFollowThePointerWithinTheCanvas) {
    std::vector<rFontStyle> styles(1);
    styles[0].id = 4;
    styles[0].x = 300;
    styles[0].y = 300;
    styles[0].wh = {240, 60};
    const auto hit = G::HitStyles(styles, 260, 380);
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->id, 4);
    EXPECT_EQ(hit->startW, -40);
    EXPECT_EQ(hit->startH, 80);
    EXPECT_FALSE(G::HitStyles(styles, 300, 410));

    std::vector<rText> texts(2);
    texts[0] = {1, 1, 0, 0, "a", {100, 40}};
    texts[1] = {2, 1, 500, 500, "b", {100, 40}};
    EXPECT_EQ(G::HitTexts(texts, 520, 510)->id, 2);

    const rPoint p = G::MoveBox(5000, -30, 10, 10, {240, 60}, W, H);
    EXPECT_EQ(p.x, W - 240);
    EXPECT_EQ(p.y, 0);
}

TEST(LayoutGesture, AspectButtonsRefuseToLeaveTheCanvas) {
    EXPECT_EQ(*G::AspectHeight({0, 0, 640, 100}, 16, 9, H), 360);
    EXPECT_EQ(*G::AspectHeight({0, 0, 640, 100}, 4, 3, H), 480);
    // 1280 wide at top 200: 4:3 would be 960 high and end at 1160.
    EXPECT_EQ(*G::AspectHeight({0, 200, 1280, 100}, 16, 9, H), 720);
    EXPECT_FALSE(G::AspectHeight({0, 200, 1280, 100}, 4, 3, H));
    EXPECT_EQ(*G::AspectHeight({0, 120, 1280, 100}, 4, 3, H), 960) << "ending on the edge is fine";
}

TEST(LayoutGesture, PanelIsTheLargestCentredSixteenByNine) {
    const rRect wide = G::FitPanel(1000, 360);
    EXPECT_TRUE(Same(wide, {180, 0, 640, 360}));
    const rRect tall = G::FitPanel(640, 500);
    EXPECT_TRUE(Same(tall, {0, 70, 640, 360}));
    EXPECT_TRUE(Same(G::FitPanel(0, 100), {}));
}

TEST(LayoutGesture, DisplayMappingRoundsTowardsTheOrigin) {
    const TDispMap map{{10, 20, 640, 360}, W, H};
    EXPECT_EQ(map.ToDispX(1920), 650);
    EXPECT_EQ(map.ToDispY(100), 20 + 33);
    EXPECT_EQ(map.ScaleW(48), 16);
    int x = -1;
    int y = -1;
    ASSERT_TRUE(map.ToCanvas(10, 20, x, y));
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    ASSERT_TRUE(map.ToCanvas(650, 380, x, y)) << "the far edges are inside";
    EXPECT_EQ(x, 1920);
    EXPECT_EQ(y, 1080);
    ASSERT_TRUE(map.ToCanvas(331, 201, x, y));
    EXPECT_EQ(x, 963);
    EXPECT_EQ(y, 543);
    x = y = -1;
    EXPECT_FALSE(map.ToCanvas(9, 100, x, y));
    EXPECT_FALSE(map.ToCanvas(100, 381, x, y));
    EXPECT_EQ(x, -1) << "nothing written outside";
}

} // namespace
} // namespace tavrin
