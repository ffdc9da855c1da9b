// The window's one table of commands and the QActions made of it: each key,
// button and menu item is found once, a trigger runs its command once and
// leaves a toggle as its controller says, and the bars' buttons look as
// their actions are checked.
#include "app/ActionSet.h"

#include "app/MainBars.h"
#include "tests/app/WindowTestSupport.h"
#include "tests/support/ui/GuiTestEnv.h"

#include <QAction>
#include <QKeySequence>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace tavrin {
namespace {

TEST(ActionTable, EveryButtonKeyAndItemIsFoundOnceInItsPlace) {
    std::set<std::pair<TBar, int>> tags;
    std::set<std::pair<TBar, int>> keys;
    std::set<std::pair<TBar, std::string>> captions;
    for (const TActionEntry& e : MainActionTable()) {
        switch (e.bar) {
        case TBar::Capture:
        case TBar::Replay:
            EXPECT_TRUE(tags.insert({e.bar, e.tag}).second) << "tag " << e.tag;
            // A command twice on a bar would leave one button's look dead.
            EXPECT_EQ(EntryOf(e.bar, e.action), &e);
            break;
        case TBar::CaptureKeys:
        case TBar::ReplayKeys:
            // A key twice in a mode would leave its second command dead.
            EXPECT_TRUE(keys.insert({e.bar, e.key}).second) << "key " << e.key;
            EXPECT_EQ(EntryOfKey(e.bar, e.key), &e);
            break;
        case TBar::Menu:
        case TBar::ChannelMenu:
            EXPECT_TRUE(captions.insert({e.bar, e.caption}).second) << e.caption;
            EXPECT_STRNE(e.caption, "");
            break;
        }
    }
    // The layout keys are the layout buttons' commands.
    EXPECT_EQ(EntryOfKey(TBar::CaptureKeys, Qt::Key_D)->action, TMainAction::LayoutThree);
    EXPECT_EQ(EntryOfKey(TBar::CaptureKeys, Qt::Key_S)->action, TMainAction::LayoutFour);
    EXPECT_EQ(EntryOfKey(TBar::ReplayKeys, Qt::Key_Space)->action, TMainAction::ReplayPause);
    EXPECT_EQ(EntryOfKey(TBar::CaptureKeys, Qt::Key_PageUp), nullptr);
}

class ActionSetTest : public ::testing::Test {
protected:
    std::vector<TMainAction> ran;
    QWidget window;
    TActionSet actions{&window, [this](TMainAction a) { ran.push_back(a); }};
};

TEST_F(ActionSetTest, ATriggerRunsItsCommandOnceAndLeavesTheToggleToItsController) {
    QAction* record = actions.Of(TBar::Capture, TMainAction::Record);
    ASSERT_NE(record, nullptr);
    ASSERT_TRUE(record->isCheckable());
    record->trigger();
    EXPECT_EQ(ran, std::vector<TMainAction>{TMainAction::Record});
    EXPECT_FALSE(record->isChecked()); // recording may have been refused
    actions.SetChecked(TMainAction::Record, true);
    record->trigger();
    EXPECT_TRUE(record->isChecked());
    EXPECT_EQ(ran.size(), 2u);

    // A command on both bars is one toggle on each; same tags on both bars
    // are different commands.
    actions.SetChecked(TMainAction::ReplayPause, true);
    EXPECT_TRUE(actions.Of(TBar::Replay, TMainAction::ReplayPause)->isChecked());
    EXPECT_FALSE(actions.Of(TBar::Capture, TMainAction::Chooser)->isCheckable());
}

TEST_F(ActionSetTest, MenuItemsRunAfterTheMenuIsDoneAndKeysStayWithTheKeyDirector) {
    const TActionEntry* settings = EntryOf(TBar::Menu, TMainAction::Settings);
    ASSERT_NE(settings, nullptr);
    QAction* item = actions.Of(*settings);
    EXPECT_EQ(item->text(), QStringLiteral("系统设置"));
    item->trigger();
    EXPECT_TRUE(ran.empty());
    test::Pump(50);
    EXPECT_EQ(ran, std::vector<TMainAction>{TMainAction::Settings});

    const TActionEntry* comma = EntryOfKey(TBar::CaptureKeys, Qt::Key_Comma);
    ASSERT_NE(comma, nullptr);
    QAction* key = actions.Of(*comma);
    EXPECT_EQ(key->shortcut(), QKeySequence(Qt::Key_Comma));
    // On a widget, Qt would take the key before the key director, which
    // needs its press, repeats and release.
    EXPECT_TRUE(key->associatedObjects().isEmpty());
    key->trigger();
    test::Pump(50);
    EXPECT_EQ(ran.size(), 1u);
}

TEST_F(ActionSetTest, BarButtonsShowTheirActionsTooltipAndCheckedState) {
    TMainBars bars(window, actions);
    bars.ShowCaptureBar();
    TImageButton* record = test::BarButton(&window, TBar::Capture, 4);
    TImageButton* pause = test::BarButton(&window, TBar::Replay, 4);
    TImageButton* ptz = test::BarButton(&window, TBar::Capture, 6);
    ASSERT_NE(record, nullptr);
    ASSERT_NE(pause, nullptr);
    ASSERT_NE(ptz, nullptr);
    EXPECT_EQ(record->toolTip(), TImageButton::DefaultToolTip(4));

    actions.SetChecked(TMainAction::ReplayPause, true);
    EXPECT_TRUE(pause->Running());
    EXPECT_FALSE(record->Running());
    actions.SetChecked(TMainAction::Ptz, true);
    EXPECT_TRUE(ptz->Latched());
    EXPECT_FALSE(ptz->Running());
    actions.SetChecked(TMainAction::Ptz, false);
    EXPECT_FALSE(ptz->Latched());

    record->click();
    EXPECT_EQ(ran, std::vector<TMainAction>{TMainAction::Record});
    EXPECT_FALSE(record->Running());
}

} // namespace
} // namespace tavrin
