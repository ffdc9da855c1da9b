#include "compose/LayoutProject.h"

#include "base/Message.h"
#include "tests/base/TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace tavrin {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// "yyyy-mm-dd hh:nn:ss", with or without one trailing blank.
bool IsPlanTime(const std::string& text, bool trailingBlank) {
    const std::string shape = "dddd-dd-dd dd:dd:dd";
    if (text.size() != shape.size() + (trailingBlank ? 1 : 0)) {
        return false;
    }
    for (size_t i = 0; i < shape.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (shape[i] == 'd' ? !digit : text[i] != shape[i]) {
            return false;
        }
    }
    return !trailingBlank || text.back() == ' ';
}

class LayoutProjectTest : public ::testing::Test {
protected:
    std::string PlanFile() const { return dir.File("plan.kvx"); }

    int AddRect(const std::string& name, int32_t id = 0) {
        rRectangle r;
        r.id = id;
        r.name = name;
        r.rect = {10, 20, 640, 360};
        return project.newItem(kItemRectangle, &r);
    }
    int AddScene(const std::string& name, std::vector<int32_t> rects) {
        rLayout s;
        s.name = name;
        s.image = 1;
        s.rectangle = std::move(rects);
        s.text.push_back(rText{1, 1, 100, 900, name + " text", {}});
        return project.newItem(kItemLayout, &s);
    }
    const rLayout& Scene(size_t pos) const { return project.Layouts().at(pos); }

    TempDir dir;
    TMessageRecorder messages;
    TLayoutProject project;
};

TEST_F(LayoutProjectTest, NewPlanSavedAtOnceKeepsBlankOnlyInCreationTime) {
    ASSERT_EQ(project.newProject(12, "Plan", PlanFile()), 0);
    EXPECT_TRUE(project.getIfNeedSave());
    rProjectHead head;
    project.getHeadInfo(head);
    EXPECT_EQ(head.createtime.back(), ' ');
    EXPECT_EQ(head.lastrefreshtime, head.createtime);

    ASSERT_EQ(project.saveProject(), 0);
    EXPECT_FALSE(project.getIfNeedSave());
    const std::string text = ReadFile(PlanFile());
    EXPECT_EQ(text.find('\n'), std::string::npos) << "compact form";
    const auto doc = nlohmann::json::parse(text);
    EXPECT_TRUE(IsPlanTime(doc["createtime"].get<std::string>(), true));
    EXPECT_TRUE(IsPlanTime(doc["lastrefreshtime"].get<std::string>(), false));
    EXPECT_EQ(doc["userid"], 12);
    for (const char* key : {"image", "rectangle", "fontstyle", "sence"}) {
        EXPECT_TRUE(doc[key].is_array()) << key;
    }
}

TEST_F(LayoutProjectTest, SaveWithoutFileNameWritesNothing) {
    EXPECT_EQ(project.saveProject(), -1);
}

TEST_F(LayoutProjectTest, IdsFollowTheLargestIdAndAreReusedAfterDeletingIt) {
    project.newProject(1, "P", PlanFile());
    EXPECT_EQ(AddRect("a"), 1);
    EXPECT_EQ(AddRect("b"), 2);
    EXPECT_EQ(AddRect("c", 7), 8) << "the added record's own id counts";
    EXPECT_TRUE(project.delItem(kItemRectangle, 8));
    EXPECT_FALSE(project.delItem(kItemRectangle, 8));
    EXPECT_EQ(AddRect("d"), 3);
    EXPECT_EQ(project.Rectangles().back().order, 3) << "order follows the largest order";

    rFontStyle style;
    EXPECT_EQ(project.newItem(kItemFontStyle, &style), 1);
    EXPECT_EQ(project.newItem(99, &style), -1);
    const void* first = nullptr;
    EXPECT_EQ(project.getItemList(kItemRectangle, first), 3);
    EXPECT_EQ(static_cast<const rRectangle*>(first)->name, "a");
    EXPECT_EQ(project.getItemList(42, first), -1);
}

TEST_F(LayoutProjectTest, DanglingRectanglesDropAndMembersFollowProjectOrderOnSave) {
    project.newProject(1, "P", PlanFile());
    AddRect("r1");
    AddRect("r2");
    AddRect("r3");
    AddScene("S", {3, 1, 2});
    AddScene("T", {2});
    ASSERT_TRUE(project.delItem(kItemRectangle, 2));
    ASSERT_TRUE(project.exchangeItemOrder(kItemRectangle, 1, 3)); // list now r3, r1
    ASSERT_EQ(project.saveProject(), 0);

    EXPECT_EQ(Scene(0).rectangle, (std::vector<int32_t>{3, 1}));
    EXPECT_TRUE(Scene(1).rectangle.empty());
    const auto doc = nlohmann::json::parse(ReadFile(PlanFile()));
    EXPECT_EQ(doc["sence"][0]["rectangle"], nlohmann::json::parse(R"([{"id":3},{"id":1}])"));
    EXPECT_EQ(doc["rectangle"][0]["id"], 3) << "whole records swap, ids included";
}

TEST_F(LayoutProjectTest, SwappedScenesKeepIdOrderAndSurviveSaveAndLoad) {
    project.newProject(1, "P", PlanFile());
    AddScene("first", {});
    AddScene("second", {});
    ASSERT_TRUE(project.exchangeItemOrder(kItemLayout, 1, 2));
    EXPECT_FALSE(project.exchangeItemOrder(kItemLayout, 1, 5));
    EXPECT_EQ(Scene(0).id, 1);
    EXPECT_EQ(Scene(0).name, "second");
    ASSERT_EQ(project.saveProject(), 0);

    TLayoutProject reloaded;
    ASSERT_EQ(reloaded.loadProject(PlanFile()), 0);
    ASSERT_EQ(reloaded.Layouts().size(), 2u);
    EXPECT_EQ(reloaded.Layouts()[0].name, "second");
    EXPECT_EQ(reloaded.Layouts()[0].text.at(0).name, "second text");
    EXPECT_EQ(reloaded.Layouts()[1].name, "first");
}

TEST_F(LayoutProjectTest, ScenesOutOfOrderLoadSortedEachWithItsOwnContent) {
    WriteFile(PlanFile(), R"({"userid":3,"createtime":"c ","lastrefreshtime":"l","name":"n",)"
                          R"("rtmp":"","sence":[)"
                          R"({"id":5,"name":"five","image":2,"rectangle":[{"id":9}],"text":[]},)"
                          R"({"id":2,"name":"two","image":1,"rectangle":[],)"
                          R"("text":[{"id":1,"fontstyle":4,"name":"t","x":7,"y":8}]},)"
                          R"({"id":5,"name":"five-b","image":3,"rectangle":[],"text":[]}]})");
    ASSERT_EQ(project.loadProject(PlanFile()), 0);
    ASSERT_EQ(project.Layouts().size(), 3u);
    EXPECT_EQ(Scene(0).name, "two");
    EXPECT_EQ(Scene(0).text.at(0).fontStyle, 4);
    EXPECT_EQ(Scene(0).text.at(0).y, 8);
    EXPECT_EQ(Scene(1).name, "five") << "equal ids keep file order";
    EXPECT_EQ(Scene(1).rectangle, std::vector<int32_t>{9});
    EXPECT_EQ(Scene(2).image, 3);
    EXPECT_FALSE(project.getIfNeedSave());
}

TEST_F(LayoutProjectTest, CopyLayoutAppendsDashOneWithNextId) {
    project.newProject(1, "P", PlanFile());
    AddScene("A", {1});
    AddScene("B", {});
    ASSERT_EQ(project.saveProject(), 0);
    const int copy = project.copyLayout(1);
    EXPECT_EQ(copy, 3);
    EXPECT_FALSE(project.getIfNeedSave()) << "the editor marks the change itself";
    EXPECT_EQ(project.copyLayout(copy), 4);
    EXPECT_EQ(Scene(3).name, "A-1-1");
    EXPECT_EQ(Scene(3).text.at(0).name, "A text");
    EXPECT_EQ(project.copyLayout(77), -1);
}

TEST_F(LayoutProjectTest, NonAsciiRoundTripsThroughEscapes) {
    const std::string name = "语文课 活动 – Ünïcode";
    project.newProject(1, name, PlanFile());
    project.setHeadInfo(name, "rtmp://127.0.0.1/live/课");
    AddScene("场景一", {});
    ASSERT_EQ(project.saveProject(), 0);
    const std::string text = ReadFile(PlanFile());
    for (unsigned char c : text) {
        ASSERT_LT(c, 0x80) << "plan files are ASCII only";
    }
    EXPECT_NE(text.find("\\u8bed"), std::string::npos);

    TLayoutProject reloaded;
    ASSERT_EQ(reloaded.loadProject(PlanFile()), 0);
    rProjectHead head;
    reloaded.getHeadInfo(head);
    EXPECT_EQ(head.name, name);
    EXPECT_EQ(head.rtmp, "rtmp://127.0.0.1/live/课");
    EXPECT_EQ(reloaded.Layouts().at(0).name, "场景一");
}

TEST_F(LayoutProjectTest, BadFilesLeaveTheModelUnchanged) {
    project.newProject(1, "kept", PlanFile());
    AddRect("r");
    EXPECT_EQ(project.loadProject(dir.File("missing.kvx")), -1);
    WriteFile(PlanFile(), "{not json");
    EXPECT_EQ(project.loadProject(PlanFile()), 1);
    WriteFile(PlanFile(), R"({"userid":1,"name":"x","createtime":"c","rtmp":""})");
    EXPECT_EQ(project.loadProject(PlanFile()), kPlanInvalid) << "lastrefreshtime missing";
    WriteFile(PlanFile(), R"({"userid":1,"name":"x","createtime":"c","lastrefreshtime":"l",)"
                          R"("rtmp":"","sence":[{"id":1,"name":"s","image":1,"text":[]}]})");
    EXPECT_EQ(project.loadProject(PlanFile()), kPlanInvalid) << "scene without rectangles";
    WriteFile(PlanFile(), R"({"userid":1,"name":"x","createtime":"c","lastrefreshtime":"l",)"
                          R"("rtmp":"","rectangle":[3]})");
    EXPECT_EQ(project.loadProject(PlanFile()), kPlanInvalid);
    rProjectHead head;
    project.getHeadInfo(head);
    EXPECT_EQ(head.name, "kept");
    EXPECT_EQ(project.Rectangles().size(), 1u);
}

TEST_F(LayoutProjectTest, MissingBackgroundIsReportedAndLeftWithoutPicture) {
    project.newProject(1, "P", PlanFile());
    rImage image;
    image.name = "bg";
    image.filename = dir.File("nothere.jpg");
    ASSERT_EQ(project.newItem(kItemImage, &image), 1);
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].text, dir.File("nothere.jpg") + " 图片找不到");
    EXPECT_EQ(project.Images()[0].pImage, nullptr);
    ASSERT_EQ(project.saveProject(), 0);
    const auto doc = nlohmann::json::parse(ReadFile(PlanFile()));
    EXPECT_EQ(doc["image"][0]["filename"], "nothere.jpg") << "only the file name is stored";
}

} // namespace
} // namespace tavrin
