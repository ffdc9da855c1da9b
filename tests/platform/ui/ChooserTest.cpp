// The lesson chooser over the schedule the platform simulator sends for a
// fixed platform date, with lesson folders on disk, clicked through the X
// server.
#include "base/GetLessionInfo.h"
#include "base/Message.h"
#include "base/ui/ImageButton.h"
#include "platform/ui/F_ChooseLession.h"
#include "platform/ui/LessonTable.h"
#include "platform/voServer.h"
#include "tests/base/TempDir.h"
#include "tests/support/PlatformSimSuite.h"
#include "tests/support/ui/GuiTestEnv.h"

#include <QApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <unistd.h>

namespace tavrin {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using test::TempDir;
using test::TXdo;
using test::WaitUntil;

json Lesson(int id, int day, const std::string& time, const std::string& teacher, int no) {
    return {{"ID", id},
            {"day", day},
            {"time", time},
            {"LessionNO", no},
            {"Subject", "数学"},
            {"Volume", "上册"},
            {"TeacherName", teacher},
            {"LessionName", "课" + std::to_string(id)},
            {"Grade", "九年级"},
            {"Version", "人教版"},
            {"SchoolName", "示范区第一中学"},
            {"allowLive", id % 2},
            {"allowUpload", 1}};
}

// The platform's date is Wednesday 2026-03-04; lessons lie days away from it.
std::string Accounts() {
    const json lessons = json::array({
        Lesson(801, -10, "08:00:00", "赵敏", 1), // 2026-02-22
        Lesson(802, -3, "08:30:00", "钱进", 2),  // Sunday 2026-03-01
        Lesson(803, -1, "09:00:00", "孙丽", 3),  // yesterday
        Lesson(804, 0, "09:40:00", "李建国", 2), // today
        Lesson(805, 1, "10:30:00", "张伟", 3),   // tomorrow
        Lesson(806, 5, "14:00:00", "周琳", 5),   // in 5 days
        Lesson(808, 7, "08:00:00", "吴磊", 1),   // in 7 days
        Lesson(807, 8, "15:10:00", "陈静", 6),   // in 8 days
    });
    const json account = {{"userID", 1001},
                          {"password", "demo1001"},
                          {"name", "王晓梅"},
                          {"areaName", "示范区教育局"},
                          {"lessons", lessons}};
    return json{{"version", "0.1.0.1"}, {"accounts", json::array({account})}}.dump();
}

class ChooserTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        suite_ = std::make_unique<test::TPlatformSimSuite>(
            Accounts(), std::vector<std::string>{"--today", "2026-03-04 10:15:00"});
    }
    static void TearDownTestSuite() { suite_.reset(); }
    void SetUp() override {
        ASSERT_GT(suite_->Port(), 0) << "platform-sim did not start";
        const TvoServerSetup setup = suite_->Setup(suite_->Port(), "0.1.0.1", false);
        server = std::make_unique<TvoServer>(setup);
        ASSERT_EQ(server->Login(1001, "demo1001"), 200);
        paths.initialize(root.Path(), "1001");
        paths.Get_UserDir(userDir);
        for (const char* folder : {"802", "804", "805", "12ab"}) {
            fs::create_directories(userDir + folder);
        }
        test::WriteFile(userDir + "806", "a file, not a lesson folder");
        // A recording with a few files and a sub-folder.
        test::WriteFile(userDir + "805/index.dat", "i");
        test::WriteFile(userDir + "805/av.dat", "a");
        fs::create_directories(userDir + "805/temp");
        test::WriteFile(userDir + "805/temp/1.aac", "x");
        chooser = std::make_unique<TF_ChooseLession>(*server, paths);
    }

    void Show(int32_t lesson) {
        chooser->initialize(lesson);
        chooser->open();
        ASSERT_TRUE(WaitUntil([&] { return chooser->isVisible(); }));
    }
    std::vector<int> ShownIDs() const {
        std::vector<int> ids;
        for (int r = 0; r < chooser->Model().rowCount(); ++r) {
            ids.push_back(chooser->Model().LessonAt(r)->LI.LessionID);
        }
        return ids;
    }
    QString Cell(int32_t lesson, int column) const {
        const int row = chooser->Model().RowOf(lesson);
        return chooser->Model().index(row, column).data().toString();
    }
    void Select(int32_t lesson) { chooser->List()->selectRow(chooser->Model().RowOf(lesson)); }

    TempDir root;
    TGetLessionInfo paths;
    std::string userDir;
    std::unique_ptr<TvoServer> server;
    std::unique_ptr<TF_ChooseLession> chooser;
    static std::unique_ptr<test::TPlatformSimSuite> suite_;
};

std::unique_ptr<test::TPlatformSimSuite> ChooserTest::suite_;

TEST_F(ChooserTest, ColumnsShowTheLessonAgainstThePlatformDate) {
    Show(-1);
    chooser->FilterButton(kFilterAll)->click();
    const QHeaderView* header = chooser->List()->horizontalHeader();
    const char* headers[] = {"教师",     "时间",       "距今",     "星期",       "节次",
                             "科目",     "年级",       "课名",     "学校",       "版本",
                             "课程编号", "本地有录像", "允许直播", "允许上传MP4"};
    const int widths[] = {120, 110, 40, 40, -1, 100, -1, 150, 180, 100, 60, 70, 70, 80};
    for (int c = 0; c < kLessonColumnCount; ++c) {
        EXPECT_EQ(chooser->Model().headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(),
                  QString::fromUtf8(headers[c]));
        EXPECT_EQ(header->sectionSize(c), widths[c] > 0 ? widths[c] : header->defaultSectionSize());
    }
    EXPECT_EQ(Cell(805, 2), "+1");
    EXPECT_EQ(Cell(804, 2), QStringLiteral("今日"));
    EXPECT_EQ(Cell(802, 2), "-3");
    EXPECT_EQ(Cell(802, 3), QStringLiteral("日"));
    EXPECT_EQ(Cell(804, 3), QStringLiteral("三"));
    EXPECT_EQ(Cell(804, 1), "09:40 2026-03-04");
    EXPECT_EQ(Cell(805, 1), "2026-03-05 10:30");
    EXPECT_EQ(Cell(804, 0), QStringLiteral("李建国"));
    EXPECT_EQ(Cell(804, 5), QStringLiteral("数学 上册"));
    EXPECT_EQ(Cell(804, 10), "804");
    EXPECT_EQ(Cell(805, 12), "Y");
    EXPECT_EQ(Cell(804, 12), "");

    const int row = chooser->Model().RowOf(804);
    const auto align = [&](int c) {
        return Qt::Alignment(chooser->Model().index(row, c).data(Qt::TextAlignmentRole).toInt()) &
               Qt::AlignHorizontal_Mask;
    };
    EXPECT_EQ(align(0), Qt::AlignLeft);
    EXPECT_EQ(align(1), Qt::AlignRight);
    EXPECT_EQ(align(4), Qt::AlignRight);
    EXPECT_EQ(align(7), Qt::AlignLeft);
    EXPECT_EQ(align(13), Qt::AlignRight);
    EXPECT_FALSE(test::SaveScreenshot(chooser.get(), "chooser").empty());
}

TEST_F(ChooserTest, EachDateFilterShowsItsLessonsAndCountsThem) {
    Show(-1);
    EXPECT_TRUE(chooser->FilterButton(kFilterToday)->isChecked());
    const std::pair<int, std::vector<int>> expected[] = {
        {kFilterBeforeAWeek, {801}}, {kFilterPastWeek, {802, 803}},
        {kFilterYesterday, {803}},   {kFilterToday, {804}},
        {kFilterTomorrow, {805}},    {kFilterNextWeek, {805, 806, 808}},
        {kFilterAfterAWeek, {807}},  {kFilterAll, {801, 802, 803, 804, 805, 806, 808, 807}},
    };
    TXdo xdo;
    for (const auto& [filter, ids] : expected) {
        SCOPED_TRACE(filter);
        ASSERT_TRUE(xdo.Click(chooser->FilterButton(filter)));
        ASSERT_TRUE(WaitUntil([&] { return chooser->nCurrentChoose == filter; }));
        EXPECT_EQ(ShownIDs(), ids);
        EXPECT_EQ(chooser->CountLabel()->text(), QStringLiteral("共 %1 节").arg(ids.size()));
    }
}

TEST_F(ChooserTest, OnlyNumberedFoldersAreLocalRecordingsAndOthersAreGrey) {
    Show(-1);
    EXPECT_EQ(chooser->aLessionID, (std::set<int32_t>{802, 804, 805}));
    chooser->FilterButton(kFilterAll)->click();
    const auto background = [&](int32_t lesson) {
        const int row = chooser->Model().RowOf(lesson);
        return chooser->Model().index(row, 0).data(Qt::BackgroundRole).value<QBrush>().color();
    };
    EXPECT_EQ(background(804), QColor(Qt::white));
    EXPECT_EQ(background(806), QColor(128, 128, 128));
    EXPECT_EQ(Cell(804, kColumnLocal), "Y");
    EXPECT_EQ(Cell(806, kColumnLocal), "");
}

TEST_F(ChooserTest, TheOpenLessonIsLocatedAndTheFilterKeptBetweenShowings) {
    Show(807);
    EXPECT_TRUE(chooser->LocateButton()->isVisible());
    EXPECT_TRUE(chooser->FilterButton(kFilterAfterAWeek)->isChecked());
    EXPECT_EQ(ShownIDs(), std::vector<int>{807});
    ASSERT_EQ(chooser->List()->selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(chooser->List()->selectionModel()->selectedRows().first().row(),
              chooser->Model().RowOf(807));
    EXPECT_EQ(chooser->focusWidget(), chooser->List());

    // Esc leaves without a choice; the next showing without an open lesson
    // keeps the filter.
    TXdo xdo;
    ASSERT_TRUE(xdo.Focus(chooser.get()));
    ASSERT_TRUE(xdo.Key("Escape"));
    ASSERT_TRUE(WaitUntil([&] { return !chooser->isVisible(); }));
    EXPECT_EQ(chooser->nCurrentMode, 0);
    Show(-1);
    EXPECT_FALSE(chooser->LocateButton()->isVisible());
    EXPECT_TRUE(chooser->FilterButton(kFilterAfterAWeek)->isChecked());
    EXPECT_EQ(ShownIDs(), std::vector<int>{807});
}

TEST_F(ChooserTest, RecordAndReplayNeedARowAndReturnTheLessonAndMode) {
    Show(-1);
    TMessageRecorder recorder;
    TXdo xdo;
    // Nothing selected: the message is modal, so the release only forgets the click.
    ASSERT_TRUE(xdo.Click(chooser->RecordButton()));
    ASSERT_TRUE(WaitUntil([&] { return !recorder.Messages().empty(); }));
    EXPECT_EQ(recorder.Messages()[0].text, "请高亮选择一节课");
    EXPECT_EQ(chooser->nCurrentClickImageTAGID, -1);
    EXPECT_TRUE(chooser->isVisible());

    chooser->FilterButton(kFilterAll)->click();
    Select(803);
    ASSERT_TRUE(xdo.Click(chooser->ReplayButton()));
    ASSERT_TRUE(WaitUntil([&] { return !chooser->isVisible(); }));
    EXPECT_EQ(chooser->nCurrentMode, 2);
    EXPECT_EQ(chooser->nCurrentLession, 803);
    ASSERT_NE(chooser->CurrentPvo, nullptr);
    EXPECT_EQ(chooser->CurrentPvo->LI.TeacherName, "孙丽");

    // A double-click on a row records it.
    Show(-1);
    EXPECT_EQ(chooser->nCurrentMode, 0);
    const int row = chooser->Model().RowOf(806);
    const QRect cell = chooser->List()->visualRect(chooser->Model().index(row, 0));
    ASSERT_TRUE(xdo.MoveTo(chooser->List()->viewport()->mapToGlobal(cell.center())));
    ASSERT_TRUE(xdo.Run({"click", "--repeat", "2", "--delay", "80", "1"}));
    ASSERT_TRUE(WaitUntil([&] { return !chooser->isVisible(); }));
    EXPECT_EQ(chooser->nCurrentMode, 1);
    EXPECT_EQ(chooser->nCurrentLession, 806);
}

TEST_F(ChooserTest, DeletingIsRefusedForTheOpenLessonAndGreyRows) {
    Show(804);
    chooser->FilterButton(kFilterAll)->click();
    TMessageRecorder recorder;
    chooser->List()->clearSelection();
    chooser->DeleteButton()->click();
    Select(804);
    chooser->DeleteButton()->click();
    Select(806);
    chooser->DeleteButton()->click();
    const auto shown = recorder.Messages();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].text, "请高亮选择一节白色的课程，白色表示有录像");
    EXPECT_EQ(shown[1].text, "无法删除当前正在使用的课程，请重新选择");
    EXPECT_EQ(shown[2].text, "当前课程未生成录像或已删除，请高亮选择白色的课程");
    for (const auto& m : shown) {
        EXPECT_EQ(m.icon, TMsgIcon::Information);
    }
    EXPECT_TRUE(fs::exists(userDir + "804"));
}

TEST_F(ChooserTest, DeletingAWhiteRowRemovesItsFolderAfterConfirmation) {
    Show(804);
    chooser->FilterButton(kFilterAll)->click();
    TMessageRecorder recorder;
    recorder.QueueAnswer(TMsgAnswer::Cancel);
    Select(805);
    chooser->DeleteButton()->click();
    EXPECT_TRUE(fs::exists(userDir + "805/av.dat"));

    recorder.QueueAnswer(TMsgAnswer::Ok);
    Select(805);
    chooser->DeleteButton()->click();
    const auto shown = recorder.Messages();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].text,
              "您选择了删除如下课程，请确认。\r\n\r\n【教师】：张伟\r\n【课名】：课805\r\n"
              "【开课时间】：2026-03-05 10:30\r\n\r\n"
              "注意；此操作将从硬盘彻底删除本课程录像资料，无法恢复！");
    EXPECT_EQ(shown[1].icon, TMsgIcon::Question);
    EXPECT_EQ(shown[1].buttons, TMsgButtons::OkCancel);
    EXPECT_FALSE(fs::exists(userDir + "805"));
    EXPECT_TRUE(fs::exists(userDir + "804"));
    EXPECT_EQ(chooser->aLessionID, (std::set<int32_t>{802, 804}));
    EXPECT_EQ(Cell(805, kColumnLocal), "");
    const int row = chooser->Model().RowOf(805);
    EXPECT_EQ(chooser->Model().index(row, 0).data(Qt::BackgroundRole).value<QBrush>().color(),
              QColor(128, 128, 128));
}

TEST(LessonFolderDeletion, LinksAreRemovedWithoutFollowingThem) {
    TempDir dir;
    const std::string outside = dir.File("outside");
    fs::create_directories(outside);
    test::WriteFile(outside + "/keep.txt", "k");
    const std::string lesson = dir.File("900");
    fs::create_directories(lesson + "/temp");
    test::WriteFile(lesson + "/temp/a.h264", "v");
    fs::create_directory_symlink(outside, lesson + "/link");
    TMessageRecorder recorder;
    DeleteLessonFolder(lesson + "/");
    EXPECT_FALSE(fs::exists(lesson));
    EXPECT_TRUE(fs::exists(outside + "/keep.txt"));
    EXPECT_TRUE(recorder.Messages().empty());
}

// Makes a file undeletable (immutable, or else its folder read-only, which
// holds for a user without the right to ignore that); false when this
// machine allows neither.
bool Pin(const std::string& file, bool pin) {
    const std::string folder = fs::path(file).parent_path().string();
    if (std::system(
            ("chattr " + std::string(pin ? "+i" : "-i") + " '" + file + "' 2>/dev/null").c_str()) ==
        0) {
        return true;
    }
    fs::permissions(folder,
                    pin ? fs::perms::owner_read | fs::perms::owner_exec : fs::perms::owner_all);
    return pin ? ::access(folder.c_str(), W_OK) != 0 : true;
}

TEST(LessonFolderDeletion, AFileThatCannotGoIsReportedAndTheRestIsDeleted) {
    TempDir dir;
    const std::string lesson = dir.File("900") + "/";
    fs::create_directories(lesson + "temp");
    fs::create_directories(lesson + "keep");
    test::WriteFile(lesson + "av.dat", "a");
    test::WriteFile(lesson + "temp/1.aac", "x");
    const std::string stuck = lesson + "keep/index.dat";
    test::WriteFile(stuck, "i");
    if (!Pin(stuck, true)) {
        Pin(stuck, false);
        GTEST_SKIP() << "no way to make a file undeletable here";
    }
    TMessageRecorder recorder;
    DeleteLessonFolder(lesson);
    Pin(stuck, false);

    const auto shown = recorder.Messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "无法删除此文件：" + lesson + "keep/index.dat" +
                                 "\n\r可能需要您手工删除，或者重启本软件或电脑，再试！");
    EXPECT_EQ(shown[0].icon, TMsgIcon::Warning);
    EXPECT_TRUE(fs::exists(stuck));
    EXPECT_FALSE(fs::exists(lesson + "av.dat"));
    EXPECT_FALSE(fs::exists(lesson + "temp"));
}

} // namespace
} // namespace tavrin
