#include "base/Settings.h"

#include "base/IniFile.h"
#include "base/Message.h"
#include "base/ProgramDir.h"
#include "tests/base/TempDir.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <map>

namespace tavrin {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// Drives by path prefix: the longest matching prefix names the drive.
class FakeDrives : public TDriveClassifier {
public:
    struct Drive {
        std::string name;
        bool fixed;
    };
    void Add(const std::string& prefix, const std::string& name, bool fixed) {
        drives_[prefix] = {name, fixed};
    }
    bool IsFixed(const std::string& path) const override { return Find(path).fixed; }
    bool SameDrive(const std::string& a, const std::string& b) const override {
        return Find(a).name == Find(b).name;
    }
    uint64_t FreeBytes(const std::string&) const override { return 0; }

private:
    Drive Find(const std::string& path) const {
        Drive best{"none", false};
        size_t bestLength = 0;
        for (const auto& [prefix, drive] : drives_) {
            if (path.rfind(prefix, 0) == 0 && prefix.size() >= bestLength) {
                best = drive;
                bestLength = prefix.size();
            }
        }
        return best;
    }
    std::map<std::string, Drive> drives_;
};

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* home = std::getenv("HOME");
        savedHome_ = home != nullptr ? home : "";
        home_ = dir_.Path() + "/home";
        setenv("HOME", home_.c_str(), 1);
        ini_ = dir_.File("vo.ini");
        // By default the home lies on its own fixed data drive.
        drives_.Add("/", "system", true);
        drives_.Add(home_, "data", true);
    }
    void TearDown() override { setenv("HOME", savedHome_.c_str(), 1); }

    TMainSettings Load(uint32_t screenWidth = 1920, uint32_t screenHeight = 1080) {
        TMainSettings s;
        LoadSettings(ini_, screenWidth, screenHeight, drives_, s);
        return s;
    }

    TempDir dir_;
    std::string savedHome_;
    std::string home_;
    std::string ini_;
    FakeDrives drives_;
    TMessageRecorder messages_;
};

TEST_F(SettingsTest, EmptyFileBecomesTheFullDefaultFile) {
    WriteFile(ini_, "");
    const TMainSettings s = Load();

    EXPECT_EQ(s.rootPath, home_ + "/voData");
    EXPECT_EQ(s.userID, 0);
    EXPECT_EQ(s.another.clientCount, 5u);
    EXPECT_EQ(s.cWidth, 1150u);
    EXPECT_EQ(s.cHeight, 815u);
    EXPECT_EQ(s.another.windowWidth, 1150u);
    EXPECT_EQ(s.another.nAudioDelay, 11);
    EXPECT_EQ(s.another.videobitrate, 22528u);
    EXPECT_EQ(s.another.nDecoderThreadCount, 3);
    EXPECT_EQ(s.another.nYUVWidth, 1280);
    EXPECT_EQ(s.another.nYUVHeight, 720);
    EXPECT_EQ(ClientCount(), 5);
    EXPECT_EQ(DecoderThreadCount(), 3);
    EXPECT_TRUE(messages_.Messages().empty());

    EXPECT_EQ(ReadFile(ini_), "[StorePath]\nRootPath=" + home_ +
                                  "/voData\n[User]\nUserName=\n[ClientCount]\nCount=5\n"
                                  "[WindowSize]\nwidth=1150\nheight=815\n[AudioDelay]\nDelay=11\n"
                                  "[VideoBitRate]\nBitRate=22528\n[DecodeThread]\nThreadCount=3\n"
                                  "[CompressResolution]\nResolution=0\n");
}

TEST_F(SettingsTest, SmallScreenLimitsTheWindowButNotTheFile) {
    const TMainSettings s = Load(1024, 768);
    EXPECT_EQ(s.cWidth, 1024u);
    EXPECT_EQ(s.cHeight, 768u);
    const TIniFile ini(ini_);
    EXPECT_EQ(ini.ReadInteger("WindowSize", "width", 0), 1150);
    EXPECT_EQ(ini.ReadInteger("WindowSize", "height", 0), 815);
}

TEST_F(SettingsTest, RepairsStayInMemoryOnly) {
    WriteFile(ini_, "[StorePath]\nRootPath=" + home_ +
                        "/lessons\n[ClientCount]\nCount=4\n[VideoBitRate]\nBitRate=100\n"
                        "[AudioDelay]\nDelay=-5\n[DecodeThread]\nThreadCount=9\n"
                        "[WindowSize]\nwidth=-1\nheight=2\n[CompressResolution]\nResolution=7\n");
    const std::string before = ReadFile(ini_);
    const TMainSettings s = Load(1600, 900);

    EXPECT_EQ(s.another.clientCount, 3u); // neither 3 nor 5
    EXPECT_EQ(ClientCount(), 3);
    EXPECT_EQ(s.another.videobitrate, 800u);
    EXPECT_EQ(s.another.nAudioDelay, 11);
    EXPECT_EQ(s.another.nDecoderThreadCount, 6);
    EXPECT_EQ(DecoderThreadCount(), 6);
    EXPECT_EQ(s.cWidth, 1600u); // -1 read unsigned is above the screen width
    EXPECT_EQ(s.cHeight, 815u);
    EXPECT_EQ(s.another.nYUVWidth, 1920);
    EXPECT_EQ(s.another.nYUVHeight, 1080);

    // Only the missing user was added; every stored value is kept as it was.
    const TIniFile ini(ini_);
    EXPECT_EQ(ini.ReadInteger("ClientCount", "Count", 0), 4);
    EXPECT_EQ(ini.ReadInteger("VideoBitRate", "BitRate", 0), 100);
    EXPECT_EQ(ini.ReadInteger("AudioDelay", "Delay", 0), -5);
    EXPECT_EQ(ini.ReadInteger("WindowSize", "width", 0), -1);
    EXPECT_EQ(ReadFile(ini_), before + "[User]\nUserName=\n");
}

TEST_F(SettingsTest, ValueBoundaries) {
    struct Case {
        std::string bitrate, delay, count, threads;
        uint32_t wantBitrate;
        int wantDelay;
        uint32_t wantCount;
        int wantThreads;
    };
    const Case cases[] = {
        {"50000", "0", "3", "2", 22528, 0, 3, 3},
        {"800", "200", "5", "6", 800, 200, 5, 6},
        {"-5", "-999", "0", "0", 22528, 11, 5, 3}, // -5 unsigned is huge; -999 means missing
        {"0x400", "abc", "-3", "4", 1024, 11, 3, 4},
    };
    for (const Case& c : cases) {
        WriteFile(ini_, "[VideoBitRate]\nBitRate=" + c.bitrate + "\n[AudioDelay]\nDelay=" +
                            c.delay + "\n[ClientCount]\nCount=" + c.count +
                            "\n[DecodeThread]\nThreadCount=" + c.threads + "\n");
        const TMainSettings s = Load();
        EXPECT_EQ(s.another.videobitrate, c.wantBitrate) << c.bitrate;
        EXPECT_EQ(s.another.nAudioDelay, c.wantDelay) << c.delay;
        EXPECT_EQ(s.another.clientCount, c.wantCount) << c.count;
        EXPECT_EQ(s.another.nDecoderThreadCount, c.wantThreads) << c.threads;
    }
    // Zeros and unreadable values were replaced by their defaults in the file.
    const TIniFile ini(ini_);
    EXPECT_EQ(ini.ReadString("AudioDelay", "Delay", ""), "11");
    WriteFile(ini_, "[VideoBitRate]\nBitRate=0\n[ClientCount]\nCount=0\n");
    Load();
    EXPECT_EQ(ini.ReadString("VideoBitRate", "BitRate", ""), "22528");
    EXPECT_EQ(ini.ReadString("ClientCount", "Count", ""), "5");
}

TEST_F(SettingsTest, UserNumberIsReadAndSaved) {
    WriteFile(ini_, "[User]\nUserName=130021\n");
    EXPECT_EQ(Load().userID, 130021);
    EXPECT_TRUE(SaveUser(ini_, 42));
    EXPECT_EQ(Load().userID, 42);
}

TEST_F(SettingsTest, StorageRootOnFixedDriveIsKept) {
    drives_.Add("/mnt/lessons", "lessons", true);
    WriteFile(ini_, "[StorePath]\nRootPath=/mnt/lessons/vo\n");
    EXPECT_EQ(Load().rootPath, "/mnt/lessons/vo");
    EXPECT_TRUE(messages_.Messages().empty());
}

TEST_F(SettingsTest, RemovableRootIsReplacedByDataDriveWithoutNotice) {
    drives_.Add("/media/usb", "usb", false);
    WriteFile(ini_, "[StorePath]\nRootPath=/media/usb/vo\n");
    EXPECT_EQ(Load().rootPath, home_ + "/voData");
    EXPECT_EQ(TIniFile(ini_).ReadString("StorePath", "RootPath", ""), home_ + "/voData");
    EXPECT_TRUE(messages_.Messages().empty());
}

TEST_F(SettingsTest, DefaultOnTheSystemDriveShowsTheNotice) {
    drives_.Add(home_, "system", true); // home shares the system drive
    drives_.Add("/net", "share", false);
    WriteFile(ini_, "[StorePath]\nRootPath=/net/share/vo\n");
    EXPECT_EQ(Load().rootPath, home_ + "/voData");
    const auto shown = messages_.Messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].icon, TMsgIcon::Information);
    EXPECT_EQ(shown[0].text,
              "由于预设的录像存路径所在盘符不存在，或本机不存在\"D\"盘，或\"D\"盘不是硬盘，"
              "因此暂时将录像存储路径放在 \"C\" 盘，请留意!\n\r但 \"C\" 盘为系统盘，不建议使用，"
              "建议使用其他盘符。\n\r之后，可以在设置中更改录像存储路径");

    // Once saved, the root is on a fixed drive and the notice does not return.
    Load();
    EXPECT_EQ(messages_.Messages().size(), 1u);
}

TEST_F(SettingsTest, SaveWritesTheDialogValuesInOrder) {
    WriteFile(ini_, "");
    TMainSettings s = Load();
    s.another.storepath = "/srv/vo";
    s.another.clientCount = 3;
    s.another.videobitrate = 4096;
    s.another.nAudioDelay = 0;
    s.another.nYUVWidth = 1920;
    s.another.nYUVHeight = 1080;
    s.another.nDecoderThreadCount = 5;
    WriteFile(ini_, "[User]\nUserName=7\n");
    ASSERT_TRUE(SaveSettings(ini_, s.another));
    EXPECT_EQ(ReadFile(ini_),
              "[User]\nUserName=7\n[StorePath]\nRootPath=/srv/vo\n"
              "[ClientCount]\nCount=3\n[WindowSize]\nwidth=1150\n"
              "[VideoBitRate]\nBitRate=4096\n[AudioDelay]\nDelay=0\n"
              "[CompressResolution]\nResolution=1\n[DecodeThread]\nThreadCount=5\n");

    ASSERT_TRUE(SaveWindowSize(ini_, 1300, 900));
    const TIniFile ini(ini_);
    EXPECT_EQ(ini.ReadInteger("WindowSize", "width", 0), 1300);
    EXPECT_EQ(ini.ReadInteger("WindowSize", "height", 0), 900);
}

TEST(SystemDrives, MemoryAndProcessFilesystemsAreNotFixed) {
    const TSystemDrives drives;
    EXPECT_FALSE(drives.IsFixed("/proc/self"));
    EXPECT_FALSE(drives.IsFixed("/dev/shm/not/there/yet"));
    EXPECT_FALSE(drives.IsFixed("relative/path"));
    EXPECT_FALSE(drives.IsFixed(""));
    EXPECT_TRUE(drives.SameDrive("/proc/self/status", "/proc/does/not/exist"));
    EXPECT_FALSE(drives.SameDrive("/proc", "/dev/shm"));
    EXPECT_EQ(NearestExistingAncestor("/proc/no/such/folder"), "/proc");
}

// Only the user's own vo.ini in the config folder takes the school's
// system-wide values; a vo.ini beside the program or named on a command line
// stands alone.
TEST(SettingsFile, OnlyTheUsersOwnFileFallsBackToTheSystemOne) {
    TempDir dir;
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    const std::string savedValue = saved != nullptr ? saved : "";
    setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
    EXPECT_EQ(SettingsFallback(dir.File("tavrin/vo.ini")), "/etc/tavrin/vo.ini");
    EXPECT_EQ(SettingsFallback(dir.File("vo.ini")), "");
    EXPECT_EQ(SettingsFallback(ProgramFile("vo.ini")), "");
    EXPECT_EQ(SettingsFallback(dir.File("tavrin/other.ini")), "");
    if (saved != nullptr) {
        setenv("XDG_CONFIG_HOME", savedValue.c_str(), 1);
    } else {
        unsetenv("XDG_CONFIG_HOME");
    }
}

} // namespace
} // namespace tavrin
