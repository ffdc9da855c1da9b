// The console's start-up before its window shows: each way it can end, and
// what exists when it does.
#include "app/Startup.h"

#include "base/Message.h"
#include "compose/ScreenLayout.h"
#include "tests/base/TempDir.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

using test::TempDir;

class TFakeDrives : public TDriveClassifier {
public:
    bool fixed = true;
    uint64_t freeBytes = uint64_t(100000) << 20;
    bool IsFixed(const std::string&) const override { return fixed; }
    bool SameDrive(const std::string&, const std::string&) const override { return false; }
    uint64_t FreeBytes(const std::string&) const override { return freeBytes; }
};

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::WriteFile(dir_.File("vo.ini"),
                        "[StorePath]\nRootPath=/data/vo\n[User]\nUserName=1001\n");
        env_.iniPath = dir_.File("vo.ini");
        env_.drives = &drives_;
        env_.InitSdl = [] { return true; };
        env_.SignIn = [this](int32_t& user) {
            ++signIns_;
            prefilled_ = user;
            user = signedInAs_;
            return signInOK_;
        };
    }

    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const auto& m : messages_.Messages()) {
            texts.push_back(m.text);
        }
        return texts;
    }

    TempDir dir_;
    TFakeDrives drives_;
    TStartupEnv env_;
    TStartupState st_;
    TMessageRecorder messages_;
    int signIns_ = 0;
    int32_t prefilled_ = 0;
    int32_t signedInAs_ = 1002;
    bool signInOK_ = true;
};

TEST_F(StartupTest, SignsInThenStartsTheClockAndTheLessonFolders) {
    ASSERT_TRUE(RunStartup(env_, st_));
    EXPECT_TRUE(messages_.Messages().empty());
    EXPECT_EQ(prefilled_, 1001);
    EXPECT_EQ(st_.settings.userID, 1002);
    ASSERT_NE(st_.clock, nullptr);
    ASSERT_NE(st_.paths, nullptr);
    std::string dir;
    st_.paths->Get_CaptureDir(5, dir);
    EXPECT_EQ(dir, "/data/vo/1002/5/");
    ASSERT_NE(st_.layout, nullptr);
    EXPECT_EQ(st_.layout->Width(), 1920);
    // The account that signed in is the one offered next time.
    EXPECT_NE(test::ReadFile(env_.iniPath).find("UserName=1002"), std::string::npos);
    // The editor's default place, centred on the screen.
    EXPECT_EQ(st_.LayoutWindowPos, (TPaneRect{321, 249, 1278, 581}));
}

TEST_F(StartupTest, LowSpaceIsNoticedOnceAndStartUpGoesOn) {
    drives_.freeBytes = uint64_t(6143) << 20;
    ASSERT_TRUE(RunStartup(env_, st_));
    ASSERT_EQ(messages_.Messages().size(), 1u);
    EXPECT_EQ(messages_.Messages()[0].text,
              "工作目录：/data/vo，其所在磁盘空间不够。\n\r我们需要至少6个G的磁盘空间。\n\r"
              "请注意清理已完成的录像资料！");
    EXPECT_EQ(messages_.Messages()[0].icon, TMsgIcon::Information);
    EXPECT_EQ(signIns_, 1);
    EXPECT_NE(st_.clock, nullptr);

    TStartupState enough;
    drives_.freeBytes = (uint64_t(6144) << 20) + 1000;
    TMessageRecorder quiet;
    ASSERT_TRUE(RunStartup(env_, enough));
    EXPECT_TRUE(quiet.Messages().empty());
    // A count whose low 32 bits are small reads as little space.
    TStartupState wrapped;
    drives_.freeBytes = (uint64_t(1) << 52) + (uint64_t(10) << 20);
    TMessageRecorder wrap;
    ASSERT_TRUE(RunStartup(env_, wrapped));
    EXPECT_EQ(wrap.Messages().size(), 1u);
}

TEST_F(StartupTest, CancelledSignInEndsBeforeTheClockExists) {
    signInOK_ = false;
    EXPECT_FALSE(RunStartup(env_, st_));
    EXPECT_EQ(messages_.EndProcessCount(), 1);
    EXPECT_EQ(st_.clock, nullptr);
    EXPECT_EQ(st_.paths, nullptr);
    EXPECT_NE(test::ReadFile(env_.iniPath).find("UserName=1001"), std::string::npos);
}

TEST_F(StartupTest, ARootOffAFixedDriveEndsWithTheDriveMessage) {
    drives_.fixed = false;
    EXPECT_FALSE(RunStartup(env_, st_));
    const auto texts = Texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], kCDriveNotice); // the repair came first and did not help
    EXPECT_EQ(texts[1], DriveMessage(st_.settings.rootPath));
    EXPECT_EQ(texts[1].rfind("当前录像存储磁盘：\"", 0), 0u);
    EXPECT_EQ(messages_.Messages()[1].icon, TMsgIcon::Error);
    EXPECT_EQ(messages_.EndProcessCount(), 1);
    EXPECT_EQ(signIns_, 0);
}

TEST_F(StartupTest, NoDisplayEndsFirst) {
    env_.InitSdl = [] { return false; };
    EXPECT_FALSE(RunStartup(env_, st_));
    EXPECT_EQ(Texts(), (std::vector<std::string>{"初始化显卡显示失败，系统将退出"}));
    EXPECT_EQ(messages_.EndProcessCount(), 1);
    EXPECT_EQ(signIns_, 0);
    EXPECT_EQ(st_.layout, nullptr);
}

} // namespace
} // namespace tavrin
