#include "base/GetLessionInfo.h"
#include "base/Text.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

class LessionPathsTest : public ::testing::Test {
protected:
    void SetUp() override { paths_.initialize("/data/voData", "130021"); }

    std::string Path(void (TGetLessionInfo::*get)(int32_t, std::string&) const, int32_t id) {
        std::string out;
        (paths_.*get)(id, out);
        return out;
    }

    TGetLessionInfo paths_;
};

TEST_F(LessionPathsTest, LayoutUnderTheRoot) {
    std::string s;
    paths_.Get_UserID(s);
    EXPECT_EQ(s, "130021");
    paths_.Get_UserDir(s);
    EXPECT_EQ(s, "/data/voData/130021/");
    EXPECT_EQ(Path(&TGetLessionInfo::Get_CaptureDir, 812), "/data/voData/130021/812/");
    EXPECT_EQ(Path(&TGetLessionInfo::Get_IndexFile, 812), "/data/voData/130021/812/index.dat");
    EXPECT_EQ(Path(&TGetLessionInfo::Get_AVDataFile, 812), "/data/voData/130021/812/av.dat");
    EXPECT_EQ(Path(&TGetLessionInfo::Get_AACFile, 812), "/data/voData/130021/temp/812.aac");
    EXPECT_EQ(Path(&TGetLessionInfo::Get_H264File, 812), "/data/voData/130021/temp/812.h264");
    EXPECT_EQ(Path(&TGetLessionInfo::Get_TempDir, 7), Path(&TGetLessionInfo::Get_TempDir, 9));
    EXPECT_EQ(Path(&TGetLessionInfo::Get_TempDir, 7), "/data/voData/130021/temp/");
    EXPECT_EQ(Path(&TGetLessionInfo::Get_OutputDir, 3), "/data/voData/130021/output/");
    EXPECT_EQ(Path(&TGetLessionInfo::Get_CaptureDir, -1), "/data/voData/130021/-1/");
    EXPECT_EQ(Path(&TGetLessionInfo::Get_CaptureDir, INT32_MIN),
              "/data/voData/130021/-2147483648/");
}

TEST_F(LessionPathsTest, Mp4NameSanitizesTheCallersRecord) {
    TLessionInfo l;
    l.LessionID = 812;
    l.TeacherName = "数学 教研组";
    l.LessionName = "第1课:认识/分数";
    std::string file;
    paths_.Get_MP4File(l, file);
    EXPECT_EQ(file, "/data/voData/130021/output/数学 教研组-第1课：认识／分数-812.mp4");
    EXPECT_EQ(l.LessionName, "第1课：认识／分数");
    EXPECT_EQ(l.TeacherName, "数学 教研组");

    l.TeacherName.clear();
    paths_.Get_MP4File(l, file);
    EXPECT_EQ(file, "/data/voData/130021/output/-第1课：认识／分数-812.mp4");
}

TEST(FullWidthSigns, EveryAsciiSignHasItsFullWidthForm) {
    std::string s = "~!@#$%&*()_+=-`{}|[]\\:\"<>?;/.,'";
    EXPECT_EQ(ToFullWidthSigns(s), 31);
    EXPECT_EQ(s, "～！＠＃￥％＆×（）—＋＝－｀｛｝｜【】＼：“《》？；／。，‘");
    EXPECT_EQ(CodePointCount(s), 31u); // only signs: the length in characters is kept

    std::string again = s;
    EXPECT_EQ(ToFullWidthSigns(again), 0); // already safe text is left alone
    EXPECT_EQ(again, s);
}

TEST(FullWidthSigns, ChineseTextAndBlanksPassUnchanged) {
    std::string s = "三年级 (2) 班: 语文/阅读";
    EXPECT_EQ(ToFullWidthSigns(s), 4);
    EXPECT_EQ(s, "三年级 （2） 班： 语文／阅读");
    std::string plain = "认识分数 abc 123";
    EXPECT_EQ(ToFullWidthSigns(plain), 0);
    EXPECT_EQ(plain, "认识分数 abc 123");
    std::string empty;
    EXPECT_EQ(ToFullWidthSigns(empty), 0);
}

TEST_F(LessionPathsTest, LiveCaptionForBothResolutions) {
    TLessionInfo l;
    l.LessionName = "第1课:It's 100%";
    std::string f;
    paths_.Get_WaterMark_inCapture(l, 1, f);
    EXPECT_EQ(f, "[in]drawtext=fontfile=sy.otf:fontcolor=gray:fontsize=39:"
                 "text='第1课：It‘s 100％':x=15:y=1026[out]");
    paths_.Get_WaterMark_inCapture(l, 0, f);
    EXPECT_EQ(f, "[in]drawtext=fontfile=sy.otf:fontcolor=gray:fontsize=26:"
                 "text='第1课：It‘s 100％':x=10:y=684[out]");
    EXPECT_EQ(l.LessionName, "第1课:It's 100%"); // the caption works on a copy
}

TLessionInfo CardLesson() {
    TLessionInfo l;
    l.LessionName = "第1课:It's";
    l.subject = "数学 上册";
    l.grade = "三年级";
    l.ShcoolName = "实验小学";
    l.TeacherName = "王老师";
    return l;
}

std::string TitleLine(int size, const std::string& text, int y, const char* end) {
    return "drawtext=fontfile=sy.otf:fontcolor=white:fontsize=" + std::to_string(size) + ":text='" +
           text + "':x=160:y=" + std::to_string(y) + end;
}

TEST_F(LessionPathsTest, TitleCardLinesAndPositions) {
    TLessionInfo l = CardLesson();
    std::string f;
    paths_.Get_WaterMark(l, 1, f);
    EXPECT_EQ(f, "[in]" + TitleLine(48, "内容：第1课：It‘s", 291, ",") +
                     TitleLine(48, "科目：数学 上册", 393, ",") +
                     TitleLine(48, "年级：三年级", 495, ",") +
                     TitleLine(48, "单位：实验小学", 597, ",") +
                     TitleLine(48, "教师：王老师", 699, "[out]"));
    EXPECT_EQ(l.LessionName, "第1课：It‘s"); // sanitized in place

    l.version = "人教版";
    paths_.Get_WaterMark(l, 1, f);
    EXPECT_EQ(f, "[in]" + TitleLine(48, "内容：第1课：It‘s", 189, ",") +
                     TitleLine(48, "科目：数学 上册", 291, ",") +
                     TitleLine(48, "年级：三年级", 393, ",") +
                     TitleLine(48, "版本：人教版", 495, ",") +
                     TitleLine(48, "单位：实验小学", 597, ",") +
                     TitleLine(48, "教师：王老师", 699, "[out]"));

    TLessionInfo small = CardLesson();
    paths_.Get_WaterMark(small, 0, f);
    EXPECT_EQ(f, "[in]" + TitleLine(36, "内容：第1课：It‘s", 223, ",") +
                     TitleLine(36, "科目：数学 上册", 291, ",") +
                     TitleLine(36, "年级：三年级", 359, ",") +
                     TitleLine(36, "单位：实验小学", 427, ",") +
                     TitleLine(36, "教师：王老师", 495, "[out]"));
    small.version = "v2";
    paths_.Get_WaterMark(small, 0, f);
    EXPECT_NE(f.find(":text='内容：第1课：It‘s':x=160:y=155,"), std::string::npos);
    EXPECT_NE(f.find(":text='教师：王老师':x=160:y=495[out]"), std::string::npos);
}

TEST_F(LessionPathsTest, EmptyFieldsKeepTheirLabel) {
    TLessionInfo l;
    std::string f;
    paths_.Get_WaterMark(l, 0, f);
    EXPECT_EQ(f, "[in]" + TitleLine(36, "内容：", 223, ",") + TitleLine(36, "科目：", 291, ",") +
                     TitleLine(36, "年级：", 359, ",") + TitleLine(36, "单位：", 427, ",") +
                     TitleLine(36, "教师：", 495, "[out]"));
}

TEST_F(LessionPathsTest, TailCardForBothResolutions) {
    const TMakerInfo maker{"实验小学:电教室", "2026年12月9日"};
    std::string f;
    paths_.Get_WaterMark_backcover(maker, 1, f);
    EXPECT_EQ(f, "[in]drawtext=fontfile=sy.otf:fontcolor=white:fontsize=48:"
                 "text='录制时间：2026年12月9日':x=160:y=291,"
                 "drawtext=fontfile=sy.otf:fontcolor=white:fontsize=48:"
                 "text='制作单位：实验小学：电教室':x=160:y=393[out]");
    paths_.Get_WaterMark_backcover(maker, 0, f);
    EXPECT_EQ(f, "[in]drawtext=fontfile=sy.otf:fontcolor=white:fontsize=36:"
                 "text='录制时间：2026年12月9日':x=160:y=291,"
                 "drawtext=fontfile=sy.otf:fontcolor=white:fontsize=36:"
                 "text='制作单位：实验小学：电教室':x=160:y=359[out]");
}

TEST(Utf8, MalformedBytesBecomeReplacementCharacters) {
    EXPECT_EQ(Utf8ToCodePoints("a\xE4\xB8"), U"a\uFFFD\uFFFD");     // truncated
    EXPECT_EQ(Utf8ToCodePoints("\xC0\xAF/"), U"\uFFFD/");           // overlong '/'
    EXPECT_EQ(Utf8ToCodePoints("\xED\xA0\x80"), U"\uFFFD");         // surrogate
    EXPECT_EQ(Utf8ToCodePoints("\xF0\x9F\x93\x9A"), U"\U0001F4DA"); // 4-byte form
    EXPECT_EQ(CodePointsToUtf8(U"\U0001F4DA分"), "\xF0\x9F\x93\x9A分");
    EXPECT_EQ(CodePointsToUtf8(std::u32string(1, char32_t(0x110000))), "\xEF\xBF\xBD");
    // A sign after a broken sequence is still found and replaced.
    std::string s = "\xE4:";
    EXPECT_EQ(ToFullWidthSigns(s), 1);
    EXPECT_EQ(s, "\xEF\xBF\xBD：");
}

} // namespace
} // namespace tavrin
