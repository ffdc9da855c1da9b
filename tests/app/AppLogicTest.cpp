// The main window's rules that need no window: pane geometry, the
// clicked-channel history, cut gestures, mode transitions and its texts.
#include "app/ClickHistory.h"
#include "app/CutGesture.h"
#include "app/ModeSwitch.h"
#include "app/PaneGeometry.h"
#include "app/WindowTexts.h"
#include "base/LessionInfo.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

using R = TPaneRect;

TGridLayout Grid(int w, int h, int n) {
    TGridLayout g;
    EXPECT_TRUE(GridLayout(w, h, kBarHeight, n, g));
    return g;
}

TEST(PaneGeometry, GridOfThreeChannels) {
    // Wide window: the 16:9 region is as high as the space allows, centred.
    TGridLayout g = Grid(1150, 815, 3);
    EXPECT_EQ(
        g.panes,
        (std::vector<R>{
            {6, 61, 568, 319}, {575, 61, 567, 319}, {6, 381, 568, 319}, {575, 381, 567, 319}}));
    EXPECT_EQ(g.DispOne, (R{5, 61, 1137, 640}));

    g = Grid(1920, 1080, 3);
    EXPECT_EQ(
        g.panes,
        (std::vector<R>{
            {156, 61, 804, 452}, {961, 61, 803, 452}, {156, 514, 804, 452}, {961, 514, 803, 452}}));
    EXPECT_EQ(g.DispOne, (R{155, 61, 1609, 906}));

    // Tall window: full width, centred vertically below the top strip.
    g = Grid(1150, 1300, 3);
    EXPECT_EQ(
        g.panes,
        (std::vector<R>{
            {1, 301, 574, 322}, {576, 301, 573, 322}, {1, 624, 574, 322}, {576, 624, 573, 322}}));
    EXPECT_EQ(g.DispOne, (R{0, 301, 1149, 646}));
}

TEST(PaneGeometry, GridOfFiveChannels) {
    TGridLayout g = Grid(1150, 815, 5);
    EXPECT_EQ(g.panes, (std::vector<R>{{6, 61, 757, 425},
                                       {764, 61, 377, 212},
                                       {764, 274, 377, 212},
                                       {764, 487, 377, 212},
                                       {385, 487, 378, 212},
                                       {6, 487, 378, 212}}));
    EXPECT_EQ(g.DispOne, (R{5, 61, 1136, 639}));

    g = Grid(1920, 1080, 5);
    EXPECT_EQ(g.panes, (std::vector<R>{{156, 61, 1071, 603},
                                       {1228, 61, 534, 301},
                                       {1228, 363, 534, 301},
                                       {1228, 665, 534, 301},
                                       {692, 665, 535, 301},
                                       {156, 665, 535, 301}}));
    EXPECT_EQ(g.DispOne, (R{155, 61, 1607, 906}));

    g = Grid(1150, 1300, 5);
    EXPECT_EQ(g.panes, (std::vector<R>{{1, 301, 765, 429},
                                       {767, 301, 381, 214},
                                       {767, 516, 381, 214},
                                       {767, 731, 381, 214},
                                       {384, 731, 382, 214},
                                       {1, 731, 382, 214}}));
    EXPECT_EQ(g.DispOne, (R{0, 301, 1148, 645}));

    TGridLayout none;
    EXPECT_FALSE(GridLayout(1150, 815, kBarHeight, 4, none));
    EXPECT_TRUE(none.panes.empty());
}

TEST(PaneGeometry, ReplayPaneAndRuler) {
    EXPECT_EQ(ReplayPaneRect(1150, 815, kBarHeight), (R{3, 0, 1144, 644}));
    EXPECT_EQ(ReplayRulerRect(1150, 815, kBarHeight), (R{0, 646, 1150, 120}));
    EXPECT_EQ(ReplayPaneRect(1150, 1300, kBarHeight), (R{0, 242, 1150, 646}));
    EXPECT_EQ(ReplayRulerRect(1920, 1080, kBarHeight), (R{0, 911, 1920, 120}));
    // The picture never reaches into the ruler.
    for (int h : {815, 1080, 1300}) {
        const R pane = ReplayPaneRect(1150, h, kBarHeight);
        EXPECT_LE(pane.Bottom(), ReplayRulerRect(1150, h, kBarHeight).y) << h;
    }
}

TEST(ClickHistory, PushKeepsMostRecentFirstAndDropsTheOldest) {
    TClickHistory h(3);
    h.PushClickedChannel(0); // the programme pane is never pushed
    h.PushClickedChannel(-1);
    EXPECT_EQ(h.Ports(), (std::vector<int32_t>{0, 0, 0}));
    h.PushClickedChannel(2);
    h.PushClickedChannel(2); // the same channel again changes nothing
    h.PushClickedChannel(1);
    EXPECT_EQ(h.Ports(), (std::vector<int32_t>{1, 2, 0}));
    h.PushClickedChannel(3);
    h.PushClickedChannel(2);
    EXPECT_EQ(h.Ports(), (std::vector<int32_t>{2, 3, 1}));
    h.Clear();
    EXPECT_EQ(h.Ports(), (std::vector<int32_t>{0, 0, 0}));
}

TEST(ClickHistory, CombineRecentTakesDistinctChannelsMostRecentLastAndSwapsPairs) {
    TClickHistory h(3);
    h.Assign({2, 1, 0});
    const auto first = h.CombineRecent(2, true, {3});
    EXPECT_EQ(first, (std::vector<int32_t>{1, 2}));
    // Pressed again while the programme shows exactly that pair: swapped.
    EXPECT_EQ(h.CombineRecent(2, true, first), (std::vector<int32_t>{2, 1}));
    // Without the swap rule, or with another programme, the order stays.
    EXPECT_EQ(h.CombineRecent(2, false, first), first);
    EXPECT_EQ(h.CombineRecent(2, true, {2, 1}), first);

    TClickHistory five(5);
    five.Assign({1, 2, 1, 3, 0});
    EXPECT_EQ(five.CombineRecent(3, true, {}), (std::vector<int32_t>{3, 2, 1}));
    // More than the history holds: clamped, and an empty entry ends the walk.
    EXPECT_EQ(five.CombineRecent(9, true, {}), (std::vector<int32_t>{3, 2, 1}));
    EXPECT_EQ(five.CombineRecent(1, true, {}), (std::vector<int32_t>{1}));
    EXPECT_TRUE(TClickHistory(3).CombineRecent(2, true, {}).empty());
}

TEST(CutGesture, SmallRectanglesAreSlipsAndOutsideOnesAreRefused) {
    // 50 x 50 per mille is ignored, 150 x 50 accepted (either direction).
    EXPECT_FALSE(ReleaseRectAccepted(PermilleRect(100, 100, 150, 150, 1000, 1000)));
    EXPECT_TRUE(ReleaseRectAccepted(PermilleRect(100, 100, 250, 150, 1000, 1000)));
    EXPECT_TRUE(ReleaseRectAccepted(PermilleRect(100, 100, 150, 250, 1000, 1000)));
    // Dragged up and left: corners are ordered.
    const TPermilleRect r = PermilleRect(300, 200, 60, 40, 600, 400);
    EXPECT_EQ(r, (TPermilleRect{100, 100, 500, 500}));
    EXPECT_TRUE(ReleaseRectAccepted(r));
    // Released outside the pane: refused, and no trial rectangle either.
    const TPermilleRect out = PermilleRect(100, 100, 700, 300, 600, 400);
    EXPECT_GT(out.xEnd, 1000);
    EXPECT_FALSE(ReleaseRectAccepted(out));
    EXPECT_FALSE(TrialRectWanted(out));
    const TPermilleRect neg = PermilleRect(100, 100, -5, 300, 600, 400);
    EXPECT_FALSE(ReleaseRectAccepted(neg));
    // A trial rectangle needs some area but no minimum size.
    EXPECT_TRUE(TrialRectWanted(PermilleRect(10, 10, 12, 12, 1000, 1000)));
    EXPECT_FALSE(TrialRectWanted(PermilleRect(10, 10, 10, 300, 1000, 1000)));
}

TEST(CutGesture, PtzPointIsInTheCameraSpace) {
    int x = 0;
    int y = 0;
    PtzPoint(377, 212, 377, 212, x, y);
    EXPECT_EQ(x, 1280);
    EXPECT_EQ(y, 720);
    PtzPoint(100, 50, 400, 200, x, y);
    EXPECT_EQ(x, 320);
    EXPECT_EQ(y, 180);
}

// Records the steps a transition takes.
class TFakeHost : public TModeHost {
public:
    int mode = kModeNone;
    int enterResult = 0;
    std::vector<std::string> steps;

    int CurrentWorkMode() const override { return mode; }
    int EnterCapture(int32_t l) override {
        steps.push_back("enter capture " + std::to_string(l));
        mode = enterResult == 0 ? kModeCapture : kModeNone;
        return enterResult;
    }
    void LeaveCapture() override {
        steps.push_back("leave capture");
        mode = kModeNone;
    }
    int EnterReplay(int32_t l) override {
        steps.push_back("enter replay " + std::to_string(l));
        mode = enterResult == 0 ? kModeReplay : kModeNone;
        return enterResult;
    }
    void LeaveReplay() override {
        steps.push_back("leave replay");
        mode = kModeNone;
    }
    void RememberConnections() override { steps.push_back("remember"); }
    void RestoreConnections() override { steps.push_back("restore"); }
    void StartDiscovery() override { steps.push_back("discovery"); }
};

using Steps = std::vector<std::string>;

TEST(ModeSwitch, EveryTransitionTakesItsSteps) {
    TFakeHost h;
    EXPECT_EQ(SwitchMode(h, kModeCapture, 7), 0);
    EXPECT_EQ(h.steps, (Steps{"enter capture 7", "discovery"}));

    h.steps.clear();
    EXPECT_EQ(SwitchMode(h, kModeReplay, 7), 0);
    EXPECT_EQ(h.steps, (Steps{"remember", "leave capture", "enter replay 7"}));

    h.steps.clear();
    EXPECT_EQ(SwitchMode(h, kModeReplay, 8), 0);
    EXPECT_EQ(h.steps, (Steps{"leave replay", "enter replay 8"}));

    h.steps.clear();
    EXPECT_EQ(SwitchMode(h, kModeCapture, 8), 0);
    EXPECT_EQ(h.steps, (Steps{"leave replay", "enter capture 8", "restore"}));

    // Capture to capture takes no new snapshot.
    h.steps.clear();
    EXPECT_EQ(SwitchMode(h, kModeCapture, 9), 0);
    EXPECT_EQ(h.steps, (Steps{"leave capture", "enter capture 9", "restore"}));

    TFakeHost fresh;
    EXPECT_EQ(SwitchMode(fresh, kModeReplay, 3), 0);
    EXPECT_EQ(fresh.steps, (Steps{"enter replay 3"}));
}

TEST(ModeSwitch, AFailedEntryLeavesNoModeAndSkipsWhatFollows) {
    TFakeHost h;
    h.mode = kModeReplay;
    h.enterResult = -2;
    EXPECT_EQ(SwitchMode(h, kModeCapture, 4), -2);
    EXPECT_EQ(h.steps, (Steps{"leave replay", "enter capture 4"}));
    EXPECT_EQ(h.CurrentWorkMode(), kModeNone);

    h.steps.clear();
    EXPECT_EQ(SwitchMode(h, kModeCapture, 4), -2);
    EXPECT_EQ(h.steps, (Steps{"enter capture 4"})); // no discovery after a failure
}

TEST(ModeSwitch, RememberedChannelsReconnectWithTheirTypes) {
    std::string text;
    int type = 0;
    EXPECT_TRUE(RestoreTarget({"Cam A", "", "Mic A", 1, 4, true}, text, type));
    EXPECT_EQ(text, "Cam A|Mic A");
    EXPECT_EQ(type, 4);
    EXPECT_TRUE(RestoreTarget({"/m/a.jpg", "/m/b.mp3", "", 2, 5, true}, text, type));
    EXPECT_EQ(text, "/m/a.jpg|/m/b.mp3");
    EXPECT_TRUE(RestoreTarget({"/m/a.jpg", "", "", 2, 5, true}, text, type));
    EXPECT_EQ(text, "/m/a.jpg");
    EXPECT_TRUE(RestoreTarget({"127.0.0.2", "x.mp3", "", 3, 2, false}, text, type));
    EXPECT_EQ(text, "127.0.0.2");
    EXPECT_EQ(type, 2);
    EXPECT_FALSE(RestoreTarget({"", "", "", 4, 0, false}, text, type));
}

TEST(WindowTexts, AudioOffsetEntries) {
    const auto entries = AudioOffsetEntries();
    ASSERT_EQ(entries.size(), 100u);
    EXPECT_EQ(entries[0], "-49 提前音频");
    EXPECT_EQ(entries[48], "-1 提前音频");
    EXPECT_EQ(entries[49], "0 标准音频");
    EXPECT_EQ(entries[99], "50 延后音频");
    EXPECT_EQ(AudioOffsetOfEntry(AudioOffsetEntryFor(60)), 11);
    EXPECT_EQ(AudioOffsetOfEntry(AudioOffsetEntryFor(-49)), 11);
    EXPECT_EQ(AudioOffsetOfEntry(AudioOffsetEntryFor(48)), 48);
    EXPECT_EQ(AudioOffsetOfEntry(AudioOffsetEntryFor(-48)), -48);
    EXPECT_EQ(AudioOffsetOfEntry(AudioOffsetEntryFor(0)), 0);
}

TEST(WindowTexts, CaptionAndQuestions) {
    TLessionInfo l;
    l.TeacherName = "王老师";
    l.LessionName = "认识分数";
    EXPECT_EQ(MainCaption(l), "Tavrin    王老师     认识分数");
    EXPECT_EQ(ClearMarksQuestion(42),
              "已打删除标记的视频计时：42 秒。\n\r此操作将清除掉所有删除标记，请确认");
    EXPECT_EQ(ClearMarksQuestion(125),
              "已打删除标记的视频计时：2 分 5 秒。\n\r此操作将清除掉所有删除标记，请确认");
}

TEST(WindowTexts, ChannelMenuCaptions) {
    EXPECT_EQ(ChannelItemCaption({0, "x", "720P", 0, 0}), "无");
    EXPECT_EQ(ChannelItemCaption({1, "127.0.0.5", "1920x1080", 0, 0}), "127.0.0.5 1920x1080 PPT ");
    EXPECT_EQ(ChannelItemCaption({2, "127.0.0.2", "1280x720", 0, 0}), "127.0.0.2 1280x720");
    EXPECT_EQ(ChannelItemCaption({5, "/media/still.jpg", "1280x720", 0, 0}), "still.jpg1280x720");
    // An MP4 at 30 s of 120 s has played 25 %.
    EXPECT_EQ(ChannelItemCaption({6, "/media/movie.mp4", "1280x720", 30, 120}),
              "movie.mp4 1280x720 进度 25%");
    EXPECT_EQ(PercentPlayed(1, 3), 33);
    EXPECT_EQ(PercentPlayed(2, 3), 67);
    EXPECT_EQ(PercentPlayed(5, 0), 0);
    EXPECT_EQ(ChannelItemText("a", true), "√ a");
    EXPECT_EQ(ChannelItemText("a", false), "   a");
    EXPECT_EQ(BatteryText(29), "电量 29%");
    EXPECT_EQ(BatteryText(-1), "");
}

} // namespace
} // namespace tavrin
