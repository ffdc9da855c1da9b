// The settings dialog: its lists, the bit-rate mapping both ways, the size
// labels and the folder check through the drive classifier.
#include "base/Message.h"
#include "base/StorageDrive.h"
#include "base/ui/FConfig.h"
#include "tests/support/ui/GuiTestEnv.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace tavrin {
namespace {

// Folders under /fixed are on a fixed disk; everything else is removable.
class TFakeDrives final : public TDriveClassifier {
public:
    bool IsFixed(const std::string& path) const override { return path.rfind("/fixed", 0) == 0; }
    bool SameDrive(const std::string&, const std::string&) const override { return false; }
    uint64_t FreeBytes(const std::string&) const override { return 0; }
};

INIAnotherSet Stored(uint32_t bitrate) {
    INIAnotherSet s;
    s.clientCount = 5;
    s.windowWidth = 1150;
    s.storepath = "/fixed/voData";
    s.videobitrate = bitrate;
    s.nAudioDelay = 11;
    s.nYUVWidth = 1920;
    s.nYUVHeight = 1080;
    s.nDecoderThreadCount = 4;
    return s;
}

TEST(BitRateMapping, EntriesAndStoredRatesMapBothWays) {
    for (int i = 0; i < 21; ++i) {
        EXPECT_EQ(EntryOfBitRate(BitRateOfEntry(i)), i) << i;
    }
    EXPECT_EQ(BitRateOfEntry(0), 1000u);
    EXPECT_EQ(BitRateOfEntry(5), 1500u);
    EXPECT_EQ(BitRateOfEntry(10), 2000u);
    EXPECT_EQ(BitRateOfEntry(11), 3000u);
    EXPECT_EQ(BitRateOfEntry(20), 12000u);
    EXPECT_EQ(BitRateOfEntry(-1), 900u);
    EXPECT_EQ(EntryOfBitRate(3050), 11);
    EXPECT_EQ(EntryOfBitRate(2050), 10);
    EXPECT_EQ(EntryOfBitRate(1450), 4);
    EXPECT_EQ(EntryOfBitRate(12100), -1); // would be entry 21
    EXPECT_EQ(EntryOfBitRate(22528), -1);
    EXPECT_EQ(EntryOfBitRate(999), -1); // wraps below 1000
    EXPECT_EQ(EntryOfBitRate(800), -1);

    const std::tuple<uint32_t, uint32_t, uint32_t> sizes[] = {
        {1000, 439, 524}, {2000, 878, 985}, {12000, 5273, 5600}, {900, 395, 478}};
    for (const auto& [rate, video, mp4] : sizes) {
        EXPECT_EQ(VideoMBPerHour(rate), video) << rate;
        EXPECT_EQ(Mp4MBPerHour(video), mp4) << rate;
    }
    // Exact halves go to the even neighbour: (30 + 60) x 1.05 = 94.5 -> 94,
    // (50 + 60) x 1.05 = 115.5 -> 116.
    EXPECT_EQ(Mp4MBPerHour(30), 94u);
    EXPECT_EQ(Mp4MBPerHour(50), 116u);
}

class ConfigTest : public ::testing::Test {
protected:
    TFakeDrives drives;
    TFConfig config{drives};
};

TEST_F(ConfigTest, ListsHoldTheirEntries) {
    ASSERT_EQ(config.BitRateList()->count(), 21);
    EXPECT_EQ(config.BitRateList()->itemText(0), "1");
    EXPECT_EQ(config.BitRateList()->itemText(4), "1.4");
    EXPECT_EQ(config.BitRateList()->itemText(9), "1.9");
    EXPECT_EQ(config.BitRateList()->itemText(10), "2");
    EXPECT_EQ(config.BitRateList()->itemText(20), "12");
    ASSERT_EQ(config.AudioDelayList()->count(), 50);
    EXPECT_EQ(config.AudioDelayList()->itemText(0), QStringLiteral("0 标准音频"));
    EXPECT_EQ(config.AudioDelayList()->itemText(49), QStringLiteral("49 延后音频"));
    ASSERT_EQ(config.ThreadList()->count(), 4);
    EXPECT_EQ(config.ThreadList()->itemText(0), QStringLiteral("3 Intel i7 11代或更高"));
    EXPECT_EQ(config.ThreadList()->itemText(1), QStringLiteral("4 AMD R7 8核16线程"));
    EXPECT_EQ(config.ThreadList()->itemText(3), QStringLiteral("6 CPU同4"));
    EXPECT_EQ(config.windowTitle(), "Tavrin");
}

TEST_F(ConfigTest, StoredBitRatesSelectTheirEntriesAndTheSizesFollow) {
    const std::pair<uint32_t, const char*> cases[] = {
        {3000, "3"}, {3050, "3"}, {2050, "2"}, {1450, "1.4"}, {1000, "1"}};
    for (const auto& [rate, text] : cases) {
        config.initialize(Stored(rate));
        EXPECT_EQ(config.BitRateList()->currentText(), text) << rate;
    }
    EXPECT_EQ(config.VideoSizeLabel()->text(), QStringLiteral("439M/小时"));
    EXPECT_EQ(config.Mp4SizeLabel()->text(), QStringLiteral("524M/小时"));
    // Choosing another entry updates the labels at once.
    config.BitRateList()->setCurrentIndex(20);
    EXPECT_EQ(config.VideoSizeLabel()->text(), QStringLiteral("5273M/小时"));
    EXPECT_EQ(config.Mp4SizeLabel()->text(), QStringLiteral("5600M/小时"));
}

TEST_F(ConfigTest, TheDefaultRateShowsNoEntryAndConfirmingStores900) {
    INIAnotherSet s = Stored(22528);
    config.initialize(s);
    EXPECT_EQ(config.BitRateList()->currentIndex(), -1);
    EXPECT_EQ(config.VideoSizeLabel()->text(), QStringLiteral("395M/小时"));
    EXPECT_EQ(config.Mp4SizeLabel()->text(), QStringLiteral("478M/小时"));
    EXPECT_TRUE(config.RadioSix()->isChecked());
    EXPECT_TRUE(config.Radio1080()->isChecked());
    EXPECT_EQ(config.AudioDelayList()->currentIndex(), 11);
    EXPECT_EQ(config.ThreadList()->currentIndex(), 1);
    EXPECT_EQ(config.PathLabel()->text(), "/fixed/voData");
    config.open();
    EXPECT_FALSE(test::SaveScreenshot(&config, "settings").empty());

    test::TXdo xdo;
    ASSERT_TRUE(xdo.Click(config.OkButton()));
    ASSERT_TRUE(test::WaitUntil([&] { return !config.isVisible(); }));
    INIAnotherSet out = Stored(0);
    out.windowWidth = 1234;
    EXPECT_TRUE(config.GetPAnother(out));
    EXPECT_EQ(out.videobitrate, 900u);
    EXPECT_EQ(out.clientCount, 5u);
    EXPECT_EQ(out.nAudioDelay, 11);
    EXPECT_EQ(out.nYUVWidth, 1920);
    EXPECT_EQ(out.nYUVHeight, 1080);
    EXPECT_EQ(out.nDecoderThreadCount, 4);
    EXPECT_EQ(out.storepath, "/fixed/voData");
    EXPECT_EQ(out.windowWidth, 1234u); // not the dialog's

    // The same dialog shown again starts unconfirmed.
    config.initialize(s);
    EXPECT_FALSE(config.bLoginOK);
}

TEST_F(ConfigTest, ChoicesAreWrittenBackAndCancelIsReported) {
    INIAnotherSet s = Stored(3000);
    s.nAudioDelay = 60; // outside the list
    config.initialize(s);
    EXPECT_EQ(config.AudioDelayList()->currentIndex(), -1);
    config.RadioFour()->click();
    config.Radio720()->click();
    config.ThreadList()->setCurrentIndex(3);
    config.CancelButton()->click();
    INIAnotherSet out;
    EXPECT_FALSE(config.GetPAnother(out));
    EXPECT_EQ(out.clientCount, 3u);
    EXPECT_EQ(out.videobitrate, 3000u);
    EXPECT_EQ(out.nAudioDelay, -1);
    EXPECT_EQ(out.nYUVWidth, 1280);
    EXPECT_EQ(out.nYUVHeight, 720);
    EXPECT_EQ(out.nDecoderThreadCount, 6);

    config.RadioSix()->click();
    config.GetPAnother(out);
    EXPECT_EQ(out.clientCount, 5u);
}

TEST_F(ConfigTest, AFolderOnARemovableDriveIsRefused) {
    config.initialize(Stored(3000));
    QString asked;
    QString answer = "/media/usb/lessons";
    config.SetFolderPicker([&](QWidget*, const QString& title) {
        asked = title;
        return answer;
    });
    TMessageRecorder recorder;
    config.ChoosePathButton()->click();
    EXPECT_EQ(asked, QStringLiteral("请选择录课视频存储路径"));
    ASSERT_EQ(recorder.Messages().size(), 1u);
    EXPECT_EQ(recorder.Messages()[0].text,
              "您选择的录像存储磁盘：\"/media/usb/lessons\" 不存在或不是硬盘，请重新选择");
    EXPECT_EQ(recorder.Messages()[0].icon, TMsgIcon::Information);
    EXPECT_EQ(config.PathLabel()->text(), "/fixed/voData");

    answer = "/fixed/disk2/lessons";
    config.ChoosePathButton()->click();
    EXPECT_EQ(config.PathLabel()->text(), "/fixed/disk2/lessons");
    answer = ""; // cancelled
    config.ChoosePathButton()->click();
    EXPECT_EQ(config.PathLabel()->text(), "/fixed/disk2/lessons");
    EXPECT_EQ(recorder.Messages().size(), 1u);
    INIAnotherSet out;
    config.GetPAnother(out);
    EXPECT_EQ(out.storepath, "/fixed/disk2/lessons");
}

} // namespace
} // namespace tavrin
