// Options as each command declares them.
#include "cli/CliArgs.h"

#include "cli/Commands.h"

#include <gtest/gtest.h>
#include <regex>
#include <string>
#include <vector>

namespace tavrin::cli {
namespace {

struct Parsed {
    bool ok = false;
    TCliArgs args;
};

Parsed ParseWords(std::vector<std::string> words, const char* declared, bool takesWord = false) {
    words.insert(words.begin(), {"tavrin-cli", "cmd"});
    std::vector<char*> argv;
    for (std::string& w : words) {
        argv.push_back(w.data());
    }
    Parsed p;
    p.ok = p.args.Parse(int(argv.size()), argv.data(), 2, declared, takesWord);
    return p;
}

constexpr const char* kSpec = "root= user= lesson= channel= shift= json";

TEST(CliArgs, ValuesSwitchesAndRepeats) {
    Parsed p = ParseWords({"--root", "/data", "--json", "--channel", "1=file:a.mp4", "--channel",
                           "2=phone:127.0.0.2", "--shift", "-3", "--help"},
                          kSpec);
    ASSERT_TRUE(p.ok) << p.args.Error();
    EXPECT_EQ("/data", p.args.Get("root"));
    EXPECT_TRUE(p.args.Has("json"));
    EXPECT_EQ("", p.args.Get("json"));
    EXPECT_EQ((std::vector<std::string>{"1=file:a.mp4", "2=phone:127.0.0.2"}),
              p.args.GetAll("channel"));
    int shift = 0;
    EXPECT_TRUE(p.args.GetInt("shift", shift));
    EXPECT_EQ(-3, shift);
    EXPECT_TRUE(p.args.Has("help"));
    EXPECT_FALSE(p.args.Has("user"));

    p = ParseWords({"caption", "--root", "x"}, kSpec, true);
    ASSERT_TRUE(p.ok);
    EXPECT_EQ("caption", p.args.Word());
}

TEST(CliArgs, RefusesWhatTheCommandDoesNotTake) {
    // A missing value is refused, not taken from the next option.
    Parsed p = ParseWords({"--root", "--user", "5"}, kSpec);
    EXPECT_FALSE(p.ok);
    EXPECT_EQ("--root needs a value", p.args.Error());
    p = ParseWords({"--lesson"}, kSpec);
    EXPECT_FALSE(p.ok);
    EXPECT_EQ("--lesson needs a value", p.args.Error());
    p = ParseWords({"--lesson", "3", "--roots", "/data"}, kSpec);
    EXPECT_FALSE(p.ok);
    EXPECT_EQ("unknown option --roots", p.args.Error());
    // A switch takes no value; a stray word is refused.
    p = ParseWords({"--json", "yes"}, kSpec);
    EXPECT_FALSE(p.ok);
    EXPECT_EQ("unexpected argument: yes", p.args.Error());
    p = ParseWords({"lesson", "3"}, kSpec);
    EXPECT_FALSE(p.ok);
    // A prefix or a part of a declared name is no option.
    EXPECT_FALSE(ParseWords({"--roo", "x"}, kSpec).ok);
    EXPECT_FALSE(ParseWords({"--oot", "x"}, kSpec).ok);
}

// Every option a usage line shows is one the command takes, with a value
// exactly when the usage shows one.
TEST(CliArgs, UsageLinesMatchTheDeclaredOptions) {
    const std::regex option(R"(--([a-z0-9-]+)( [^-\[\]][^ \]]*)?)");
    for (const TCliCommand& c : CliCommands()) {
        const std::string usage = c.usage;
        for (std::sregex_iterator it(usage.begin(), usage.end(), option), end; it != end; ++it) {
            const std::string name = (*it)[1];
            const bool withValue = (*it)[2].matched;
            std::string declared = std::string(" ") + c.options + " ";
            EXPECT_NE(std::string::npos, declared.find(" " + name + (withValue ? "= " : " ")))
                << c.name << " --" << name;
        }
    }
}

} // namespace
} // namespace tavrin::cli
