#include "compose/PlanFile.h"

#include "base/Message.h"
#include "compose/LayoutProject.h"
#include "compose/ScreenLayout.h"
#include "tests/base/TempDir.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace tavrin {
namespace {

using test::TempDir;
using test::WriteFile;

TPlanRecords SamplePlan() {
    TPlanRecords plan;
    plan.head = {12, "活动一", "2021-12-01 08:00:00 ", "2021-12-02 09:30:00",
                 "rtmp://127.0.0.1/live/课"};
    rImage image;
    image.id = 3;
    image.name = "底图";
    image.filename = "/elsewhere/back.jpg";
    plan.images.push_back(image);
    plan.rects.push_back({1, 0, "左", {0, 0, 960, 540}});
    plan.rects.push_back({2, 0, "右", {960, 0, 960, 540}});
    rFontStyle style;
    style.id = 4;
    style.name = "标题";
    style.font = "思源宋体 CN SemiBold";
    style.size = 48;
    style.x = 300;
    style.y = 300;
    style.color = 0x0080FF; // orange in 0x00BBGGRR
    plan.styles.push_back(style);
    rLayout scene;
    scene.id = 7;
    scene.name = "场景";
    scene.image = 3;
    scene.rectangle = {2, 1};
    scene.text.push_back(rText{1, 4, 100, 900, "第一组", {}});
    plan.scenes.push_back(scene);
    return plan;
}

TEST(PlanFileText, WrittenPlanReadsBackFieldForFieldAsAsciiText) {
    const TPlanRecords plan = SamplePlan();
    const std::string text = PlanText(plan);
    EXPECT_TRUE(std::all_of(text.begin(), text.end(), [](char c) {
        return c >= 0x20 && static_cast<unsigned char>(c) < 0x7F;
    })) << text;
    EXPECT_EQ(text.find('\n'), std::string::npos) << "compact";
    EXPECT_NE(text.find(R"("filename":"back.jpg")"), std::string::npos) << "file name only";
    EXPECT_NE(text.find(R"("rectangle":[{"id":2},{"id":1}])"), std::string::npos);

    TPlanRecords back;
    const TPlanRead read = ParsePlanText(text, "/plans/", back);
    ASSERT_EQ(read.result, 0);
    EXPECT_TRUE(read.wellFormed);
    EXPECT_EQ(back.head.userid, 12);
    EXPECT_EQ(back.head.name, "活动一");
    EXPECT_EQ(back.head.createtime, "2021-12-01 08:00:00 ");
    EXPECT_EQ(back.head.lastrefreshtime, "2021-12-02 09:30:00");
    EXPECT_EQ(back.head.rtmp, "rtmp://127.0.0.1/live/课");
    ASSERT_EQ(back.images.size(), 1u);
    EXPECT_EQ(back.images[0].id, 3);
    EXPECT_EQ(back.images[0].name, "底图");
    EXPECT_EQ(back.images[0].filename, "/plans/back.jpg") << "the picture lies next to the plan";
    ASSERT_EQ(back.rects.size(), 2u);
    EXPECT_EQ(back.rects[1].name, "右");
    EXPECT_EQ(back.rects[1].rect.left, 960);
    EXPECT_EQ(back.rects[1].rect.height, 540);
    ASSERT_EQ(back.styles.size(), 1u);
    EXPECT_EQ(back.styles[0].font, "思源宋体 CN SemiBold");
    EXPECT_EQ(back.styles[0].color, 0x0080FF);
    EXPECT_EQ(back.styles[0].size, 48);
    ASSERT_EQ(back.scenes.size(), 1u);
    EXPECT_EQ(back.scenes[0].id, 7);
    EXPECT_EQ(back.scenes[0].image, 3);
    EXPECT_EQ(back.scenes[0].rectangle, (std::vector<int32_t>{2, 1}));
    ASSERT_EQ(back.scenes[0].text.size(), 1u);
    EXPECT_EQ(back.scenes[0].text[0].fontStyle, 4);
    EXPECT_EQ(back.scenes[0].text[0].name, "第一组");
    EXPECT_EQ(back.scenes[0].text[0].y, 900);
    EXPECT_EQ(PlanText(back), text) << "a second round changes nothing";
}

TEST(PlanFileText, ScenesReadInStableIdOrder) {
    TPlanRecords plan;
    const auto text = R"({"userid":1,"name":"p","createtime":"c","lastrefreshtime":"l","rtmp":"",)"
                      R"("sence":[{"id":5,"name":"a","rectangle":[],"text":[]},)"
                      R"({"id":2,"name":"b","rectangle":[],"text":[]},)"
                      R"({"id":5,"name":"c","rectangle":[],"text":[]}]})";
    ASSERT_EQ(ParsePlanText(text, "", plan).result, 0);
    ASSERT_EQ(plan.scenes.size(), 3u);
    EXPECT_EQ(plan.scenes[0].name, "b");
    EXPECT_EQ(plan.scenes[1].name, "a");
    EXPECT_EQ(plan.scenes[2].name, "c");
}

TEST(PlanFileText, BadInputIsRejectedOrReadLeniently) {
    TPlanRecords plan = SamplePlan();
    EXPECT_EQ(ParsePlanText("{not json", "", plan).result, 1);
    EXPECT_EQ(ParsePlanText("[1,2]", "", plan).result, kPlanNotObject);
    EXPECT_EQ(plan.head.name, "活动一") << "a failed read leaves the records alone";

    // Missing head keys, a list that is no array and mistyped values: not a
    // plan the editor wrote, but what can be read is read.
    const auto text = R"({"name":7,"rectangle":{"id":1},"fontstyle":[{"id":"2","color":255.9,)"
                      R"("size":1e12}],"sence":[{"id":1,"rectangle":[{"id":3}]}]})";
    const TPlanRead read = ParsePlanText(text, "", plan);
    ASSERT_EQ(read.result, 0);
    EXPECT_FALSE(read.wellFormed);
    EXPECT_EQ(plan.head.name, "");
    EXPECT_TRUE(plan.rects.empty());
    ASSERT_EQ(plan.styles.size(), 1u);
    EXPECT_EQ(plan.styles[0].id, 0);
    EXPECT_EQ(plan.styles[0].color, 255);
    EXPECT_EQ(plan.styles[0].size, INT32_MAX);
    ASSERT_EQ(plan.scenes.size(), 1u);
    EXPECT_EQ(plan.scenes[0].rectangle, (std::vector<int32_t>{3}));
    EXPECT_TRUE(plan.scenes[0].text.empty());

    // Each head key and each scene array is needed for a well-formed plan.
    const std::string good = PlanText(SamplePlan());
    EXPECT_TRUE(ParsePlanText(good, "", plan).wellFormed);
    for (const std::string key : {R"("rtmp":)", R"("text":)", R"("userid":)"}) {
        std::string broken = good;
        broken.replace(broken.find(key), 1, R"("x)");
        EXPECT_FALSE(ParsePlanText(broken, "", plan).wellFormed) << broken;
    }
}

TEST(PlanFileFiles, MissingUnwritableAndFolderPaths) {
    TempDir dir;
    TPlanRecords plan;
    EXPECT_EQ(ReadPlanFile(dir.File("none.kvx"), plan).result, -1);
    EXPECT_EQ(ReadPlanFile(dir.Path(), plan).result, -1) << "a folder is not a plan";
    EXPECT_EQ(WritePlanFile(dir.File("no/such/folder.kvx"), SamplePlan()), -3);
    ASSERT_EQ(WritePlanFile(dir.File("p.kvx"), SamplePlan()), 0);
    ASSERT_EQ(ReadPlanFile(dir.File("p.kvx"), plan).result, 0);
    EXPECT_EQ(plan.images.at(0).filename, dir.File("back.jpg"));
}

TEST(PlanColour, WindowsLayoutBecomesRrggbb) {
    EXPECT_EQ(PlanColorHex(255), "FF0000");
    EXPECT_EQ(PlanColorHex(65280), "00FF00");
    EXPECT_EQ(PlanColorHex(16711680), "0000FF");
    EXPECT_EQ(PlanColorHex(0x0080FF), "FF8000");
    EXPECT_EQ(PlanColorHex(0x7F0000FF), "FF0000") << "bits above the colour are not drawn";
    EXPECT_EQ(PlanColorHex(-1), "FFFFFF");
    EXPECT_EQ(PlanColorToRgb(0x0080FF), 0xFF8000u);
    EXPECT_EQ(RgbToPlanColor(0xFF8000), 0x0080FF);
    EXPECT_EQ(RgbToPlanColor(0xAAFF8000), 0x0080FF);
    for (const uint32_t rgb : {0xFFFFFFu, 0x808080u, 0x000000u, 0xFF0000u, 0x008080u}) {
        EXPECT_EQ(PlanColorToRgb(RgbToPlanColor(rgb)), rgb);
    }
}

// The editor's model and the scene runtime read the same saved file: the
// colour the editor stored is the colour the runtime draws, and an odd
// stored value survives the editor's next save.
TEST(PlanColour, EditorAndRuntimeAgreeOnASavedPlan) {
    TempDir dir;
    TMessageRecorder messages;
    TPlanRecords plan = SamplePlan();
    plan.images.clear();
    plan.scenes[0].image = 0;
    plan.styles[0].color = 0x7F00FF80;
    const std::string file = dir.File("p.kvx");
    ASSERT_EQ(WritePlanFile(file, plan), 0);

    TLayoutProject model;
    ASSERT_EQ(model.loadProject(file), 0);
    ASSERT_EQ(model.saveProject(), 0);
    TLayoutProject again;
    ASSERT_EQ(again.loadProject(file), 0);
    EXPECT_EQ(again.FontStyles().at(0).color, 0x7F00FF80);

    TScreenLayout runtime;
    ASSERT_TRUE(runtime.initialize(64, 36));
    ASSERT_EQ(runtime.loadProject(file), 0);
    int32_t checked = 0;
    const TScreenLayout::rLayout* const* p = nullptr;
    ASSERT_EQ(runtime.GetListForThisRectCount(2, checked, p), 1);
    ASSERT_EQ(p[0]->text.size(), 1u);
    EXPECT_EQ(p[0]->text[0].fontStyle.color, "80FF00");
    EXPECT_EQ(p[0]->text[0].fontStyle.color, PlanColorHex(again.FontStyles()[0].color));
    EXPECT_TRUE(messages.Messages().empty());
}

// A JSON value that is not an object: the editor rejects it as no plan, the
// runtime as unreadable.
TEST(PlanFileFiles, NonObjectIsNoPlanForEitherReader) {
    TempDir dir;
    const std::string file = dir.File("p.kvx");
    WriteFile(file, "[1,2,3]");
    TLayoutProject model;
    EXPECT_EQ(model.loadProject(file), kPlanInvalid);
    TScreenLayout runtime;
    ASSERT_TRUE(runtime.initialize(64, 36));
    EXPECT_EQ(runtime.loadProject(file), -1);
    WriteFile(file, R"({"sence":[{"id":1,"rectangle":[{"id":9}]}]})");
    EXPECT_EQ(model.loadProject(file), kPlanInvalid) << "no head";
    EXPECT_EQ(runtime.loadProject(file), 0) << "the runtime shows what it can";
    EXPECT_TRUE(runtime.GetIfHasLayout());
}

} // namespace
} // namespace tavrin
