// The director's verbs on a headless channel manager.
#include "sources/Director.h"

#include "tests/sources/ManagerFixture.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

using DirectorTest = test::TManagerFixture;

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
    EXPECT_EQ(1, director.FullPicture(1));
    EXPECT_EQ(-1, director.CentreView(1)); // no phone to steer
    EXPECT_EQ(-1, director.FullPicture(7));
    // The window's combinations may put the first channel over the whole
    // programme; Esc undoes them like any other.
    EXPECT_EQ(2, director.Combine({3, 1}, true));
    EXPECT_EQ((std::vector<int32_t>{3, 1}), Programme());
    EXPECT_EQ(3, director.Esc());
    EXPECT_EQ((std::vector<int32_t>{1, 2, 3}), Programme());
    // No activity plan: scenes are refused; no phone: no focus.
    EXPECT_EQ(-1, director.Scene(1));
    EXPECT_EQ(-1, director.UseScene(1));
    EXPECT_EQ(-1, director.Focus(1, 50));
    EXPECT_EQ(-1, director.Combine({}));
}

} // namespace
} // namespace tavrin
