// The director's verbs on a headless channel manager.
#include "sources/Director.h"

#include "tests/sources/ManagerFixture.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

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
    EXPECT_EQ(1, director.Uncut(1));
    EXPECT_EQ(-1, director.CentreView(1)); // no phone to steer
    EXPECT_EQ(-1, director.Uncut(7));
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

TEST_F(DirectorTest, EveryVerbIsHeardAndACutWithoutAPictureGoesNoFurther) {
    std::vector<std::string> calls;
    const TDirectorLog log = [&](const std::string& call) { calls.push_back(call); };
    TDirector director(manager, nullptr, &log);
    // No channel has a picture yet: the trial rectangle is refused, and the
    // cut is neither stopped nor made real.
    EXPECT_EQ(-1, director.Cut(1, 0, 0, 500, 500));
    EXPECT_FALSE(manager.GetIfInCut(1));
    // One channel over the whole programme, its view back to the centre.
    EXPECT_EQ(1, director.FullScreen(2));
    EXPECT_EQ((std::vector<int32_t>{2}), Programme());
    EXPECT_EQ(0, director.CutCommitAll({3, 1}));
    EXPECT_EQ(1, director.Uncut(3));
    EXPECT_EQ((std::vector<std::string>{"cut-trial 1 0 0 500 500", "combine 2 full", "centre 2",
                                        "cut-commit 3", "cut-commit 1", "uncut 3"}),
              calls);
    // Without a log the verbs work the same.
    TDirector quiet(manager, nullptr);
    EXPECT_EQ(3, quiet.Combine({1, 2, 3}));
    EXPECT_EQ(6u, calls.size());
}

} // namespace
} // namespace tavrin
