#include "compose/ScreenLayout.h"

#include "tests/base/TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace tavrin {
namespace {

using Json = nlohmann::json;
using Scene = TScreenLayout::rLayout;

Json Rect(int id, int x, int y, int w, int h) {
    return {{"id", id}, {"name", "r"}, {"x", x}, {"y", y}, {"w", w}, {"h", h}};
}

Json SceneJson(int id, const std::string& name, std::vector<int> rects,
               Json texts = Json::array()) {
    Json r = Json::array();
    for (int rect : rects) {
        r.push_back({{"id", rect}});
    }
    return {{"id", id}, {"name", name}, {"image", 0}, {"rectangle", r}, {"text", texts}};
}

// A plan without background images: rectangles 1 ... 6 at x = 100 * id,
// styles red (255), green (65280) and blue (16711680).
Json Plan(Json scenes) {
    Json rects = Json::array();
    for (int id = 1; id <= 6; ++id) {
        rects.push_back(Rect(id, 100 * id, 10 * id, 320, 180));
    }
    Json styles = Json::array();
    int id = 1;
    for (int colour : {255, 65280, 16711680}) {
        styles.push_back({{"id", id++},
                          {"name", "s"},
                          {"font", "f"},
                          {"color", colour},
                          {"size", 48},
                          {"x", 1},
                          {"y", 2}});
    }
    return {{"userid", 1},
            {"name", "plan"},
            {"rtmp", "rtmp://127.0.0.1/live/a"},
            {"image", Json::array()},
            {"rectangle", rects},
            {"fontstyle", styles},
            {"sence", scenes}};
}

std::vector<std::string> Names(const TScreenLayout& s, int rectCount) {
    int32_t checked = 0;
    const Scene* const* p = nullptr;
    const int n = s.GetListForThisRectCount(rectCount, checked, p);
    std::vector<std::string> names;
    for (int i = 0; i < n; ++i) {
        names.push_back(std::to_string(p[i]->id) + ":" + p[i]->name);
    }
    return names;
}

const Scene& Only(const TScreenLayout& s, int rectCount) {
    int32_t checked = 0;
    const Scene* const* p = nullptr;
    EXPECT_EQ(s.GetListForThisRectCount(rectCount, checked, p), 1);
    return *p[0];
}

class ScreenLayoutPlan : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(layout.initialize(1920, 1080)); }
    int Load(const Json& plan) {
        test::WriteFile(file, plan.dump());
        return layout.loadProject(file);
    }
    test::TempDir dir;
    std::string file = dir.File("plan.kvx");
    TScreenLayout layout;
};

TEST_F(ScreenLayoutPlan, RuntimeIdsFollowStoredIdsAndScenesGroupByRectangles) {
    Json scenes = Json::array();
    scenes.push_back(SceneJson(5, "five", {1}));
    scenes.push_back(SceneJson(2, "two", {1, 2}));
    scenes.push_back(SceneJson(9, "nine", {1}));
    // Six entries: grouped with four rectangles, the first four used.
    scenes.push_back(SceneJson(7, "six", {6, 5, 4, 3, 2, 1}));
    // Ids that are not in the plan are skipped, not counted.
    scenes.push_back(SceneJson(8, "dangling", {1, 42}));
    ASSERT_EQ(Load(Plan(scenes)), 0);

    EXPECT_TRUE(layout.GetIfHasLayout());
    const TScreenLayout::rProjectHead* head = nullptr;
    ASSERT_TRUE(layout.GetInfo(head));
    EXPECT_EQ(head->layoutcount, 5);
    EXPECT_EQ(head->name, "plan");
    EXPECT_EQ(head->rtmp, "rtmp://127.0.0.1/live/a");
    EXPECT_EQ(head->filename, file);

    EXPECT_EQ(Names(layout, 0),
              (std::vector<std::string>{"1:two", "2:five", "3:six", "4:dangling", "5:nine"}));
    EXPECT_EQ(Names(layout, 1), (std::vector<std::string>{"2:five", "5:nine"}));
    EXPECT_EQ(Names(layout, 2), (std::vector<std::string>{"1:two", "4:dangling"}));
    EXPECT_TRUE(Names(layout, 3).empty());
    const Scene& six = Only(layout, 4);
    EXPECT_EQ(six.name, "six");
    ASSERT_EQ(six.rectCount, 4);
    ASSERT_EQ(six.rectangle.size(), 4u);
    EXPECT_EQ(six.rectangle[0].left, 600);
    EXPECT_EQ(six.rectangle[0].top, 60);
    EXPECT_EQ(six.rectangle[3].left, 300);
    EXPECT_EQ(six.rectangle[3].width, 320);
    EXPECT_EQ(six.rectangle[3].height, 180);

    int32_t checked = 0;
    const Scene* const* p = nullptr;
    EXPECT_EQ(layout.GetListForThisRectCount(2, checked, p), 2);
    EXPECT_EQ(p[1]->rectCount, 1); // "dangling" keeps its group but not the lost rectangle
    EXPECT_EQ(checked, -1);
    EXPECT_EQ(layout.GetListForThisRectCount(5, checked, p), -1);
    EXPECT_EQ(layout.GetListForThisRectCount(-1, checked, p), -1);
    EXPECT_EQ(layout.GetListForThisRectCount(3, checked, p), -1);
    // Without an output pipeline no scene is used.
    EXPECT_EQ(layout.UseThisLayout(1), -1);
}

TEST_F(ScreenLayoutPlan, StylesCarryRgbColoursAndTheTextsOwnPosition) {
    Json texts = Json::array();
    texts.push_back({{"id", 1}, {"fontstyle", 1}, {"name", "red"}, {"x", 100}, {"y", 900}});
    texts.push_back({{"id", 2}, {"fontstyle", 2}, {"name", "green"}, {"x", 5}, {"y", 6}});
    texts.push_back({{"id", 3}, {"fontstyle", 3}, {"name", "blue"}, {"x", 7}, {"y", 8}});
    texts.push_back({{"id", 4}, {"fontstyle", 99}, {"name", "no style"}, {"x", 7}, {"y", 8}});
    Json scenes = Json::array();
    scenes.push_back(SceneJson(1, "texts", {}, texts));
    ASSERT_EQ(Load(Plan(scenes)), 0);
    const Scene& scene = Only(layout, 0);
    ASSERT_EQ(scene.textCount, 3);
    ASSERT_EQ(scene.text.size(), 3u);
    EXPECT_EQ(scene.text[0].fontStyle.color, "FF0000");
    EXPECT_EQ(scene.text[1].fontStyle.color, "00FF00");
    EXPECT_EQ(scene.text[2].fontStyle.color, "0000FF");
    EXPECT_EQ(scene.text[0].fontStyle.x, 100);
    EXPECT_EQ(scene.text[0].fontStyle.y, 900);
    EXPECT_EQ(scene.text[2].name, "blue");
    EXPECT_EQ(TScreenLayout::ColorToRGB(0x123456), "563412");

    TScreenLayout::rLayout one;
    one.text.push_back({{1, "s", "f", 48, 100, 900, "FFFFFF"}, "第一组"});
    EXPECT_EQ(TScreenLayout::SceneTextFilter(one),
              "[in]drawtext=fontfile=sy.otf:fontcolor=FFFFFF:fontsize=48:text='第一组':x=100:"
              "y=900[out]");
    one.text.push_back({{1, "s", "f", 30, 1, 2, "00FF00"}, "b"});
    EXPECT_EQ(TScreenLayout::SceneTextFilter(one),
              "[in]drawtext=fontfile=sy.otf:fontcolor=FFFFFF:fontsize=48:text='第一组':x=100:"
              "y=900,drawtext=fontfile=sy.otf:fontcolor=00FF00:fontsize=30:text='b':x=1:y=2[out]");
}

TEST_F(ScreenLayoutPlan, LoadResultsAndReload) {
    EXPECT_EQ(layout.loadProject(dir.File("missing.kvx")), -1);
    EXPECT_EQ(layout.loadProject(dir.Path()), -1); // a folder is not a plan
    EXPECT_EQ(layout.relaodProject(false), -1);    // nothing read yet

    Json scenes = Json::array();
    scenes.push_back(SceneJson(1, "a", {1}));
    ASSERT_EQ(Load(Plan(scenes)), 0);
    EXPECT_EQ(Names(layout, 1), (std::vector<std::string>{"1:a"}));

    // The reload button reads the file again.
    scenes.push_back(SceneJson(0, "b", {1, 2}));
    test::WriteFile(file, Plan(scenes).dump());
    EXPECT_EQ(layout.relaodProject(false), 0);
    EXPECT_EQ(Names(layout, 0), (std::vector<std::string>{"1:b", "2:a"}));
    EXPECT_EQ(layout.relaodProject(true), 0);

    test::WriteFile(file, "{\"name\": \"broken");
    EXPECT_EQ(layout.loadProject(file), 1);
    // JSON that is not a plan object reads as a failed read.
    test::WriteFile(file, "[1, 2, 3]");
    EXPECT_EQ(layout.loadProject(file), -1);
    EXPECT_FALSE(layout.GetIfHasLayout());
    // Odd values are read leniently rather than rejected.
    test::WriteFile(file, R"({"sence": [{"id": "x", "name": 3, "rectangle": 7, "text": [1]}]})");
    EXPECT_EQ(layout.loadProject(file), 0);
    EXPECT_EQ(Names(layout, 0), (std::vector<std::string>{"1:"}));
}

TEST(ScreenLayoutAreas, DeliverySizesCoverTheRectangleAt16To9) {
    std::vector<rRect> ext;
    std::vector<rRect> delivery;
    TScreenLayout::SceneAreas(
        {{0, 0, 640, 360}, {10, 20, 300, 400}, {0, 0, 1920, 1080}, {5, 5, 301, 100}, {0, 0, 0, 0}},
        1920, 1080, 1920, 1080, ext, delivery);
    ASSERT_EQ(delivery.size(), 5u);
    auto size = [&](size_t i) { return std::make_pair(delivery[i].width, delivery[i].height); };
    EXPECT_EQ(size(0), std::make_pair(640, 368));
    EXPECT_EQ(size(1), std::make_pair(720, 400));
    EXPECT_EQ(size(2), std::make_pair(1920, 1080));
    EXPECT_EQ(size(3), std::make_pair(304, 176)); // 301 wide becomes 302: 302 x 169
    EXPECT_EQ(size(4), std::make_pair(16, 16));
    EXPECT_EQ(ext[1].left, 10);
    EXPECT_EQ(ext[1].top, 20);
    EXPECT_EQ(ext[3].width, 302);
    EXPECT_EQ(delivery[1].left, 0);

    // On a 1280 x 720 programme the areas shrink by two thirds and the
    // delivery sizes are limited to the programme.
    TScreenLayout::SceneAreas({{960, 540, 640, 360}, {0, 0, 1920, 1080}, {301, 3, 301, 99}}, 1920,
                              1080, 1280, 720, ext, delivery);
    EXPECT_EQ(ext[0].left, 640);
    EXPECT_EQ(ext[0].top, 360);
    EXPECT_EQ(ext[0].width, 428); // 426.7 rounded, made even
    EXPECT_EQ(ext[0].height, 240);
    EXPECT_EQ(std::make_pair(delivery[0].width, delivery[0].height), std::make_pair(432, 240));
    EXPECT_EQ(std::make_pair(ext[1].width, ext[1].height), std::make_pair(1280, 720));
    EXPECT_EQ(std::make_pair(delivery[1].width, delivery[1].height), std::make_pair(1280, 720));
    EXPECT_EQ(ext[2].left, 201);
    EXPECT_EQ(ext[2].top, 2);
    EXPECT_EQ(ext[2].width, 202);
    EXPECT_EQ(ext[2].height, 66);
}

} // namespace
} // namespace tavrin
