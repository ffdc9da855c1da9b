// tavrin-cli info, cut and frames on a lesson written by the recorder.
#include "base/MediaFrame.h"
#include "tests/base/TempDir.h"
#include "tests/output/StoreTestKit.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/wait.h>

namespace tavrin {
namespace {

struct TRun {
    int status = -1;
    std::string out; // stdout and stderr
};

class StoreCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* bin = std::getenv("TAVRIN_BIN_DIR");
        cli = std::string(bin != nullptr ? bin : ".") + "/tavrin-cli";
        paths.initialize(dir.Path(), "1001");
        TSaveAV rec;
        rec.Create(paths);
        ASSERT_EQ(rec.NewLession(kLesson, 1920, 1080), 0);
        rec.SetCaptureState(true);
        uint32_t seq = 0;
        for (int s = 0; s < 11; ++s) {
            test::PushSecond(rec, seq);
        }
        rec.EndLession();
    }

    TRun Run(const std::string& command, const std::string& options) {
        const std::string line =
            cli + " " + command + " --root " + dir.Path() + " --user 1001 " + options + " 2>&1";
        TRun r;
        FILE* p = ::popen(line.c_str(), "r");
        if (p == nullptr) {
            return r;
        }
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) {
            r.out.append(buf, n);
        }
        const int w = ::pclose(p);
        r.status = WIFEXITED(w) ? WEXITSTATUS(w) : -1;
        return r;
    }

    std::vector<int> Flags() {
        TReadAV reader;
        reader.initialize(paths);
        EXPECT_EQ(reader.OpenLession(kLesson), 0);
        std::vector<int> flags;
        for (const test::TBlock& b : test::Blocks(reader)) {
            flags.push_back(b.DeleteFlag);
        }
        return flags;
    }

    static constexpr int kLesson = 812;
    std::string cli;
    test::TempDir dir;
    TGetLessionInfo paths;
};

TEST_F(StoreCliTest, InfoShowsHeadCountersAndBlocks) {
    const TRun text = Run("info", "--lesson 812");
    ASSERT_EQ(text.status, 0) << text.out;
    EXPECT_NE(text.out.find("video           H.264 1920 x 1080\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("blocks          11 (0 deleted)\n"), std::string::npos);
    EXPECT_NE(text.out.find("audio frames    517\n"), std::string::npos);
    EXPECT_NE(text.out.find("recorded        11 s\n"), std::string::npos);

    const TRun json = Run("info", "--lesson 812 --json");
    ASSERT_EQ(json.status, 0) << json.out;
    const auto doc = nlohmann::json::parse(json.out);
    EXPECT_EQ(doc["head"]["sysFlag"], 741004);
    EXPECT_EQ(doc["head"]["UserID"], "1001");
    EXPECT_EQ(doc["head"]["videoHeight"], 1080);
    EXPECT_EQ(doc["counters"]["IBlockCount"], 11);
    ASSERT_EQ(doc["blocks"].size(), 11u);
    uint64_t pos = 0;
    for (const auto& b : doc["blocks"]) {
        EXPECT_EQ(b["pos"].get<uint64_t>(), pos);
        EXPECT_EQ(b["video"], 25);
        pos += b["length"].get<uint64_t>();
    }
}

TEST_F(StoreCliTest, CutTogglesAndSavesMarks) {
    TRun r = Run("cut", "--lesson 812 --toggle 3,5-7");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("saved: 4 of 11 blocks deleted"), std::string::npos) << r.out;
    EXPECT_EQ(Flags(), (std::vector<int>{0, 0, 0, 1, 0, 1, 1, 1, 0, 0, 0}));

    r = Run("cut", "--lesson 812 --toggle 5,10");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(Flags(), (std::vector<int>{0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1}));

    // A block that does not exist changes nothing.
    r = Run("cut", "--lesson 812 --toggle 0,11");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("block 11 does not exist"), std::string::npos) << r.out;
    EXPECT_EQ(Flags(), (std::vector<int>{0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1}));

    r = Run("cut", "--lesson 812 --clear-all --toggle 2");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("cleared 4 delete marks"), std::string::npos) << r.out;
    EXPECT_EQ(Flags(), (std::vector<int>{0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0}));

    for (const char* bad : {"--toggle 3-", "--toggle x", "--toggle 5-2", "--toggle -1", ""}) {
        r = Run("cut", std::string("--lesson 812 ") + bad);
        EXPECT_EQ(r.status, 2) << bad << ": " << r.out;
    }
}

TEST_F(StoreCliTest, FramesListsOneBlock) {
    const TRun r = Run("frames", "--lesson 812 --block 4");
    ASSERT_EQ(r.status, 0) << r.out;
    size_t lines = 0, keys = 0;
    for (size_t at = 0; (at = r.out.find('\n', at)) != std::string::npos; ++at) {
        ++lines;
    }
    for (size_t at = 0; (at = r.out.find("H.264 key", at)) != std::string::npos; ++at) {
        ++keys;
    }
    EXPECT_EQ(lines, 2u + 72u) << r.out;
    EXPECT_EQ(keys, 1u);
    EXPECT_EQ(r.out.find("warning"), std::string::npos);

    EXPECT_EQ(Run("frames", "--lesson 812 --block 11").status, 1);
    EXPECT_EQ(Run("frames", "--lesson 812").status, 2);
}

TEST_F(StoreCliTest, PrepareCreatesOrContinuesALesson) {
    TRun r = Run("prepare", "--lesson 900 --width 1920 --height 1080");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("] 100%"), std::string::npos) << r.out; // the progress bar
    EXPECT_NE(r.out.find("lesson 900 ready"), std::string::npos);
    std::string av, index;
    paths.Get_AVDataFile(900, av);
    paths.Get_IndexFile(900, index);
    EXPECT_EQ(std::filesystem::file_size(av), kAVFileSize);
    EXPECT_EQ(std::filesystem::file_size(index), kIndexFileSize);
    EXPECT_EQ(test::ReadFile(index).substr(133, 4), std::string("\x80\x07\x38\x04", 4));

    // The recorded lesson is left as it is.
    r = Run("prepare", "--lesson 812");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("11 s recorded"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("%"), std::string::npos);
    EXPECT_EQ(Flags().size(), 11u);

    // Held by a reader here: the recorder's message, then the process ends.
    TReadAV reader;
    reader.initialize(paths);
    ASSERT_EQ(reader.OpenLession(kLesson), 0);
    r = Run("prepare", "--lesson 812");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.out.find(kIndexOpenFailedExit), std::string::npos) << r.out;
}

TEST_F(StoreCliTest, ErrorsAreExplained) {
    TRun r = Run("info", "--lesson 9");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("no recording in"), std::string::npos) << r.out;
    r = Run("info", "");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("--lesson"), std::string::npos) << r.out;

    // While this process records the lesson, the CLI cannot open it.
    TSaveAV rec;
    rec.Create(paths);
    ASSERT_EQ(rec.NewLession(kLesson, 1920, 1080), 0);
    r = Run("cut", "--lesson 812 --toggle 1");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("being recorded"), std::string::npos) << r.out;
    rec.EndLession();
}

} // namespace
} // namespace tavrin
