// The director's verbs on a headless channel manager.
#include "sources/Director.h"

#include "tests/sources/ManagerFixture.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

using DirectorTest = test::TManagerFixture;

TEST_F(DirectorTest, RecentChannelsFillTheProgrammeMostRecentLast) {
    TDirector director(manager, nullptr);
    // Two-video button with history [2, 1, 0]: [1, 2]; again: swapped.
    EXPECT_EQ(2, director.CombineRecent({2, 1, 0}, 2, false, true));
    EXPECT_EQ((std::vector<int32_t>{1, 2}), Programme());
    EXPECT_EQ(2, director.CombineRecent({2, 1, 0}, 2, false, true));
    EXPECT_EQ((std::vector<int32_t>{2, 1}), Programme());
    // Without the swap rule the order is the history's.
    EXPECT_EQ(2, director.CombineRecent({2, 1, 0}, 2, false, false));
    EXPECT_EQ((std::vector<int32_t>{1, 2}), Programme());
    // Repeated channels count once; an empty entry ends the history.
    EXPECT_EQ(3, director.CombineRecent({1, 2, 1, 3, 0}, 3, false, true));
    EXPECT_EQ((std::vector<int32_t>{3, 2, 1}), Programme());
    EXPECT_EQ(1, director.CombineRecent({3, 0, 2}, 2, false, true));
    EXPECT_EQ((std::vector<int32_t>{3}), Programme());
    // More than the history holds is clamped to it.
    EXPECT_EQ(2, director.CombineRecent({2, 3}, 4, false, true));
    EXPECT_EQ((std::vector<int32_t>{3, 2}), Programme());
}

TEST_F(DirectorTest, VerbsAnswerWithTheirOutcome) {
    TDirector director(manager, nullptr);
    EXPECT_EQ(3, director.Combine({1, 2, 3}));
    EXPECT_EQ(1, director.FullScreen(2));
    EXPECT_EQ((std::vector<int32_t>{2}), Programme());
    // Esc goes back to the three channels, a second Esc changes nothing.
    EXPECT_EQ(3, director.Esc());
    EXPECT_EQ(3, director.Esc());
    EXPECT_EQ(2, director.Audio(2));
    EXPECT_EQ(2, manager.MainAudioChannel());
    EXPECT_EQ(-1, director.Audio(9));
    // Swapping carries the programme sound with the channel.
    EXPECT_EQ(1, director.Swap(2, 3));
    EXPECT_EQ(3, manager.MainAudioChannel());
    EXPECT_EQ(-1, director.Swap(1, 1));
    EXPECT_EQ(-1, director.Swap(1, 4));
    EXPECT_EQ(1, director.Uncut(1));
    EXPECT_FALSE(manager.GetIfInCut(1));
    // No activity plan: scenes are refused; no phone: no focus.
    EXPECT_EQ(-1, director.Scene(1));
    EXPECT_EQ(-1, director.SceneRecent(1, {1, 2, 0}));
    EXPECT_EQ(-1, director.Focus(1, 50));
    EXPECT_EQ(-1, director.Combine({}));
}

TEST(ClickedChannels, MostRecentFirst) {
    std::vector<int32_t> history(5, 0);
    PushClickedChannel(history, 1);
    PushClickedChannel(history, 1); // already first
    PushClickedChannel(history, 0); // not a channel
    PushClickedChannel(history, 3);
    PushClickedChannel(history, 1);
    EXPECT_EQ((std::vector<int32_t>{1, 3, 1, 0, 0}), history);
    for (int32_t c : {2, 4, 5}) {
        PushClickedChannel(history, c);
    }
    EXPECT_EQ((std::vector<int32_t>{5, 4, 2, 1, 3}), history);
}

} // namespace
} // namespace tavrin
