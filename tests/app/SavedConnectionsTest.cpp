// The channels kept in the settings file for a console that did not end
// cleanly: what comes back from the file, and how an unclean end is told.
#include "app/SavedConnections.h"

#include "app/ConnectionKeeper.h"
#include "base/IniFile.h"
#include "tests/base/TempDir.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

using test::TempDir;

CHLastState Channel(int n, int type, std::string ip, std::string mp3 = {}, std::string audio = {},
                    bool cycle = false) {
    CHLastState s;
    s.nChannel = n;
    s.nDeviceType = type;
    s.sIP = std::move(ip);
    s.Mp3Name = std::move(mp3);
    s.AudioDeviceName = std::move(audio);
    s.bCycle = cycle;
    return s;
}

class SavedConnectionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::WriteFile(ini_, "[StorePath]\nRootPath=/data/vo\n[User]\nUserName=1001\n");
    }
    TempDir dir_;
    std::string ini_ = dir_.File("vo.ini");
};

TEST_F(SavedConnectionsTest, EveryKindOfChannelComesBackAsItsConnectionText) {
    rLastState s;
    s.CHLastStateArr = {Channel(1, 2, "127.0.0.2"),
                        Channel(2, 4, "虚拟摄像头 1", {}, "虚拟麦克风 1"),
                        Channel(3, 5, "/data/课件/板书 1.jpg", "/data/课件/背景.mp3"),
                        Channel(4, 6, "/data/class.mp4", {}, {}, true), Channel(5, 0, "")};
    s.CombineportsArr = {3, 1, 4};
    ASSERT_TRUE(SaveConnections(ini_, s));

    const rLastState back = LoadConnections(ini_, 5);
    ASSERT_EQ(back.CHLastStateArr.size(), 5u);
    std::vector<std::string> texts;
    for (const CHLastState& c : back.CHLastStateArr) {
        std::string text;
        int type = 0;
        if (c.nChannel >= 1 && RestoreTarget(c, text, type)) {
            texts.push_back(std::to_string(c.nChannel) + ":" + std::to_string(type) + ":" + text);
        }
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"1:2:127.0.0.2", "2:4:虚拟摄像头 1|虚拟麦克风 1",
                                               "3:5:/data/课件/板书 1.jpg|/data/课件/背景.mp3",
                                               "4:6:/data/class.mp4"}));
    EXPECT_TRUE(back.CHLastStateArr[3].bCycle);
    EXPECT_FALSE(back.CHLastStateArr[0].bCycle);
    EXPECT_EQ(back.CombineportsArr, (std::vector<int32_t>{3, 1, 4}));
    EXPECT_TRUE(HasConnections(back));
    // The settings around them stay as they were.
    EXPECT_EQ(TIniFile(ini_).ReadInteger("User", "UserName", 0), 1001);
    EXPECT_EQ(TIniFile(ini_).ReadString("StorePath", "RootPath", ""), "/data/vo");
}

TEST_F(SavedConnectionsTest, AChannelClearedOrChangedLaterIsWhatTheFileKeeps) {
    rLastState s;
    s.CHLastStateArr = {Channel(1, 2, "127.0.0.2"), Channel(2, 2, "127.0.0.3"),
                        Channel(3, 6, "/data/a.mp4", {}, {}, true)};
    s.CombineportsArr = {1, 2};
    ASSERT_TRUE(SaveConnections(ini_, s));
    s.CHLastStateArr[0] = Channel(1, 0, "");
    s.CHLastStateArr[2].bCycle = false;
    s.CombineportsArr = {2};
    ASSERT_TRUE(SaveConnections(ini_, s));

    const rLastState back = LoadConnections(ini_, 3);
    EXPECT_EQ(back.CHLastStateArr[0].nChannel, 0) << "a cleared channel is not offered";
    EXPECT_EQ(back.CHLastStateArr[1].sIP, "127.0.0.3");
    EXPECT_FALSE(back.CHLastStateArr[2].bCycle);
    EXPECT_EQ(back.CombineportsArr, (std::vector<int32_t>{2}));

    s.CHLastStateArr = {Channel(1, 0, ""), Channel(2, 0, ""), Channel(3, 0, "")};
    s.CombineportsArr.clear();
    ASSERT_TRUE(SaveConnections(ini_, s));
    EXPECT_FALSE(HasConnections(LoadConnections(ini_, 3))) << "nothing left to offer";
}

TEST_F(SavedConnectionsTest, FewerChannelsThanSavedKeepOnlyTheirOwn) {
    rLastState s;
    s.CHLastStateArr = {Channel(1, 2, "127.0.0.2"), Channel(2, 2, "127.0.0.3"),
                        Channel(3, 2, "127.0.0.4"), Channel(4, 2, "127.0.0.5"),
                        Channel(5, 2, "127.0.0.6")};
    s.CombineportsArr = {5, 1, 4, 2};
    ASSERT_TRUE(SaveConnections(ini_, s));
    const rLastState back = LoadConnections(ini_, 3);
    EXPECT_EQ(back.CHLastStateArr.size(), 3u);
    EXPECT_EQ(back.CombineportsArr, (std::vector<int32_t>{1, 2}));
}

TEST_F(SavedConnectionsTest, NothingSavedOffersNothing) {
    const rLastState back = LoadConnections(ini_, 5);
    EXPECT_EQ(back.CHLastStateArr.size(), 5u);
    EXPECT_FALSE(HasConnections(back));
    EXPECT_TRUE(back.CombineportsArr.empty());
}

TEST_F(SavedConnectionsTest, OnlyARunThatDidNotCloseEndedUncleanly) {
    EXPECT_FALSE(CaptureEndedUncleanly(ini_)) << "a fresh settings file";
    ASSERT_TRUE(MarkCaptureRunning(ini_, true));
    // What a killed console leaves behind.
    EXPECT_TRUE(CaptureEndedUncleanly(ini_));
    ASSERT_TRUE(MarkCaptureRunning(ini_, false));
    EXPECT_FALSE(CaptureEndedUncleanly(ini_));
    EXPECT_EQ(TIniFile(ini_).ReadInteger("User", "UserName", 0), 1001);
}

// The keeper over the file: a run that ended uncleanly has its channels
// offered once before anything overwrites them.
TEST_F(SavedConnectionsTest, AnUncleanRunsChannelsAreOfferedOnceBeforeTheFileFollowsTheNewOnes) {
    rLastState last;
    last.CHLastStateArr = {Channel(1, 2, "127.0.0.2"), Channel(2, 0, ""), Channel(3, 0, "")};
    last.CombineportsArr = {1};
    ASSERT_TRUE(SaveConnections(ini_, last));
    ASSERT_TRUE(MarkCaptureRunning(ini_, true));

    TConnectionKeeper keeper;
    keeper.Start(ini_, 3);
    EXPECT_FALSE(keeper.Keeping());
    rLastState now;
    now.CHLastStateArr = {Channel(1, 0, ""), Channel(2, 2, "127.0.0.3"), Channel(3, 0, "")};
    now.CombineportsArr = {2};
    keeper.Keep(now);
    EXPECT_EQ(LoadConnections(ini_, 3).CHLastStateArr[0].sIP, "127.0.0.2")
        << "the last run's channels are kept until they were offered";

    const std::optional<rLastState> offered = keeper.TakeUncleanRun();
    ASSERT_TRUE(offered.has_value());
    EXPECT_EQ(offered->CHLastStateArr[0].sIP, "127.0.0.2");
    EXPECT_EQ(offered->CombineportsArr, (std::vector<int32_t>{1}));
    EXPECT_FALSE(keeper.TakeUncleanRun().has_value()) << "offered once only";

    EXPECT_TRUE(keeper.Keeping());
    keeper.Keep(now);
    const rLastState back = LoadConnections(ini_, 3);
    EXPECT_EQ(back.CHLastStateArr[0].nChannel, 0);
    EXPECT_EQ(back.CHLastStateArr[1].sIP, "127.0.0.3");
    EXPECT_EQ(back.CombineportsArr, (std::vector<int32_t>{2}));
}

TEST_F(SavedConnectionsTest, ACleanRunOffersNothingAndTheFileFollowsEveryChange) {
    rLastState s;
    s.CHLastStateArr = {Channel(1, 2, "127.0.0.2"), Channel(2, 0, "")};
    ASSERT_TRUE(SaveConnections(ini_, s));

    TConnectionKeeper keeper;
    keeper.Start(ini_, 2);
    EXPECT_FALSE(keeper.TakeUncleanRun().has_value()) << "saved channels of a closed run";
    ASSERT_EQ(keeper.Remembered().CHLastStateArr.size(), 2u);
    EXPECT_FALSE(HasConnections(keeper.Remembered()));

    s.CHLastStateArr[1] = Channel(2, 2, "127.0.0.4");
    keeper.Keep(s);
    EXPECT_EQ(LoadConnections(ini_, 2).CHLastStateArr[1].sIP, "127.0.0.4");
    s.CHLastStateArr[1] = Channel(2, 0, "");
    keeper.Keep(s);
    EXPECT_EQ(LoadConnections(ini_, 2).CHLastStateArr[1].nChannel, 0)
        << "a channel cleared after being kept is cleared in the file too";
}

TEST_F(SavedConnectionsTest, AnUncleanRunThatSavedNoChannelsOffersNothingButIsDone) {
    ASSERT_TRUE(MarkCaptureRunning(ini_, true));
    TConnectionKeeper keeper;
    keeper.Start(ini_, 3);
    EXPECT_FALSE(keeper.TakeUncleanRun().has_value());
    EXPECT_TRUE(keeper.Keeping());
}

} // namespace
} // namespace tavrin
