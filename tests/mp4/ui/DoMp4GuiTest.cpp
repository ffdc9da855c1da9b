// The production dialog on real recorded stores: the real builder makes the
// MP4 with the cards typed into the dialog, ffprobe and ffmpeg read it back,
// and the upload goes to the media-server simulator.
#include "app/UploadTarget.h"
#include "base/Message.h"
#include "mp4/ui/DoMp4Setup.h"
#include "mp4/ui/F_DoMp4.h"
#include "output/MSProtocol.h"
#include "platform/Base64.h"
#include "platform/voServer.h"
#include "tests/base/TempDir.h"
#include "tests/mp4/LessonKit.h"
#include "tests/mp4/MediaServerSim.h"
#include "tests/support/TestMedia.h"
#include "tests/support/ui/GuiTestEnv.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace tavrin {
namespace {

namespace fs = std::filesystem;
using test::Pump;
using test::SaveScreenshot;
using test::TXdo;

constexpr int kLesson = 812;

// The event loop runs while waiting (the simulator's helper would block it).
bool Until(const std::function<bool()>& done, int timeoutMs = 60000) {
    return test::WaitUntil(done, timeoutMs);
}

template <typename W> W* Child(QWidget* dialog, const char* name) {
    W* w = dialog->findChild<W*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
}

std::string BinDir() {
    const char* dir = std::getenv("TAVRIN_BIN_DIR");
    return dir != nullptr ? dir : "";
}

// The luma plane of one picture as ffmpeg decodes or draws it.
std::vector<uint8_t> Luma(const std::string& command, const std::string& out) {
    EXPECT_TRUE(std::system(command.c_str()) == 0) << command;
    std::ifstream in(out, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Video picture n of an MP4, as luma and as a PNG to look at.
std::vector<uint8_t> DecodedPicture(const std::string& mp4, int n, const std::string& png,
                                    const std::string& raw) {
    const std::string select = "-vf \"select=eq(n\\," + std::to_string(n) + ")\" -frames:v 1";
    std::system(
        ("ffmpeg -nostdin -v error -y -i '" + mp4 + "' " + select + " '" + png + "'").c_str());
    return Luma("ffmpeg -nostdin -v error -y -i '" + mp4 + "' " + select +
                    " -f rawvideo -pix_fmt gray '" + raw + "'",
                raw);
}

// A card background with a filter string drawn by the ffmpeg command line in
// the program folder, where sy.otf lies.
std::vector<uint8_t> DrawnCard(const std::string& background, int w, int h,
                               const std::string& filter, const std::string& raw) {
    return Luma("cd '" + BinDir() +
                    "' && ffmpeg -nostdin -v error -y -f rawvideo -pix_fmt "
                    "yuv420p -s " +
                    std::to_string(w) + "x" + std::to_string(h) + " -i " + background +
                    ".yuv -vf \"" + filter + "\" -frames:v 1 -f rawvideo -pix_fmt gray '" + raw +
                    "'",
                raw);
}

double MeanDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    EXPECT_EQ(a.size(), b.size());
    const size_t n = std::min(a.size(), b.size());
    double sum = 0;
    for (size_t i = 0; i < n; ++i) {
        sum += std::abs(int(a[i]) - int(b[i]));
    }
    return n > 0 ? sum / double(n) : 1e9;
}

class DoMp4Gui : public ::testing::Test {
protected:
    void SetUp() override {
        paths.initialize(dir.Path(), "1001");
        vo.LessionID = kLesson;
        vo.LessionName = "认识钟表";
        vo.subject = "数学 上册";
        vo.TeacherName = "李老师";
        vo.grade = "一年级";
        vo.version = "人教版";
        vo.ShcoolName = "第一小学";
    }

    static TConvertMode Mode(int nMode, int w, int h) {
        TConvertMode m;
        m.nMode = nMode;
        m.nSrcW = 1280;
        m.nSrcH = 720;
        m.nW = w;
        m.nH = h;
        return m;
    }

    // The dialog as the main window hands it over, shown modal.
    void Open(const TConvertMode& mode, bool allowUpload, int port = 9,
              const std::string& token = "tok-812") {
        dialog = std::make_unique<TF_DoMp4>(paths);
        dialog->SetServerInfo("127.0.0.1", port, kLesson, 1, 1001, token, mode);
        dialog->SetAudioDelay(0);
        dialog->SetVOInfo(vo, QDate(2026, 12, 9), allowUpload);
        dialog->SetReplayRunning([this] { return replayRunning; });
        Show();
    }
    // xdotool's synchronous move waits for a motion that never comes when
    // the pointer is already there, so a second click on the same widget
    // starts from elsewhere.
    bool ClickAgain(QWidget* widget) {
        return xdo.MoveTo(widget->window()->mapToGlobal(QPoint(2, 2))) && xdo.Click(widget);
    }
    void Show() {
        dialog->open();
        ASSERT_TRUE(Until([&] { return dialog->isActiveWindow(); }, 10000));
        Pump(100);
    }
    void ShowPage(int page) {
        auto* tabs = Child<QTabWidget>(dialog.get(), "PC_Head");
        QTabBar* bar = tabs->tabBar();
        ASSERT_TRUE(xdo.MoveTo(bar->mapToGlobal(bar->tabRect(page).center())));
        ASSERT_TRUE(xdo.MouseDown());
        ASSERT_TRUE(xdo.MouseUp());
        ASSERT_TRUE(Until([&] { return tabs->currentIndex() == page; }, 10000));
    }
    // Presses "生成" and waits for the dialog to close by itself.
    void BuildUntilClosed() {
        ASSERT_TRUE(xdo.Click(Child<QWidget>(dialog.get(), "btn_start")));
        ASSERT_TRUE(Until([&] { return dialog->State() != 0 || !dialog->isVisible(); }, 10000));
        ASSERT_TRUE(Until([&] { return !dialog->isVisible(); }, 120000))
            << "still open in state " << dialog->State();
    }
    void CheckUpload() {
        auto* upload = Child<QCheckBox>(dialog.get(), "ck_upload");
        ASSERT_TRUE(upload->isVisible());
        ASSERT_TRUE(xdo.Click(upload));
        ASSERT_TRUE(Until([&] { return upload->isChecked(); }, 10000));
    }
    std::string TempFile(bool aac) const {
        std::string s;
        aac ? paths.Get_AACFile(kLesson, s) : paths.Get_H264File(kLesson, s);
        return s;
    }
    std::string OutputDir() const {
        std::string s;
        paths.Get_OutputDir(kLesson, s);
        return s;
    }
    size_t Mp4Packets(const std::string& mp4) const {
        return test::ProbePackets(mp4, "v").size() + test::ProbePackets(mp4, "a").size();
    }

    test::TempDir dir;
    TGetLessionInfo paths;
    TLessionInfo vo;
    TMessageRecorder messages;
    test::TShellOpenRecorder opened;
    TXdo xdo;
    bool replayRunning = true;
    std::unique_ptr<TF_DoMp4> dialog;
};

TEST_F(DoMp4Gui, StandardCardsCarryTheTypedTexts) {
    const auto lesson = test::WriteMediaLesson(paths, kLesson, 1280, 720, 2);
    Open(Mode(0, 1280, 720), false);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("生成MP4"));
    EXPECT_FALSE(Child<QCheckBox>(dialog.get(), "ck_upload")->isVisible());
    EXPECT_TRUE(Child<QLineEdit>(dialog.get(), "ed_content")->isReadOnly());
    EXPECT_EQ(Child<QLineEdit>(dialog.get(), "ed_maker")->text(), QStringLiteral("Orvell"));
    EXPECT_EQ(Child<QDateEdit>(dialog.get(), "dt_record")->date(), QDate(2026, 12, 9));
    auto* head = Child<QComboBox>(dialog.get(), "cb_head");
    EXPECT_EQ(head->count(), 16);
    EXPECT_EQ(head->currentText(), QStringLiteral("5 教育部录课标准"));

    // The operator types over the lesson's texts; the maker through the keyboard.
    Child<QLineEdit>(dialog.get(), "ed_subject")->setText(QStringLiteral("物理 下册"));
    Child<QLineEdit>(dialog.get(), "ed_teacher")->setText(QStringLiteral("王晓梅"));
    Child<QLineEdit>(dialog.get(), "ed_version")->clear();
    auto* maker = Child<QLineEdit>(dialog.get(), "ed_maker");
    ASSERT_TRUE(xdo.Click(maker));
    ASSERT_TRUE(xdo.Key("ctrl+a"));
    ASSERT_TRUE(xdo.Type("Studio 7"));
    ASSERT_TRUE(Until([&] { return maker->text() == "Studio 7"; }, 10000));
    head->setCurrentIndex(1);
    Child<QComboBox>(dialog.get(), "cb_tail")->setCurrentIndex(1);
    SaveScreenshot(dialog.get(), "domp4-standard");

    BuildUntilClosed();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_TRUE(messages.Messages().empty());
    const std::string mp4 = dialog->Mp4FileName();
    EXPECT_EQ(mp4, OutputDir() + "王晓梅-认识钟表-812.mp4");
    ASSERT_TRUE(fs::exists(mp4));
    ASSERT_EQ(opened.Opened().size(), 1u);
    EXPECT_TRUE(fs::equivalent(opened.Opened()[0], OutputDir())) << "the folder is shown";
    // One second of card each side: 43 silent audio frames and 23 pictures.
    const int videoCount = int(test::ProbePackets(mp4, "v").size());
    EXPECT_EQ(videoCount, lesson.VideoCount() + 2 * 23);
    EXPECT_EQ(int(test::ProbePackets(mp4, "a").size()), lesson.AudioCount() + 2 * 43);

    // The pictures of the cards are the backgrounds with the typed texts.
    TLessionInfo typed = vo;
    typed.subject = "物理 下册";
    typed.TeacherName = "王晓梅";
    typed.version = "";
    std::string typedTitle;
    std::string lessonTitle;
    paths.Get_WaterMark(typed, 0, typedTitle);
    TLessionInfo original = vo;
    paths.Get_WaterMark(original, 0, lessonTitle);
    const std::string out = test::TestOutputDir();
    const auto title = DecodedPicture(mp4, 0, out + "/domp4-title-card.png", dir.File("t.y"));
    const double toTyped =
        MeanDifference(title, DrawnCard("coverYUV_720", 1280, 720, typedTitle, dir.File("a.y")));
    const double toLesson =
        MeanDifference(title, DrawnCard("coverYUV_720", 1280, 720, lessonTitle, dir.File("b.y")));
    EXPECT_LT(toTyped * 3, toLesson) << toTyped << " vs " << toLesson;

    std::string typedTail;
    std::string defaultTail;
    paths.Get_WaterMark_backcover({"Studio 7", "2026年12月9日"}, 0, typedTail);
    paths.Get_WaterMark_backcover({"Orvell", "2026年1月1日"}, 0, defaultTail);
    const auto tail =
        DecodedPicture(mp4, videoCount - 1, out + "/domp4-tail-card.png", dir.File("e.y"));
    const double tailTyped =
        MeanDifference(tail, DrawnCard("backcoverYUV_720", 1280, 720, typedTail, dir.File("c.y")));
    const double tailDefault = MeanDifference(
        tail, DrawnCard("backcoverYUV_720", 1280, 720, defaultTail, dir.File("d.y")));
    EXPECT_LT(tailTyped * 3, tailDefault) << tailTyped << " vs " << tailDefault;
    EXPECT_FALSE(fs::exists(TempFile(true)));
    EXPECT_FALSE(fs::exists(TempFile(false)));
}

TEST_F(DoMp4Gui, CardsOnlyChoiceNeedsFullHdPicturesAndMakesFullHdCards) {
    test::WriteMediaLesson(paths, kLesson, 1280, 720, 1);
    const std::string big = dir.File("big.jpg");
    const std::string small = dir.File("small.jpg");
    ASSERT_TRUE(test::Run("ffmpeg -nostdin -v error -y -f lavfi -i color=c=0x2255aa:s=1920x1080 "
                          "-frames:v 1 '" +
                          big + "'"));
    ASSERT_TRUE(test::Run("ffmpeg -nostdin -v error -y -f lavfi -i color=c=0xaa5522:s=1280x720 "
                          "-frames:v 1 '" +
                          small + "'"));
    Open(Mode(1, 1920, 1080), false);
    std::deque<std::string> picks{big, small, dir.File("none.jpg")};
    dialog->SetImagePicker([&picks](QWidget*) {
        const std::string file = picks.front();
        picks.pop_front();
        return QString::fromStdString(file);
    });
    ShowPage(kImageCards);
    EXPECT_EQ(Child<QLabel>(dialog.get(), "lab_pix")->text(),
              QStringLiteral("注意：本课程只可使用分辨率为 1920x1080 的图片！"));
    auto* load = Child<QWidget>(dialog.get(), "btn_loadHead");
    auto* shown = Child<QLabel>(dialog.get(), "lab_headImage");
    ASSERT_TRUE(xdo.Click(load));
    ASSERT_TRUE(Until([&] { return !shown->text().isEmpty(); }, 10000));
    EXPECT_EQ(shown->text().toStdString(), big);
    for (int refused = 1; refused <= 2; ++refused) {
        ASSERT_TRUE(ClickAgain(load));
        ASSERT_TRUE(Until([&] { return messages.Messages().size() == size_t(refused); }, 10000));
    }
    const auto shownMessages = messages.Messages();
    EXPECT_EQ(shownMessages[0].text, "此图片分辨率不适合，需要 1920x1080 分辨率");
    EXPECT_EQ(shownMessages[0].icon, TMsgIcon::Warning);
    EXPECT_EQ(shownMessages[1].text, "此图片打不开");
    EXPECT_EQ(shown->text().toStdString(), big) << "a refused picture keeps the previous one";
    Child<QComboBox>(dialog.get(), "cb_imageHead")->setCurrentIndex(1);
    Child<QComboBox>(dialog.get(), "cb_imageTail")->setCurrentIndex(0);
    SaveScreenshot(dialog.get(), "domp4-image-cards");

    BuildUntilClosed();
    const auto sizes = test::ProbeFrameSizes(dialog->Mp4FileName());
    ASSERT_EQ(sizes.size(), 23u + 25u);
    for (size_t i = 0; i < sizes.size(); ++i) {
        EXPECT_EQ(sizes[i], i < 23 ? "1920x1080" : "1280x720") << i;
    }
}

std::string LoginAnswer(int port) {
    nlohmann::json lesson{{"ID", kLesson},
                          {"LessionTime", "2026-11-27 08:30:00"},
                          {"Subject", Base64Encode("数学")},
                          {"Volume", Base64Encode("上册")},
                          {"TeacherName", Base64Encode("李老师")},
                          {"LessionName", Base64Encode("认识钟表")},
                          {"allowUpload", 1},
                          {"liveToken", "secret-812"}};
    return nlohmann::json{{"resultCode", "200"},
                          {"version", "0.0.0.0"},
                          {"serverIp", "127.0.0.1"},
                          {"serverPort", port},
                          {"data", nlohmann::json::array({lesson})}}
        .dump();
}

TEST_F(DoMp4Gui, UploadsToThePlatformsMediaServerWhenAsked) {
    test::WriteMediaLesson(paths, kLesson, 1280, 720, 2);
    test::TMediaServerSim sim(dir.File("sim"));
    ASSERT_GT(sim.Port(), 0);
    TvoServerSetup setup;
    setup.sOwnVersion = "0.0.0.0";
    TvoServer server(setup);
    ASSERT_EQ(server.ReadLoginAnswer(LoginAnswer(sim.Port())), 200);

    dialog = std::make_unique<TF_DoMp4>(paths);
    ASSERT_EQ(
        SetPlatformInfo(*dialog, UploadTargetOf(server, vo.LessionID), vo, Mode(0, 1280, 720)), 0);
    dialog->SetReplayRunning([] { return true; });
    Show();
    EXPECT_EQ(Child<QDateEdit>(dialog.get(), "dt_record")->date(), QDate(2026, 11, 27));
    CheckUpload();
    ShowPage(kNoCards);
    SaveScreenshot(dialog.get(), "domp4-upload");
    BuildUntilClosed();

    const auto shown = messages.Messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "成功！课程已上传至平台");
    EXPECT_EQ(shown[0].icon, TMsgIcon::Information);
    EXPECT_EQ(Child<QProgressBar>(dialog.get(), "bar")->value(), 100);
    const std::string mp4 = dialog->Mp4FileName();
    EXPECT_EQ(sim.Frames().size(), Mp4Packets(mp4)) << "every frame of the MP4 arrived";
    std::array<uint8_t, kMSLoginSize> login{};
    ASSERT_TRUE(MakeLoginMessage(login, kLesson, 0, "secret-812", 1));
    std::string hex;
    for (uint8_t b : login) {
        static const char digits[] = "0123456789abcdef";
        hex += digits[b >> 4];
        hex += digits[b & 15];
    }
    EXPECT_EQ(sim.Events().at(1), "login " + hex) << "the lesson's live, token and type 1";
}

TEST_F(DoMp4Gui, RefusalsOfTheMediaServerAreShownWithTheirTexts) {
    test::WriteMediaLesson(paths, kLesson, 1280, 720, 2);
    const struct {
        std::vector<std::string> simArgs;
        const char* text;
    } cases[] = {
        // A login answered 201 ends as a dropped connection once the socket is closed.
        {{"--login-status", "201"}, "课程上传失败，与平台连接中断"},
        {{"--end-status", "404"}, "平台认为结尾不合法，连接中断"},
        {{"--drop-after-frames", "40"}, "课程上传失败，与平台连接中断"},
        {{"--login-status", "700"}, "课程上传失败，平台已存在此课程生成的MP4"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        test::TempDir log;
        test::TMediaServerSim sim(log.Path(), c.simArgs);
        ASSERT_GT(sim.Port(), 0);
        const size_t before = messages.Messages().size();
        Open(Mode(0, 1280, 720), true, sim.Port());
        CheckUpload();
        ShowPage(kNoCards);
        BuildUntilClosed();
        const auto shown = messages.Messages();
        ASSERT_EQ(shown.size(), before + 1);
        EXPECT_EQ(shown.back().text, c.text);
        EXPECT_EQ(shown.back().icon, TMsgIcon::Error);
    }
}

TEST_F(DoMp4Gui, UploadThatCannotStartSaysSoAndKeepsTheMp4) {
    test::WriteMediaLesson(paths, kLesson, 1280, 720, 1);
    Open(Mode(0, 1280, 720), true, 9, std::string(101, 't'));
    CheckUpload();
    ShowPage(kNoCards);
    BuildUntilClosed();
    const auto shown = messages.Messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "课程上传失败，本课程的上传令牌不合法");
    EXPECT_EQ(shown[0].icon, TMsgIcon::Error);
    EXPECT_TRUE(fs::exists(dialog->Mp4FileName()));
}

TEST_F(DoMp4Gui, ClosingMidBuildStopsTheBuilderAndLeavesNoFiles) {
    test::WriteMediaLesson(paths, kLesson, 1280, 720, 3);
    // Re-encoding to 1080 behind long cards keeps the builder busy for a while.
    TConvertMode mode = Mode(2, 1920, 1080);
    Open(mode, false);
    Child<QComboBox>(dialog.get(), "cb_head")->setCurrentIndex(15);
    Child<QComboBox>(dialog.get(), "cb_tail")->setCurrentIndex(15);
    ASSERT_TRUE(xdo.Click(Child<QWidget>(dialog.get(), "btn_start")));
    auto* bar = Child<QProgressBar>(dialog.get(), "bar");
    ASSERT_TRUE(Until([&] { return dialog->State() == 1 && bar->value() > 0; }));
    EXPECT_FALSE(Child<QWidget>(dialog.get(), "btn_start")->isEnabled());
    SaveScreenshot(dialog.get(), "domp4-building");
    ASSERT_TRUE(xdo.Key("Escape"));
    ASSERT_TRUE(Until([&] { return !dialog->isVisible(); }, 30000));
    EXPECT_EQ(dialog->State(), 0);
    std::vector<std::string> left;
    for (const auto& entry : fs::recursive_directory_iterator(OutputDir())) {
        left.push_back(entry.path().string());
    }
    EXPECT_TRUE(left.empty()) << left.front();
    EXPECT_FALSE(fs::exists(TempFile(true)));
    EXPECT_FALSE(fs::exists(TempFile(false)));
    EXPECT_TRUE(messages.Messages().empty());
}

TEST_F(DoMp4Gui, ClosingMidUploadEndsTheUpload) {
    test::WriteMediaLesson(paths, kLesson, 1280, 720, 1);
    // A server that never answers the end keeps the upload waiting.
    test::TMediaServerSim sim(dir.File("sim"), {"--end-status", "-1", "--keep-open-after-end"});
    ASSERT_GT(sim.Port(), 0);
    Open(Mode(0, 1280, 720), true, sim.Port());
    CheckUpload();
    ShowPage(kNoCards);
    ASSERT_TRUE(xdo.Click(Child<QWidget>(dialog.get(), "btn_start")));
    ASSERT_TRUE(Until([&] { return sim.CountEvents("end") == 1; }));
    Pump(300);
    ASSERT_EQ(dialog->State(), 2) << (messages.Messages().empty() ? ""
                                                                  : messages.Messages()[0].text);
    EXPECT_EQ(sim.CountEvents("closed"), 0u);
    ASSERT_TRUE(xdo.Key("Escape"));
    ASSERT_TRUE(Until([&] { return !dialog->isVisible(); }, 10000));
    EXPECT_TRUE(Until([&] { return sim.CountEvents("closed") == 1; }, 10000))
        << "the connection is closed with the dialog";
    EXPECT_TRUE(messages.Messages().empty());
}

TEST_F(DoMp4Gui, NothingStartsWithoutReplayOrWithoutAStore) {
    Open(Mode(0, 1280, 720), false);
    replayRunning = false;
    auto* start = Child<QWidget>(dialog.get(), "btn_start");
    ASSERT_TRUE(xdo.Click(start));
    Pump(300);
    EXPECT_EQ(dialog->State(), 0);
    EXPECT_TRUE(messages.Messages().empty());

    replayRunning = true; // but lesson 812 was never recorded
    ASSERT_TRUE(ClickAgain(start));
    ASSERT_TRUE(Until([&] { return !messages.Messages().empty(); }, 10000));
    EXPECT_EQ(messages.Messages()[0].text, "读取录像源文件失败，无法生成MP4文件。");
    EXPECT_EQ(messages.Messages()[0].icon, TMsgIcon::Error);
    EXPECT_EQ(dialog->State(), 0);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(start->isEnabled());
}

} // namespace
} // namespace tavrin
