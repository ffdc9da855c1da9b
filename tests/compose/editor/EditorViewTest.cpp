// The editor's view model drawn offscreen: what the picture shows for each
// kind of item, drags with the mouse logic, and snapshots.
#include "base/Message.h"
#include "compose/editor/InterLayout.h"
#include "compose/editor/LayoutMouse.h"
#include "compose/editor/Snapshot.h"
#include "tests/base/TempDir.h"
#include "tests/compose/editor/EditorTestKit.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace tavrin {
namespace {

using test::Bt709;
using test::Near;
using test::Rgb;
using test::TReadBack;

const Rgb kOutline{0, 255, 0};

// A 640 x 360 picture: one display pixel is three canvas pixels.
class EditorView : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(test::WriteSolidJpeg(dir.File("bg.jpg"), 1920, 1080, test::kJpegRed));
        ASSERT_EQ(view.initialize(0, kPlanWidth, kPlanHeight, {0, 0, 640, 360}), 0);
        ASSERT_EQ(view.newProject(5, "plan", dir.File("plan.kvx")), 0);
        rImage image;
        image.name = "bg";
        image.filename = dir.File("bg.jpg");
        imageId = view.newItem(kItemImage, &image);
        rectA = AddRect({300, 300, 600, 300});
        rectB = AddRect({1200, 600, 300, 300});
        rFontStyle style;
        style.name = "样式";
        style.size = 48;
        style.color = 0xFFFFFF;
        style.x = 300;
        style.y = 300;
        styleId = view.newItem(kItemFontStyle, &style);
        rLayout scene;
        scene.name = "scene";
        scene.image = imageId;
        scene.rectangle = {rectA, rectB};
        scene.text.push_back({1, styleId, 960, 90, "第一组", {}});
        sceneId = view.newItem(kItemLayout, &scene);
    }
    int32_t AddRect(const rRect& r) {
        rRectangle rect;
        rect.name = "r";
        rect.rect = r;
        return view.newItem(kItemRectangle, &rect);
    }
    TReadBack Shot() { return TReadBack(view.Display(), 640, 360, dir.Path()); }
    template <typename T> T& Item(int nType, int32_t id) {
        void* p = nullptr;
        EXPECT_EQ(view.getItem(nType, id, p), id);
        return *static_cast<T*>(p);
    }

    TMessageRecorder messages;
    test::TempDir dir;
    TInterLayout view;
    int32_t imageId = 0, rectA = 0, rectB = 0, styleId = 0, sceneId = 0;
};

TEST_F(EditorView, NothingCurrentShowsDarkGrey) {
    view.refreshDisplay();
    const TReadBack shot = Shot();
    ASSERT_TRUE(shot.Ok());
    EXPECT_TRUE(Near(shot.At(320, 180), Bt709({32, 128, 128}))) << shot.At(320, 180);
    EXPECT_TRUE(Near(shot.At(110, 110), Bt709({32, 128, 128})));
}

TEST_F(EditorView, SceneShowsItsBackgroundRectanglesAndTexts) {
    ASSERT_EQ(view.switchToLayout(sceneId), imageId);
    view.refreshDisplay();
    TReadBack shot = Shot();
    EXPECT_TRUE(Near(shot.At(50, 50), test::kJpegRed, 24)) << shot.At(50, 50);
    EXPECT_EQ(shot.At(100, 150), kOutline) << "left edge of rectangle A";
    EXPECT_EQ(shot.At(400, 250), kOutline) << "left edge of rectangle B";
    // The text is drawn at (320, 30) and its size kept in canvas pixels.
    const rText& text = Item<rLayout>(kItemLayout, sceneId).text[0];
    EXPECT_GT(text.wh.x, 100);
    EXPECT_GT(text.wh.y, 20);
    int white = 0;
    for (int x = 320; x < 320 + text.wh.x / 3; ++x) {
        for (int y = 30; y < 30 + text.wh.y / 3; ++y) {
            white += Near(shot.At(x, y), {255, 255, 255}, 40) ? 1 : 0;
        }
    }
    EXPECT_GT(white, 20) << "white glyph pixels";

    // Deleting a member leaves the scene drawing the other one.
    ASSERT_TRUE(view.delItem(kItemRectangle, rectA));
    EXPECT_EQ(view.CurrentItem().id, -1);
    ASSERT_EQ(view.switchToLayout(sceneId), imageId);
    view.refreshDisplay();
    shot = Shot();
    EXPECT_NE(shot.At(100, 150), kOutline);
    EXPECT_EQ(shot.At(400, 250), kOutline);
}

TEST_F(EditorView, SceneWithoutItsBackgroundCannotBeShown) {
    ASSERT_EQ(view.switchToItem(kItemRectangle, rectB, false), rectB);
    Item<rLayout>(kItemLayout, sceneId).image = 9;
    EXPECT_EQ(view.switchToLayout(sceneId), -1);
    EXPECT_EQ(view.CurrentItem().nType, kItemRectangle);
    EXPECT_EQ(view.switchToLayout(77), -1);
}

TEST_F(EditorView, RectanglesAreMovedAndResizedWithTheMouse) {
    ASSERT_EQ(view.switchToItem(kItemRectangle, rectA, false), rectA);
    TLayoutMouse mouse(view);
    TListPick list{rectA, {rectA, rectB}};
    const int saved = view.saveProject();
    ASSERT_EQ(saved, 0);

    // Body of A (display 100..300 x 100..200) taken at (200, 150), moved by
    // (30, 15) display pixels: 90 and 45 canvas pixels.
    EXPECT_EQ(mouse.MouseDown(200, 150, list), rectA);
    EXPECT_EQ(mouse.State().nRectAdjustOrScale, 1);
    EXPECT_TRUE(view.Chosen());
    EXPECT_TRUE(mouse.MouseMove(230, 165));
    rRect r = Item<rRectangle>(kItemRectangle, rectA).rect;
    EXPECT_EQ(r.left, 390);
    EXPECT_EQ(r.top, 345);
    EXPECT_TRUE(view.getIfNeedSave());
    EXPECT_FALSE(mouse.MouseMove(700, 165)) << "outside the picture";
    EXPECT_TRUE(mouse.MouseMove(639, 165));
    EXPECT_EQ(Item<rRectangle>(kItemRectangle, rectA).rect.left, 1920 - 600) << "touches the edge";
    mouse.MouseUp();
    EXPECT_FALSE(mouse.MouseMove(100, 100)) << "no drag after the release";

    // B (display 400..500 x 200..300) taken at its right edge and pulled far
    // left: it stops at 200 wide.
    EXPECT_EQ(mouse.MouseDown(500, 250, list), rectB);
    EXPECT_EQ(mouse.State().nRectEnterNum, kHandleRight);
    EXPECT_EQ(view.CurrentItem().id, rectB);
    ASSERT_EQ(view.ExtendItems().size(), 1u);
    EXPECT_EQ(view.ExtendItems()[0].id, rectA);
    EXPECT_TRUE(mouse.MouseMove(480, 250));
    EXPECT_EQ(Item<rRectangle>(kItemRectangle, rectB).rect.width, 240);
    EXPECT_FALSE(mouse.MouseMove(420, 250));
    r = Item<rRectangle>(kItemRectangle, rectB).rect;
    EXPECT_EQ(r.left, 1200);
    EXPECT_EQ(r.width, 240);
    mouse.MouseUp();
    // The selected rectangle shows its handles on the picture.
    const TReadBack shot = Shot();
    EXPECT_EQ(shot.At(400 + 80, 250), kOutline) << "right handle of B";

    // A press on nothing keeps the list's rectangle, unselected.
    EXPECT_FALSE(mouse.MouseDown(20, 340, list));
    EXPECT_FALSE(view.Chosen());
    EXPECT_EQ(view.CurrentItem().id, rectA);

    // B's body (display 400..480 x 200..300) counts only while B is checked
    // or selected in the list: a hidden rectangle cannot be grabbed.
    EXPECT_FALSE(mouse.MouseDown(420, 280, {rectA, {}}));
    EXPECT_EQ(view.CurrentItem().id, rectA);
    EXPECT_FALSE(mouse.MouseMove(300, 280));
    EXPECT_EQ(Item<rRectangle>(kItemRectangle, rectB).rect.left, 1200);
    mouse.MouseUp();
    EXPECT_EQ(mouse.MouseDown(420, 280, {rectA, {rectB}}), rectB);
}

TEST_F(EditorView, SceneTextsAndStylesAreDragged) {
    ASSERT_EQ(view.switchToLayout(sceneId), imageId);
    view.refreshDisplay();
    TLayoutMouse mouse(view);
    // The text at canvas (960, 90) is at display (320, 30).
    EXPECT_FALSE(mouse.MouseDown(325, 35, {}));
    EXPECT_EQ(mouse.SelectedText(), 1);
    EXPECT_EQ(view.ChosenText(), 1);
    EXPECT_TRUE(mouse.MouseMove(335, 45));
    const rText& text = Item<rLayout>(kItemLayout, sceneId).text[0];
    EXPECT_EQ(text.x, 990);
    EXPECT_EQ(text.y, 120);
    SDL_Rect drawn{};
    int32_t mode = 0;
    ASSERT_TRUE(view.Display().FontTextureRect(1, drawn, mode));
    EXPECT_EQ(drawn.x, 330);
    EXPECT_EQ(mode, 1);
    // Dragged to the bottom-right corner it stays on the canvas.
    EXPECT_TRUE(mouse.MouseMove(640, 360));
    EXPECT_EQ(text.x + text.wh.x, 1920);
    EXPECT_EQ(text.y + text.wh.y, 1080);
    mouse.MouseUp();
    EXPECT_EQ(mouse.SelectedText(), 1) << "stays selected for renaming";
    mouse.MouseDown(10, 10, {});
    EXPECT_EQ(mouse.SelectedText(), -1);
    EXPECT_EQ(view.ChosenText(), -1);

    // A style's sample at (300, 300) = display (100, 100).
    ASSERT_EQ(view.switchToItem(kItemFontStyle, styleId, false), styleId);
    view.refreshDisplay();
    EXPECT_EQ(mouse.MouseDown(105, 105, {styleId, {}}), styleId);
    EXPECT_TRUE(mouse.MouseMove(205, 155));
    const rFontStyle& style = Item<rFontStyle>(kItemFontStyle, styleId);
    EXPECT_EQ(style.x, 600);
    EXPECT_EQ(style.y, 450);
}

TEST(Snapshot, NamedByTheTimeAndSize) {
    std::tm when{};
    when.tm_year = 2021 - 1900;
    when.tm_mon = 11;
    when.tm_mday = 2;
    when.tm_hour = 9;
    when.tm_min = 5;
    when.tm_sec = 3;
    when.tm_isdst = -1;
    const std::time_t t = std::mktime(&when);
    EXPECT_EQ(SnapshotFileName(t, 1280, 720), "2021-12-02 09-05-03(1280x720).jpg");
    EXPECT_EQ(SnapshotFileName(t, 1920, 1080), "2021-12-02 09-05-03(1920x1080).jpg");
}

TEST_F(EditorView, SnapshotIsAJpegOfTheScene) {
    ASSERT_EQ(view.switchToLayout(sceneId), imageId);
    view.refreshDisplay();
    const std::time_t t = 1638435903;
    const std::string file = TakeSnapshot(view, 1280, 720, t);
    ASSERT_EQ(file, dir.File("snapshot/" + SnapshotFileName(t, 1280, 720)));
    test::TJpeg jpeg;
    ASSERT_TRUE(test::ReadJpeg(file, jpeg));
    EXPECT_EQ(jpeg.w, 1280);
    EXPECT_EQ(jpeg.h, 720);
    EXPECT_TRUE(Near(jpeg.At(60, 60), test::kJpegRed, 30)) << jpeg.At(60, 60);
    // Rectangle A's left edge at x = 200 (one pixel wide, softened by JPEG).
    EXPECT_GT(jpeg.At(200, 300).g, 150) << jpeg.At(200, 300);
    EXPECT_LT(jpeg.At(230, 300).g, 100);
    // No bitmap is left behind.
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.File("snapshot"))) {
        ++files;
        EXPECT_EQ(entry.path().extension(), ".jpg");
    }
    EXPECT_EQ(files, 1u);
    const auto shown = messages.Messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "生成的JPG图片存于当前活动所在文件夹的snapshot文件夹中：\n" + file);

    // The panel keeps its own drawing.
    const TReadBack panel = Shot();
    EXPECT_EQ(panel.Width(), 640);
    EXPECT_EQ(panel.At(100, 150), kOutline);
}

TEST_F(EditorView, SnapshotThatCannotBeWrittenIsReported) {
    ASSERT_EQ(view.newProject(5, "x", "/proc/no-such/plan.kvx"), 0);
    EXPECT_EQ(TakeSnapshot(view, 1280, 720, 0), "");
    const auto shown = messages.Messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "未能成功生成抓图");
}

} // namespace
} // namespace tavrin
