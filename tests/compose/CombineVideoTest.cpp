#include "compose/CombineVideo.h"

#include "tests/support/Pictures.h"

#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace tavrin {
namespace {

using test::FillPattern;
using test::FillSolid;
using test::MakePicture;

constexpr uint8_t kDark = TCombineVideo::kBackY;

class CombineVideoTest : public ::testing::Test {
protected:
    void Init(int w, int h) {
        ASSERT_EQ(comb.initialize(w, h), 0);
        canvas = MakePicture(w, h);
    }
    // Reads the canvas as the output thread does.
    const AVFrame* Canvas() {
        EXPECT_EQ(comb.GetFrame(canvas.get()), 0);
        return canvas.get();
    }
    uint8_t Y(int x, int y) { return test::At(canvas.get(), 0, x, y); }
    uint8_t U(int x, int y) { return test::At(canvas.get(), 1, x, y); }

    // Asks for the slot size, delivers a picture of that size and pushes it.
    int Deliver(int port, uint8_t y, uint8_t u, uint8_t v) {
        int w = 0, h = 0, count = 0;
        const int slot = comb.GetSlotSize(port, w, h, count);
        EXPECT_GT(slot, 0);
        AvFramePtr pic = MakePicture(w, h);
        FillSolid(pic.get(), y, u, v);
        return comb.PushYUVtoCombine(pic.get(), port, count, slot);
    }
    void SetPorts(std::vector<int32_t> ports) {
        ASSERT_EQ(comb.SetCombinePorts(ports.data(), int(ports.size())), int(ports.size()));
    }

    TCombineVideo comb;
    AvFramePtr canvas;
};

TEST_F(CombineVideoTest, StartsDarkAndAnswersSlotSizes) {
    Init(1280, 720);
    Canvas();
    EXPECT_EQ(Y(0, 0), kDark);
    EXPECT_EQ(Y(1279, 719), kDark);
    EXPECT_EQ(U(639, 359), 128);

    SetPorts({3, 1, 2});
    int w = -1, h = -1, count = -1;
    EXPECT_EQ(comb.GetSlotSize(3, w, h, count), 1);
    EXPECT_EQ(w, 853);
    EXPECT_EQ(h, 480);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(comb.GetSlotSize(2, w, h, count), 3);
    EXPECT_EQ(w, 426);
    EXPECT_EQ(h, 240);
    w = h = count = -1;
    EXPECT_EQ(comb.GetSlotSize(4, w, h, count), 0);
    EXPECT_EQ(w, -1);
    EXPECT_EQ(count, -1);

    SetPorts({1, 2, 3, 4});
    EXPECT_EQ(comb.GetSlotSize(4, w, h, count), 4);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 360);

    // Five ports are refused and the four stay.
    const int32_t five[] = {1, 2, 3, 4, 5};
    EXPECT_EQ(comb.SetCombinePorts(five, 5), -1);
    int32_t ports[TCombineVideo::kMaxPorts] = {};
    EXPECT_EQ(comb.GetCombinePorts(ports), 4);
    EXPECT_EQ(ports[3], 4);
    EXPECT_EQ(comb.GetIFThisPortIn(5), 0);
}

TEST_F(CombineVideoTest, PictureInPictureGeometryOn720p) {
    Init(1280, 720);
    SetPorts({1});
    ASSERT_EQ(Deliver(1, 77, 66, 55), 1); // earlier content everywhere
    SetPorts({1, 2});
    // The inset first: the main picture must not cover it.
    ASSERT_EQ(Deliver(2, 200, 210, 220), 2);
    ASSERT_EQ(Deliver(1, 100, 110, 120), 1);
    Canvas();

    for (int y = 0; y < 720; ++y) {
        for (int x = 0; x < 1280; ++x) {
            uint8_t want = 100;
            if (x >= 852 && x <= 1277 && y >= 480) {
                want = 200; // the inset
            } else if (x >= 1278 && y >= 480) {
                want = 77; // written by neither slot
            } else if ((y == 479 && x >= 851) || (x == 851 && y >= 479)) {
                want = kDark; // the inset's frame
            }
            ASSERT_EQ(Y(x, y), want) << "x " << x << " y " << y;
        }
    }
    for (int y = 0; y < 360; ++y) {
        for (int x = 0; x < 640; ++x) {
            uint8_t want = 110;
            if (x >= 426 && x <= 638 && y >= 240) {
                want = 210;
            } else if (x == 639 && y >= 240) {
                want = 66;
            }
            ASSERT_EQ(U(x, y), want) << "x " << x << " y " << y;
        }
    }
}

TEST_F(CombineVideoTest, ThreeChannelBandsAndSlotsOn1080p) {
    Init(1920, 1080);
    SetPorts({7});
    ASSERT_EQ(Deliver(7, 77, 66, 55), 1);
    SetPorts({7, 8, 9}); // paints the bands over what was there
    ASSERT_EQ(Deliver(7, 101, 111, 121), 1);
    ASSERT_EQ(Deliver(8, 102, 112, 122), 2);
    ASSERT_EQ(Deliver(9, 103, 113, 123), 3);
    Canvas();
    for (int y = 0; y < 1080; ++y) {
        for (int x = 0; x < 1920; x += 7) {
            uint8_t want = kDark;
            if (y >= 180 && y <= 899) {
                want = x < 1280 ? 101 : (y < 540 ? 102 : 103);
            }
            ASSERT_EQ(Y(x, y), want) << "x " << x << " y " << y;
        }
        ASSERT_EQ(Y(1919, y), (y >= 180 && y <= 899) ? (y < 540 ? 102 : 103) : kDark);
    }
    EXPECT_EQ(U(0, 89), 128);
    EXPECT_EQ(U(0, 90), 111);
    EXPECT_EQ(U(959, 449), 113);
    EXPECT_EQ(U(959, 450), 128);
}

TEST_F(CombineVideoTest, LargeSlotOfThreeUsesTheLeftAndTopPartOfItsPicture) {
    Init(1280, 720);
    SetPorts({1, 2, 3});
    AvFramePtr pic = MakePicture(853, 480);
    FillPattern(pic.get());
    ASSERT_EQ(comb.PushYUVtoCombine(pic.get(), 1, 3, 1), 1);
    Canvas();
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 852; ++x) {
            ASSERT_EQ(Y(x, 120 + y), test::PatternY(x, y)) << x << "," << y;
        }
        ASSERT_EQ(Y(852, 120 + y), kDark); // column 852 of the picture is not used
    }
    for (int y = 0; y < 240; y += 3) {
        for (int x = 0; x < 426; ++x) {
            ASSERT_EQ(U(x, 60 + y), test::PatternU(x, y));
        }
    }
}

TEST_F(CombineVideoTest, StalePushesAreRefusedWithoutTouchingTheCanvas) {
    Init(1280, 720);
    SetPorts({1, 2, 3});
    SetPorts({1, 2}); // the programme switched after the channel asked
    const AvFramePtr before = MakePicture(1280, 720);
    av_frame_copy(before.get(), Canvas());

    AvFramePtr pic = MakePicture(426, 240);
    FillSolid(pic.get(), 250, 250, 250);
    EXPECT_EQ(comb.PushYUVtoCombine(pic.get(), 2, 3, 2), 0); // announced for three
    EXPECT_EQ(comb.PushYUVtoCombine(pic.get(), 2, 2, 1), 0); // wrong slot
    EXPECT_EQ(comb.PushYUVtoCombine(pic.get(), 9, 2, 0), 0); // not on the programme
    EXPECT_EQ(comb.PushYUVtoCombine(nullptr, 2, 2, 2), 0);
    Canvas();
    for (int p = 0; p < 3; ++p) {
        const int rows = p == 0 ? 720 : 360;
        const int cols = p == 0 ? 1280 : 640;
        for (int y = 0; y < rows; ++y) {
            ASSERT_EQ(0, std::memcmp(before->data[p] + y * before->linesize[p],
                                     canvas->data[p] + y * canvas->linesize[p], size_t(cols)));
        }
    }
}

TEST_F(CombineVideoTest, SceneAreaShowsTheCentreOfAWiderPicture) {
    Init(1280, 720);
    SetPorts({5});
    TCombArea_Ext area;
    area.count = 1;
    area.Ext = {rRect{100, 50, 300, 400}};
    area.Ext_ForInterface = {rRect{0, 0, 720, 400}};
    ASSERT_EQ(comb.SetCombArea_Ext(area), 0);

    int w = 0, h = 0, count = 0;
    ASSERT_EQ(comb.GetSlotSize(5, w, h, count), 1);
    EXPECT_EQ(w, 720);
    EXPECT_EQ(h, 400);
    AvFramePtr pic = MakePicture(720, 400);
    FillPattern(pic.get());
    ASSERT_EQ(comb.PushYUVtoCombine(pic.get(), 5, 1, 1), 1);
    Canvas();
    for (int y = 0; y < 720; ++y) {
        for (int x = 0; x < 1280; ++x) {
            const bool inside = x >= 100 && x < 400 && y >= 50 && y < 450;
            const uint8_t want = inside ? test::PatternY(x - 100 + 210, y - 50) : kDark;
            ASSERT_EQ(Y(x, y), want) << x << "," << y;
        }
    }
    EXPECT_EQ(U(50, 25), test::PatternU(105, 0));
    EXPECT_EQ(U(199, 224), test::PatternU(254, 199));
    EXPECT_EQ(U(200, 224), 128);

    // One channel full screen uses the built-in arrangement again.
    comb.SetOneCHFullScreen(true);
    ASSERT_EQ(comb.GetSlotSize(5, w, h, count), 1);
    EXPECT_EQ(w, 1280);
    EXPECT_EQ(h, 720);
}

TEST_F(CombineVideoTest, SceneRectanglesAreClippedToCanvasAndPicture) {
    Init(1280, 720);
    SetPorts({1, 2});
    TCombArea_Ext area;
    area.count = 2;
    // Reaches past the right and bottom edges, and one past the left and top.
    area.Ext = {rRect{1200, 650, 300, 200}, rRect{-20, -10, 100, 60}};
    area.Ext_ForInterface = {rRect{0, 0, 300, 200}, rRect{0, 0, 100, 60}};
    ASSERT_EQ(comb.SetCombArea_Ext(area), 0);
    AvFramePtr a = MakePicture(300, 200);
    FillSolid(a.get(), 150, 150, 150);
    AvFramePtr b = MakePicture(100, 60);
    FillPattern(b.get());
    ASSERT_EQ(comb.PushYUVtoCombine(a.get(), 1, 2, 1), 1);
    ASSERT_EQ(comb.PushYUVtoCombine(b.get(), 2, 2, 2), 2);
    Canvas();
    EXPECT_EQ(Y(1199, 719), kDark);
    EXPECT_EQ(Y(1200, 650), 150);
    EXPECT_EQ(Y(1279, 719), 150);
    EXPECT_EQ(Y(0, 0), test::PatternY(20, 10));
    EXPECT_EQ(Y(79, 49), test::PatternY(99, 59));
    EXPECT_EQ(Y(80, 0), kDark);

    // A picture smaller than its target rectangle: only what is there.
    area.Ext = {rRect{200, 100, 400, 300}, rRect{600, 300, 100, 60}};
    area.Ext_ForInterface = {rRect{0, 0, 400, 300}, rRect{0, 0, 100, 60}};
    ASSERT_EQ(comb.SetCombArea_Ext(area), 0);
    AvFramePtr tiny = MakePicture(64, 32);
    FillSolid(tiny.get(), 222, 222, 222);
    ASSERT_EQ(comb.PushYUVtoCombine(tiny.get(), 1, 2, 1), 1);
    Canvas();
    EXPECT_EQ(Y(200, 100), 222);
    EXPECT_EQ(Y(263, 131), 222);
    EXPECT_EQ(Y(264, 131), kDark);
    EXPECT_EQ(Y(263, 132), kDark);
}

TEST_F(CombineVideoTest, SceneBackgroundIsCopiedForNewScenesAndChannelCounts) {
    Init(640, 360);
    std::vector<uint8_t> background(640 * 360 * 3 / 2, 90);
    SetPorts({1});
    TCombArea_Ext area;
    area.count = 2;
    area.bNeedCover = true;
    area.bNeedChangeCOver = true;
    area.pYUVBuf = background.data();
    area.Ext = {rRect{0, 0, 320, 180}, rRect{320, 0, 320, 180}};
    area.Ext_ForInterface = area.Ext;
    ASSERT_EQ(comb.SetCombArea_Ext(area), 0);
    Canvas();
    EXPECT_EQ(Y(600, 300), 90);

    // One channel with a two-rectangle scene: built-in, full canvas.
    ASSERT_EQ(Deliver(1, 10, 10, 10), 1);
    Canvas();
    EXPECT_EQ(Y(600, 300), 10);
    // A new channel count repaints the background (forced).
    SetPorts({1, 2});
    Canvas();
    EXPECT_EQ(Y(600, 300), 90);
    ASSERT_EQ(Deliver(1, 20, 20, 20), 1);
    // Same count again: not forced, and the scene's picture is already in.
    SetPorts({2, 1});
    Canvas();
    EXPECT_EQ(Y(10, 10), 20);
    EXPECT_EQ(Y(600, 300), 90);
}

} // namespace
} // namespace tavrin
