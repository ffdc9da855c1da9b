#include "cli/LessonScript.h"

#include <gtest/gtest.h>

using namespace tavrin::cli;

namespace {

std::string ErrorOf(const std::string& text, int nChannels = 5) {
    std::vector<TScriptAction> actions;
    std::string error;
    EXPECT_FALSE(ParseLessonScript(text, nChannels, actions, error)) << text;
    return error;
}

} // namespace

TEST(LessonScript, ReadsEveryActionWithTimesAndComments) {
    const std::string text = "# a short lesson\n"
                             "0 combine 1\n"
                             "\n"
                             "2.5 combine 1,2,3   # three side by side\n"
                             "10 swap 1 3\n"
                             "10 audio 2\n"
                             "12 cut 2 0 0 500 500\n"
                             "14 uncut 2\n"
                             "20 scene 1\n"
                             "21 esc\n"
                             "22 fullscreen 4\n"
                             "23 focus 2 60\n";
    std::vector<TScriptAction> actions;
    std::string error;
    ASSERT_TRUE(ParseLessonScript(text, 5, actions, error)) << error;
    ASSERT_EQ(actions.size(), 10u);
    EXPECT_EQ(actions[1].atMs, 2500u);
    EXPECT_EQ(actions[1].verb, TScriptVerb::Combine);
    EXPECT_EQ(actions[1].args, (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(actions[1].line, 4);
    EXPECT_EQ(actions[4].args, (std::vector<int32_t>{2, 0, 0, 500, 500}));
    EXPECT_EQ(actions[7].verb, TScriptVerb::Esc);
    EXPECT_TRUE(actions[7].args.empty());
    std::vector<std::string> described;
    for (const TScriptAction& a : actions) {
        described.push_back(DescribeAction(a));
    }
    EXPECT_EQ(described,
              (std::vector<std::string>{"combine 1", "combine 1,2,3", "swap 1 3", "audio 2",
                                        "cut 2 0 0 500 500", "uncut 2", "scene 1", "esc",
                                        "fullscreen 4", "focus 2 60"}));
}

TEST(LessonScript, RefusesBadLinesWithTheirNumber) {
    EXPECT_EQ(ErrorOf("0 combine 1\n5 combine 1,2\n4 esc\n"), "line 3: times must not decrease");
    EXPECT_EQ(ErrorOf("x combine 1\n"), "line 1: \"x\" is not a time in seconds");
    EXPECT_EQ(ErrorOf("-1 esc\n"), "line 1: \"-1\" is not a time in seconds");
    EXPECT_EQ(ErrorOf("1\n"), "line 1: no action after the time");
    EXPECT_EQ(ErrorOf("1 dance\n"), "line 1: unknown action \"dance\"");
    EXPECT_EQ(ErrorOf("1 combine 1,2,3,4,5\n"), "line 1: at most 4 channels can be combined");
    EXPECT_EQ(ErrorOf("1 combine 1,\n"), "line 1: combine needs a channel list like 1,2");
    EXPECT_EQ(ErrorOf("1 combine 1,4\n", 3), "line 1: channel 4 is not 1 to 3");
    EXPECT_EQ(ErrorOf("1 swap 2 2\n"), "line 1: swap needs two different channels");
    EXPECT_EQ(ErrorOf("1 swap 2\n"), "line 1: swap takes 2 numbers");
    EXPECT_EQ(ErrorOf("1 audio 0\n"), "line 1: channel 0 is not 1 to 5");
    EXPECT_EQ(ErrorOf("1 cut 1 0 0 1001 500\n"), "line 1: cut areas are permille, 0 to 1000");
    EXPECT_EQ(ErrorOf("1 cut 1 500 0 500 500\n"), "line 1: a cut area needs x1 < x2 and y1 < y2");
    EXPECT_EQ(ErrorOf("1 scene 0\n"), "line 1: scene ids start at 1");
    EXPECT_EQ(ErrorOf("1 focus 1 x\n"), "line 1: \"x\" is not a number");
    EXPECT_EQ(ErrorOf("1 esc 1\n"), "line 1: esc takes 0 numbers");
}
