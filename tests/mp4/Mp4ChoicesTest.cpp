// The figures and choices of the two MP4 dialogs, without a display.
#include "mp4/DoMp4Model.h"
#include "mp4/PixSetModel.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

// The forty-five-minute figures and the lists' choices are checked on the
// dialog itself; here the edges it does not reach.
TEST(PixSetModel, EstimatesAtTheEdges) {
    // A short recording still takes a minute; nothing takes nothing.
    EXPECT_EQ(TPixSetModel::EstimateMinutes(10, false), 1);
    EXPECT_EQ(TPixSetModel::EstimateMinutes(0, true), 0);
    EXPECT_EQ(TPixSetModel::EstimateSizeMB(0, 20), 0);
    EXPECT_EQ(TPixSetModel::EstimateSizeMB(3600, 0), 524);
}

TEST(PixSetModel, EveryBitRateEntryMeansTheRateItReads) {
    const auto entries = TPixSetModel::BitrateEntries();
    ASSERT_EQ(int(entries.size()), TPixSetModel::kBitrateEntries);
    EXPECT_EQ(entries[0], "1");
    EXPECT_EQ(entries[TPixSetModel::kDefaultBitrateEntry], "1.5");
    EXPECT_EQ(entries[9], "1.9");
    EXPECT_EQ(entries[10], "2");
    EXPECT_EQ(entries[20], "12");
    int previousSize = 0;
    for (int k = 0; k < int(entries.size()); ++k) {
        EXPECT_EQ(TPixSetModel::BitrateKbps(k), int(std::stod(entries[k]) * 1000 + 0.5))
            << entries[k];
        const int size = TPixSetModel::EstimateSizeMB(3600, k);
        EXPECT_GT(size, previousSize) << "a higher rate makes a bigger file, entry " << k;
        previousSize = size;
    }
}

TEST(PixSetModel, RecordingInfoAndTheFullHdChoices) {
    TPixSetModel m;
    m.SetServerInfo(1043, 3725, 23, 1280, 720);
    EXPECT_EQ(m.InfoText(), "当前录像分辨率为：1280x720\r\n"
                            "视频压缩码率约为：2.3 M位\r\n"
                            "MP4文件时长约为：01:02:05\r\n"
                            "MP4文件大小约为：1043 M");
    m.SetServerInfo(12, 59, 40, 1920, 1080);
    EXPECT_EQ(m.InfoText(), "当前录像分辨率为：1920x1080\r\n"
                            "视频压缩码率约为：4.0 M位\r\n"
                            "MP4文件时长约为：00:00:59\r\n"
                            "MP4文件大小约为：12 M");
    EXPECT_EQ(m.OwnResolutionIndex(), 1);
    const TConvertMode cards = m.Result(1, 1, 0);
    EXPECT_EQ(cards.nW, 1280);
    EXPECT_EQ(cards.nH, 720);
    EXPECT_EQ(cards.nSrcW, 1920);
    const TConvertMode smaller = m.Result(2, 0, TPixSetModel::kDefaultBitrateEntry);
    EXPECT_EQ(smaller.nW, 1280);
    EXPECT_EQ(smaller.nH, 720);
    EXPECT_EQ(smaller.nBitbrate, 1536000u);
}

TEST(DoMp4Model, EachCardPageGivesTheBuilderItsOwnFields) {
    TLessionInfo vo;
    vo.LessionID = 77;
    vo.LessionName = "认识钟表";
    vo.subject = "数学 上册";
    vo.TeacherName = "李老师";
    TCardForm form;
    form.nHeadSeconds = 3;
    form.nTailSeconds = 0;
    form.nImageHeadSeconds = 7;
    form.nImageTailSeconds = 15;
    form.sContent = "认识钟表";
    form.sSubject = "数学 下册";
    form.sGrade = "一年级";
    form.sVersion = "";
    form.sSchool = "实验小学";
    form.sTeacher = "张老师";
    form.sMaker = "Orvell";
    form.nYear = 2026;
    form.nMonth = 3;
    form.nDay = 7;
    form.sHeadImage = "/tmp/head.jpg";

    const TBuildRequest standard = MakeBuildRequest(form, vo);
    EXPECT_EQ(standard.nType, kStandardCards);
    EXPECT_EQ(standard.nSecondHead, 3);
    EXPECT_EQ(standard.nSecondTrail, 0);
    EXPECT_EQ(standard.lesson.LessionID, 77);
    EXPECT_EQ(standard.lesson.subject, "数学 下册") << "typed texts replace the lesson's";
    EXPECT_EQ(standard.lesson.TeacherName, "张老师");
    EXPECT_EQ(standard.lesson.ShcoolName, "实验小学");
    EXPECT_EQ(standard.lesson.grade, "一年级");
    EXPECT_EQ(standard.maker.Maker, "Orvell");
    EXPECT_EQ(standard.maker.Timer, "2026年3月7日");

    form.nPage = kImageCards;
    const TBuildRequest image = MakeBuildRequest(form, vo);
    EXPECT_EQ(image.nType, kImageCards);
    EXPECT_EQ(image.nSecondHead, 7);
    EXPECT_EQ(image.nSecondTrail, 15);
    EXPECT_EQ(image.head.sImageName, "/tmp/head.jpg");
    EXPECT_EQ(image.head.nNameLength, 13);
    EXPECT_EQ(image.tail.nNameLength, 0) << "no tail picture picked";
    EXPECT_EQ(image.lesson.TeacherName, "李老师") << "the standard texts stay out";

    form.nPage = kNoCards;
    const TBuildRequest none = MakeBuildRequest(form, vo);
    EXPECT_EQ(none.nType, kNoCards);
    EXPECT_EQ(none.nSecondHead, 0);
    EXPECT_EQ(none.nSecondTrail, 0);
}

TEST(DoMp4Model, ListsDelayDateAndUploadBar) {
    const auto seconds = CardSecondsEntries();
    ASSERT_EQ(seconds.size(), 16u);
    EXPECT_EQ(seconds[0], "0");
    EXPECT_EQ(seconds[kDefaultCardSeconds], "5 教育部录课标准");
    EXPECT_EQ(seconds[15], "15");
    EXPECT_EQ(AudioDelayMs(10), 210);
    EXPECT_EQ(AudioDelayMs(-3), -63);
    EXPECT_EQ(CardDateText(2026, 12, 9), "2026年12月9日");
    EXPECT_EQ(UploadPercent(0, 0), 0);
    EXPECT_EQ(UploadPercent(1, 3), 33);
    EXPECT_EQ(UploadPercent(2, 3), 67);
    EXPECT_EQ(UploadPercent(5000, 4000), 100);
}

} // namespace
} // namespace tavrin
