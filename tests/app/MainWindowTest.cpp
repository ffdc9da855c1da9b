// The console window on a private X server, driven through the X server with
// xdotool: live previews from an MP4, the virtual camera and a simulated
// phone; selecting, the channel menu, enlarging, cut rectangles, recording,
// replay with delete marks, and back to capture with the same channels.
#include "app/DispPanel.h"
#include "app/FMain.h"
#include "app/SavedConnections.h"
#include "app/WindowTexts.h"
#include "base/IniFile.h"
#include "base/Message.h"
#include "base/Settings.h"
#include "base/ui/FConfig.h"
#include "base/ui/F_progress.h"
#include "base/ui/ImageButton.h"
#include "compose/LayoutProject.h"
#include "compose/ScreenLayout.h"
#include "compose/editor/EditorHost.h"
#include "compose/editor/F_EditProject.h"
#include "compose/editor/FilePickers.h"
#include "compose/editor/PlanEditorLauncher.h"
#include "output/ReadAV.h"
#include "output/SaveAV.h"
#include "sources/CManager.h"
#include "sources/ClientThread.h"
#include "sources/ui/F_CHConfig.h"
#include "sources/ui/F_Mp4Adjust.h"
#include "tests/app/ConsoleWindowTest.h"
#include "tests/app/WindowTestSupport.h"
#include "tests/base/TempDir.h"
#include "tests/sources/PhoneSim.h"
#include "tests/support/NginxRtmp.h"
#include "tests/support/ScenarioSteps.h"
#include "tests/support/TestMedia.h"
#include "tests/support/ui/GuiTestEnv.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QGuiApplication>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavrin {
namespace {

using test::Output;
using test::Pump;
using test::SaveScreen;
using test::TempDir;
using test::TRoomyDrives;
using test::TXdo;
using test::WaitUntil;

constexpr int32_t kLesson = 101;

class MainWindowTest : public test::TConsoleWindowTest {
protected:
    void SetUp() override {
        TConsoleWindowTest::SetUp();
        ::setenv("TAVRIN_VIRTUAL_DEVICES", "1", 1);
        lesson_.LessionID = kLesson;
        lesson_.TeacherName = "王老师";
        lesson_.LessionName = "认识分数";
    }

    // The chooser also notes which bar button shows pressed while it is open.
    int Choose(int32_t current) override {
        clickTagInChooser_ = win_ ? test::PressedButtonTag(win_.get()) : -2;
        return TConsoleWindowTest::Choose(current);
    }

    // Opens the main menu with its button and clicks the item caption.
    void ClickMenuItem(const QString& caption) {
        ClickButton(TBar::Capture, 66);
        ASSERT_TRUE(WaitUntil([&] { return test::OpenMenu() != nullptr; }));
        QMenu* menu = test::OpenMenu();
        QAction* item = nullptr;
        for (QAction* a : menu->actions()) {
            item = a->text() == caption ? a : item;
        }
        ASSERT_NE(item, nullptr) << caption.toStdString();
        ASSERT_TRUE(xdo_.MoveTo(menu->mapToGlobal(menu->actionGeometry(item).center())));
        ASSERT_TRUE(xdo_.Run({"click", "1"}));
    }

    // Opens the channel menu of a pane with the right button and clicks the
    // item whose caption starts with the given text.
    void ClickChannelMenuItem(int ch, const QString& caption) {
        ASSERT_TRUE(xdo_.MoveTo(At(test::PaneOf(win_.get(), ch), 0.5, 0.5)));
        ASSERT_TRUE(xdo_.Run({"click", "3"}));
        ASSERT_TRUE(WaitUntil([&] { return test::OpenMenu() != nullptr; }));
        QMenu* menu = test::OpenMenu();
        QAction* item = nullptr;
        QStringList captions;
        for (QAction* a : menu->actions()) {
            captions << a->text();
            item = item == nullptr && a->text().startsWith(caption) ? a : item;
        }
        ASSERT_NE(item, nullptr) << captions.join('|').toStdString();
        ASSERT_TRUE(xdo_.MoveTo(menu->mapToGlobal(menu->actionGeometry(item).center())));
        ASSERT_TRUE(xdo_.Run({"click", "1"}));
    }

    QPoint At(QWidget* w, double fx, double fy) const {
        return w->mapToGlobal(QPoint(int(w->width() * fx), int(w->height() * fy)));
    }

    // Pictures arrived on the channel since the last look.
    bool ShowsVideo(int ch) {
        uint32_t v = 0;
        uint32_t a = 0;
        int type = 0;
        bool videoOK = false;
        bool audioOK = false;
        return Manager().GetAVCounterThisperiod(ch, v, a, type, videoOK, audioOK) > 0 && videoOK;
    }
    bool AllLive() {
        bool live[4] = {};
        return WaitUntil(
            [&] {
                for (int ch = 1; ch <= 3; ++ch) {
                    live[ch] = live[ch] || ShowsVideo(ch);
                }
                return live[1] && live[2] && live[3];
            },
            20000);
    }

    void ClickButton(TBar bar, int tag) {
        TImageButton* b = test::BarButton(win_.get(), bar, tag);
        ASSERT_NE(b, nullptr);
        // xdotool's synchronous move waits for motion, so the pointer never
        // goes to the very spot it already is at.
        jitter_ = !jitter_;
        ASSERT_TRUE(xdo_.MoveTo(At(b, jitter_ ? 0.45 : 0.55, 0.5)));
        ASSERT_TRUE(xdo_.Run({"click", "1"}));
    }

    std::string Shot(const std::string& name) {
        Pump(300);
        const std::string path = SaveScreen(name);
        EXPECT_FALSE(path.empty()) << name;
        return path;
    }

    int clickTagInChooser_ = -2;
    bool jitter_ = false;
};

TEST_F(MainWindowTest, LiveSourcesRecordReplayCutAndBackWithRealInput) {
    test::TScenarioSteps steps;
    const std::string movie = dir_.File("movie.mp4");
    ASSERT_TRUE(
        test::Run("ffmpeg -loglevel error -f lavfi -i testsrc2=size=640x360:rate=25 -f lavfi "
                  "-i sine=frequency=440:sample_rate=48000 -t 6 -c:v libx264 -g 25 "
                  "-pix_fmt yuv420p -c:a aac -ac 2 -y " +
                  movie));
    // An address of its own, so other test programs' phones never clash.
    const std::string phoneIP = "127.20." + std::to_string(getpid() % 250 + 1) + ".2";
    test::TPhoneSim phone(phoneIP);
    ASSERT_TRUE(phone.Ready());

    TAVRIN_STEP(steps, "capture opens with its bar and the panes on the grid");
    TMessageRecorder messages;
    Open(kModeCapture);
    ASSERT_EQ(win_->CurrentWorkMode(), kModeCapture);
    EXPECT_EQ(win_->windowTitle().toStdString(), "Tavrin    王老师     认识分数");
    EXPECT_TRUE(test::Bar(win_.get(), TBar::Capture)->isVisible());
    EXPECT_FALSE(test::Bar(win_.get(), TBar::Replay)->isVisible());
    // The panes sit where the grid puts them.
    for (int i = 0; i <= 3; ++i) {
        const TPaneRect r = test::GridOf(win_.get()).panes[size_t(i)];
        EXPECT_EQ(test::PaneOf(win_.get(), i)->geometry(), QRect(r.x, r.y, r.w, r.h)) << i;
    }

    TAVRIN_STEP(steps, "three live sources");
    Manager().ConnectThis(movie, 1, kDeviceMp4);
    Manager().SetCycle(1, true);
    Manager().ConnectThis("Virtual Camera|Virtual Microphone", 2, kDeviceCamera);
    Manager().ConnectThis(phoneIP, 3, kDevicePhone);
    ASSERT_TRUE(AllLive());
    Shot("01-live-grid");

    TAVRIN_STEP(steps, "a click selects a pane");
    // A click selects the pane and makes its channel the most recent.
    ASSERT_TRUE(xdo_.Click(test::PaneOf(win_.get(), 2)));
    ASSERT_TRUE(WaitUntil([&] { return win_->Capture()->CurrentPort() == 2; }));
    EXPECT_EQ(win_->Capture()->ClickHistory().Ports()[0], 2);
    Shot("02-pane2-selected");

    TAVRIN_STEP(steps, "the channel window follows the selection");
    // The connection window opens for the selected channel and follows the
    // selection while it is open.
    ClickButton(TBar::Capture, 54);
    ASSERT_TRUE(WaitUntil([&] { return test::ChannelDialogOf(win_.get())->isVisible(); }));
    EXPECT_EQ(test::ChannelDialogOf(win_.get())->nCH, 2);
    Shot("02b-channel-window");
    ASSERT_TRUE(xdo_.MoveTo(At(test::PaneOf(win_.get(), 1), 0.3, 0.2))); // clear of the window
    ASSERT_TRUE(xdo_.Run({"click", "1"}));
    ASSERT_TRUE(WaitUntil([&] { return test::ChannelDialogOf(win_.get())->nCH == 1; }));
    test::ChannelDialogOf(win_.get())->close();
    ASSERT_TRUE(xdo_.Click(test::PaneOf(win_.get(), 2)));
    ASSERT_TRUE(WaitUntil([&] { return win_->Capture()->CurrentPort() == 2; }));

    TAVRIN_STEP(steps, "the two-video layout");
    // The two-video button combines the two most recent channels.
    ClickButton(TBar::Capture, 2);
    std::vector<int32_t> programme;
    ASSERT_TRUE(WaitUntil([&] {
        Manager().GetCombinePorts(programme);
        return programme == std::vector<int32_t>{1, 2};
    }));

    TAVRIN_STEP(steps, "the channel menu sets the sound channel");
    // Right button on channel 3: its menu, and "设为录音通道" makes it the
    // programme's sound.
    ASSERT_TRUE(xdo_.MoveTo(At(test::PaneOf(win_.get(), 3), 0.5, 0.5)));
    ASSERT_TRUE(xdo_.Run({"click", "3"}));
    ASSERT_TRUE(WaitUntil([&] { return test::OpenMenu() != nullptr; }));
    QMenu* menu = test::OpenMenu();
    QAction* audio = nullptr;
    QStringList captions;
    for (QAction* a : menu->actions()) {
        captions << a->text();
        if (a->text() == "设为录音通道") {
            audio = a;
        }
    }
    EXPECT_TRUE(captions.contains("全画面不剪切"));
    EXPECT_TRUE(captions.contains("清除本通道连接信息"));
    ASSERT_NE(audio, nullptr) << captions.join('|').toStdString();
    Shot("03-channel-menu");
    ASSERT_TRUE(xdo_.MoveTo(menu->mapToGlobal(menu->actionGeometry(audio).center())));
    ASSERT_TRUE(xdo_.Run({"click", "1"}));
    ASSERT_TRUE(WaitUntil([&] { return Manager().MainAudioChannel() == 3; }));
    EXPECT_EQ(win_->Capture()->CurrentPort(), 3u);

    TAVRIN_STEP(steps, "the programme pane has no menu");
    // The programme pane has no menu.
    ASSERT_TRUE(xdo_.MoveTo(At(test::PaneOf(win_.get(), 0), 0.5, 0.5)));
    ASSERT_TRUE(xdo_.Run({"click", "3"}));
    Pump(400);
    EXPECT_EQ(test::OpenMenu(), nullptr);
    EXPECT_EQ(win_->Capture()->CurrentPort(), 0u);

    TAVRIN_STEP(steps, "a double-click enlarges a pane and back");
    // Double-click enlarges a pane over the programme region and back.
    ASSERT_TRUE(xdo_.Click(test::PaneOf(win_.get(), 1), 1, 2));
    ASSERT_TRUE(WaitUntil([&] { return win_->Capture()->DispMode() == 1; }));
    const TPaneRect one = test::GridOf(win_.get()).DispOne;
    EXPECT_EQ(test::PaneOf(win_.get(), 1)->geometry(), QRect(one.x, one.y, one.w, one.h));
    EXPECT_FALSE(test::PaneOf(win_.get(), 2)->isVisible());
    Shot("04-enlarged");
    ASSERT_TRUE(xdo_.Click(test::PaneOf(win_.get(), 1), 1, 2));
    ASSERT_TRUE(WaitUntil([&] { return win_->Capture()->DispMode() == 0; }));
    const TPaneRect back = test::GridOf(win_.get()).panes[1];
    EXPECT_EQ(test::PaneOf(win_.get(), 1)->geometry(), QRect(back.x, back.y, back.w, back.h));
    EXPECT_TRUE(test::PaneOf(win_.get(), 2)->isVisible());

    TAVRIN_STEP(steps, "cut and trial rectangles");
    // A drag without Ctrl cuts at once; with Ctrl it stays a trial rectangle.
    ASSERT_TRUE(xdo_.MoveTo(At(test::PaneOf(win_.get(), 2), 0.2, 0.2)));
    ASSERT_TRUE(xdo_.MouseDown());
    ASSERT_TRUE(xdo_.MoveTo(At(test::PaneOf(win_.get(), 2), 0.5, 0.4)));
    ASSERT_TRUE(xdo_.MoveTo(At(test::PaneOf(win_.get(), 2), 0.8, 0.7)));
    ASSERT_TRUE(xdo_.MouseUp());
    ASSERT_TRUE(WaitUntil([&] { return Manager().GetIfInCut(2); }));
    Manager().SetInCut(2, false);
    ASSERT_TRUE(xdo_.MoveTo(At(test::PaneOf(win_.get(), 3), 0.1, 0.1)));
    ASSERT_TRUE(xdo_.Run({"keydown", "ctrl"}));
    ASSERT_TRUE(xdo_.MouseDown());
    ASSERT_TRUE(xdo_.MoveTo(At(test::PaneOf(win_.get(), 3), 0.4, 0.4)));
    ASSERT_TRUE(xdo_.MoveTo(At(test::PaneOf(win_.get(), 3), 0.6, 0.6)));
    Shot("05-ctrl-drag");
    ASSERT_TRUE(xdo_.MouseUp());
    TestRect shown{};
    TestRect adjusted{};
    ASSERT_TRUE(WaitUntil([&] { return Manager().Worker(3)->GetTestRect(shown, adjusted); }));
    EXPECT_FALSE(Manager().GetIfInCut(3));
    ASSERT_TRUE(xdo_.Run({"keyup", "ctrl"}));
    TAVRIN_STEP(steps, "a slip of a drag cuts nothing");
    // A slip of a drag (under 100 per mille both ways) cuts nothing.
    ASSERT_TRUE(xdo_.MoveTo(At(test::PaneOf(win_.get(), 1), 0.5, 0.5)));
    ASSERT_TRUE(xdo_.MouseDown());
    ASSERT_TRUE(xdo_.MoveTo(At(test::PaneOf(win_.get(), 1), 0.53, 0.53)));
    ASSERT_TRUE(xdo_.MouseUp());
    Pump(300);
    EXPECT_FALSE(Manager().GetIfInCut(1));
    // ... and leaves no trial rectangle that a Ctrl release could make real.
    if (Manager().Worker(1)->GetTestRect(shown, adjusted)) {
        EXPECT_EQ(shown.xEnd - shown.xStart, 0);
    }

    TAVRIN_STEP(steps, "recording");
    // Recording through the record button.
    ClickButton(TBar::Capture, 4);
    ASSERT_TRUE(WaitUntil([&] { return win_->Capture()->Recording(); }));
    EXPECT_TRUE(test::BarButton(win_.get(), TBar::Capture, 4)->Running());
    int seconds = 0;
    int mbytes = 0;
    ASSERT_TRUE(WaitUntil(
        [&] { return win_->Capture()->Session().RecordTotals(seconds, mbytes) && seconds >= 4; },
        30000));
    Shot("06-recording");
    ClickButton(TBar::Capture, 4);
    ASSERT_TRUE(WaitUntil([&] { return !win_->Capture()->Recording(); }));

    TAVRIN_STEP(steps, "MP4 looping off through its position window");
    // Looping of the MP4 switched off in its position window, through the
    // channel menu; it stays off through replay and back.
    bool cycleShownOff = false;
    test::WhenModalShown("tavrin::TF_Mp4Adjust", [&](QWidget* w) {
        auto* adjust = static_cast<TF_Mp4Adjust*>(w);
        ASSERT_TRUE(WaitUntil([&] { return adjust->isVisible(); }));
        EXPECT_TRUE(adjust->CB_Cycle->isChecked());
        ASSERT_TRUE(xdo_.Click(adjust->CB_Cycle));
        ASSERT_TRUE(WaitUntil([&] { return !adjust->CB_Cycle->isChecked(); }));
        cycleShownOff = adjust->CB_Cycle->text() == "循环播放已关";
        Shot("06b-mp4-looping-off");
        adjust->reject();
    });
    ClickChannelMenuItem(1, "设置播放进度");
    ASSERT_TRUE(WaitUntil([&] { return cycleShownOff; }));
    EXPECT_FALSE(Manager().GetCycle(1));

    TAVRIN_STEP(steps, "to replay, the connections remembered");
    // To replay through the chooser button: connections are remembered.
    choices_.push_back(kModeReplay);
    ClickButton(TBar::Capture, 52);
    ASSERT_TRUE(WaitUntil([&] { return win_->CurrentWorkMode() == kModeReplay; }, 10000));
    EXPECT_EQ(chooserShownWith_.back(), kLesson);
    // The settings file's copy, which the capture tick keeps up to date.
    const rLastState last = LoadConnections(hooks_.iniPath, 3);
    ASSERT_EQ(last.CHLastStateArr.size(), 3u);
    EXPECT_EQ(last.CHLastStateArr[0].nDeviceType, kDeviceMp4);
    EXPECT_EQ(last.CHLastStateArr[1].nDeviceType, kDeviceCamera);
    EXPECT_EQ(last.CHLastStateArr[1].AudioDeviceName, "Virtual Microphone");
    EXPECT_EQ(last.CHLastStateArr[2].nDeviceType, kDevicePhone);
    EXPECT_EQ(last.CombineportsArr, (std::vector<int32_t>{1, 2}));
    EXPECT_TRUE(test::Bar(win_.get(), TBar::Replay)->isVisible());
    EXPECT_FALSE(test::Bar(win_.get(), TBar::Capture)->isVisible());
    EXPECT_EQ(test::OffsetBoxOf(win_.get())->count(), 100);
    EXPECT_EQ(test::OffsetBoxOf(win_.get())->currentText().toStdString(), "11 延后音频");
    const TPaneRect pane = ReplayPaneRect(win_->width(), win_->height(), kBarHeight);
    EXPECT_EQ(test::ReplayPaneOf(win_.get())->geometry(), QRect(pane.x, pane.y, pane.w, pane.h));
    ASSERT_TRUE(WaitUntil([&] { return win_->Replay()->Worker().PicturesShown() > 10; }, 15000));
    Shot("07-replay");

    TAVRIN_STEP(steps, "delete marks saved");
    // Delete-mark mode, a drag along the block row, then save.
    ClickButton(TBar::Replay, 20);
    ASSERT_TRUE(WaitUntil([&] { return win_->Replay()->DeleteMode(); }));
    const TPaneRect ruler = test::RulerOf(win_.get());
    const int rowY = ruler.y + ruler.h - 36;
    ASSERT_TRUE(xdo_.MoveTo(win_->mapToGlobal(QPoint(ruler.x + 3, rowY))));
    ASSERT_TRUE(xdo_.MouseDown());
    ASSERT_TRUE(xdo_.MoveTo(win_->mapToGlobal(QPoint(ruler.x + ruler.w / 2, rowY))));
    ASSERT_TRUE(xdo_.MoveTo(win_->mapToGlobal(QPoint(ruler.x + ruler.w - 3, rowY))));
    ASSERT_TRUE(xdo_.MouseUp());
    ASSERT_TRUE(WaitUntil([&] { return win_->Replay()->Worker().QueryDeletedBlockSeconds() > 0; }));
    Shot("08-delete-marks");
    ClickButton(TBar::Replay, 21);
    Pump(300);

    TAVRIN_STEP(steps, "back to capture with the same channels");
    // Back to capture: the same channels with the same types, and the
    // programme they showed.
    choices_.push_back(kModeCapture);
    ClickButton(TBar::Replay, 52);
    ASSERT_TRUE(WaitUntil([&] { return win_->CurrentWorkMode() == kModeCapture; }, 10000));
    ASSERT_TRUE(AllLive());
    for (int ch = 1; ch <= 3; ++ch) {
        TClientInfo info;
        ASSERT_TRUE(Manager().GetConInfo(ch, info));
        EXPECT_EQ(info.DeviceType, last.CHLastStateArr[size_t(ch) - 1].nDeviceType) << ch;
        EXPECT_EQ(info.IP, last.CHLastStateArr[size_t(ch) - 1].sIP) << ch;
    }
    Manager().GetCombinePorts(programme);
    EXPECT_EQ(programme, (std::vector<int32_t>{1, 2}));
    // The movie plays once again, as it did when capture was left.
    EXPECT_FALSE(Manager().GetCycle(1));
    Shot("09-capture-again");
    win_.reset();

    TAVRIN_STEP(steps, "the saved marks are in the store");
    // The saved marks are in the store.
    TGetLessionInfo paths;
    paths.initialize(dir_.Path() + "/store", "1001");
    TReadAV store;
    store.initialize(paths);
    ASSERT_EQ(store.OpenLession(kLesson), TReadAV::kOpenOK);
    const TIndex_Head* head = nullptr;
    const TIndex_Count* count = nullptr;
    const TIndex_IBlock* blocks = nullptr;
    const int n = store.GetLessionInfo_struc(head, count, blocks);
    ASSERT_GE(n, 3);
    int deleted = 0;
    for (int i = 0; i < n; ++i) {
        deleted += blocks[i].DeleteFlag != 0 ? 1 : 0;
    }
    EXPECT_GT(deleted, 0);
    store.EndLession();
    for (const auto& m : messages.Messages()) {
        ADD_FAILURE() << "unexpected message: " << m.text;
    }
}

TEST_F(MainWindowTest, ClosingWhileRecordingAsksAndNoKeepsRecording) {
    TMessageRecorder messages;
    Open(kModeCapture);
    ASSERT_EQ(win_->CurrentWorkMode(), kModeCapture);
    win_->DoAction(TMainAction::Record);
    ASSERT_TRUE(win_->Capture()->Recording());
    messages.QueueAnswer(TMsgAnswer::No);
    EXPECT_FALSE(win_->close());
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].text, "当前正在录课，真要退出么？");
    EXPECT_EQ(messages.Messages()[0].icon, TMsgIcon::Question);
    EXPECT_EQ(win_->CurrentWorkMode(), kModeCapture);
    EXPECT_TRUE(win_->Capture()->Recording());
    messages.QueueAnswer(TMsgAnswer::Yes);
    EXPECT_TRUE(win_->close());
    EXPECT_EQ(win_->CurrentWorkMode(), kModeNone);
}

TEST_F(MainWindowTest, AfterAConsoleThatDidNotCloseItsChannelsAreOfferedBack) {
    TMessageRecorder messages;
    Open(kModeCapture);
    ASSERT_EQ(win_->CurrentWorkMode(), kModeCapture);
    Manager().ConnectThis("Virtual Camera|Virtual Microphone", 2, kDeviceCamera);
    // Kept in the settings as it connects, not only when the window closes.
    const TIniFile ini(hooks_.iniPath);
    ASSERT_TRUE(WaitUntil(
        [&] { return ini.ReadInteger("LastConnections", "CH2Type", 0) == kDeviceCamera; }, 5000));
    EXPECT_EQ(ini.ReadString("LastConnections", "CH2Audio", ""), "Virtual Microphone");
    // Gone without its close, as a killed process goes.
    win_.reset();
    EXPECT_TRUE(CaptureEndedUncleanly(hooks_.iniPath));
    ASSERT_TRUE(messages.Messages().empty());

    messages.QueueAnswer(TMsgAnswer::Yes);
    Open(kModeCapture);
    ASSERT_EQ(win_->CurrentWorkMode(), kModeCapture);
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].text, kReconnectQuestion);
    EXPECT_EQ(messages.Messages()[0].icon, TMsgIcon::Question);
    EXPECT_EQ(messages.Messages()[0].buttons, TMsgButtons::YesNo);
    TClientInfo info;
    ASSERT_TRUE(Manager().GetConInfo(2, info));
    EXPECT_EQ(info.DeviceType, kDeviceCamera);
    EXPECT_EQ(info.AudioDeviceName, "Virtual Microphone");
    EXPECT_TRUE(WaitUntil([&] { return ShowsVideo(2); }, 10000)) << "the camera's pane stays black";
    ASSERT_TRUE(win_->close());
    EXPECT_FALSE(CaptureEndedUncleanly(hooks_.iniPath)) << "a closed window ended cleanly";

    // After a clean end nothing is asked.
    win_.reset();
    Open(kModeCapture);
    EXPECT_EQ(messages.Messages().size(), 1u);
    ASSERT_TRUE(Manager().GetConInfo(2, info));
    EXPECT_EQ(info.DeviceType, kDeviceNone);
}

TEST_F(MainWindowTest, AChannelOfferRefusedConnectsNothing) {
    TMessageRecorder messages;
    Open(kModeCapture);
    Manager().ConnectThis("Virtual Camera|Virtual Microphone", 1, kDeviceCamera);
    const TIniFile ini(hooks_.iniPath);
    ASSERT_TRUE(WaitUntil(
        [&] { return ini.ReadInteger("LastConnections", "CH1Type", 0) == kDeviceCamera; }, 5000));
    win_.reset();

    messages.QueueAnswer(TMsgAnswer::No);
    Open(kModeCapture);
    ASSERT_EQ(messages.Messages().size(), 1u);
    TClientInfo info;
    ASSERT_TRUE(Manager().GetConInfo(1, info));
    EXPECT_EQ(info.DeviceType, kDeviceNone);
}

TEST_F(MainWindowTest, ANewLessonStoreReportsItsPreparationToTheProgressWindow) {
    TMessageRecorder messages;
    Open(kModeCapture);
    ASSERT_EQ(win_->CurrentWorkMode(), kModeCapture);
    // The store was allocated at once: the window came and went unseen.
    const TPrepareProgress& report = win_->Capture()->Session().Config().prepareProgress;
    ASSERT_TRUE(report);
    for (QWidget* w : QApplication::topLevelWidgets()) {
        EXPECT_EQ(qobject_cast<TF_progress*>(w), nullptr);
    }
    EXPECT_TRUE(messages.Messages().empty());
}

TEST_F(MainWindowTest, NoLessonChosenAtTheFirstTickEndsTheProcess) {
    TMessageRecorder messages;
    win_ = std::make_unique<TFMain>(hooks_);
    ASSERT_TRUE(win_->Started());
    EXPECT_FALSE(win_->isEnabled()); // disabled until a lesson is chosen
    win_->show();
    ASSERT_TRUE(WaitUntil([&] { return messages.EndProcessCount() == 1; }, 5000));
    EXPECT_EQ(chooserShownWith_, (std::vector<int32_t>{-1}));
    EXPECT_EQ(win_->CurrentWorkMode(), kModeNone);
}

TEST_F(MainWindowTest, ReplayOfALessonNeverRecordedSaysSoAndLeavesNoMode) {
    TMessageRecorder messages;
    Open(kModeReplay);
    EXPECT_EQ(win_->CurrentWorkMode(), kModeNone);
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].text, "本课程未生成录像,或从未录制过,请重新选择");
}

TEST_F(MainWindowTest, SettingsFromTheMainMenuAreSavedOnlyWhenConfirmed) {
    TMessageRecorder messages;
    Open(kModeCapture);
    ASSERT_EQ(win_->CurrentWorkMode(), kModeCapture);
    const std::string ini = hooks_.iniPath;
    const int threadsBefore = DecoderThreadCount();

    // A bar click that opens a modal window shows the button pressed while
    // the window is open, and its release does not draw the hover picture
    // (how the button forgets the click is checked with the button alone).
    ClickButton(TBar::Capture, 52);
    ASSERT_TRUE(WaitUntil([&] { return clickTagInChooser_ != -2; }));
    EXPECT_EQ(clickTagInChooser_, 52);
    Pump(200);
    EXPECT_NE(test::BarButton(win_.get(), TBar::Capture, 52)->PictureState(), 2);

    // Changes given up with "取消" stay out of vo.ini.
    bool shown = false;
    test::WhenModalShown("tavrin::TFConfig", [&](QWidget* w) {
        auto* d = static_cast<TFConfig*>(w);
        EXPECT_TRUE(d->RadioFour()->isChecked());
        EXPECT_TRUE(xdo_.Click(d->RadioSix()));
        Pump(200);
        EXPECT_TRUE(xdo_.Click(d->CancelButton()));
        shown = true;
    });
    ClickMenuItem("系统设置");
    ASSERT_TRUE(
        WaitUntil([&] { return shown && !test::SettingsDialogOf(win_.get())->isVisible(); }));
    EXPECT_EQ(TIniFile(ini).ReadInteger("ClientCount", "Count", 0), 3);

    // Confirmed: six panes, 1080P and five decoder threads are saved; the
    // thread count applies at once, the pane count at the next start.
    shown = false;
    test::WhenModalShown("tavrin::TFConfig", [&](QWidget* w) {
        auto* d = static_cast<TFConfig*>(w);
        EXPECT_TRUE(d->RadioFour()->isChecked()); // the cancelled choice is gone
        EXPECT_TRUE(xdo_.Click(d->RadioSix()));
        EXPECT_TRUE(xdo_.Click(d->Radio1080()));
        EXPECT_TRUE(xdo_.Click(d->ThreadList()));
        QAbstractItemView* list = d->ThreadList()->view();
        EXPECT_TRUE(WaitUntil([&] { return list->isVisible(); }));
        const QRect entry = list->visualRect(list->model()->index(2, 0));
        EXPECT_TRUE(xdo_.MoveTo(list->viewport()->mapToGlobal(entry.center())));
        EXPECT_TRUE(xdo_.Run({"click", "1"}));
        EXPECT_TRUE(WaitUntil([&] { return d->ThreadList()->currentIndex() == 2; }));
        Shot("s01-settings");
        EXPECT_TRUE(xdo_.Click(d->OkButton()));
        shown = true;
    });
    ClickMenuItem("系统设置");
    ASSERT_TRUE(
        WaitUntil([&] { return shown && !test::SettingsDialogOf(win_.get())->isVisible(); }));
    const TIniFile saved(ini);
    EXPECT_EQ(saved.ReadInteger("ClientCount", "Count", 0), 5);
    EXPECT_EQ(saved.ReadInteger("CompressResolution", "Resolution", 0), 1);
    EXPECT_EQ(saved.ReadInteger("DecodeThread", "ThreadCount", 0), 5);
    EXPECT_EQ(saved.ReadInteger("WindowSize", "height", 0), 815);
    // The console works on with the confirmed settings: the dialog shows
    // them when it opens again.
    shown = false;
    test::WhenModalShown("tavrin::TFConfig", [&](QWidget* w) {
        auto* d = static_cast<TFConfig*>(w);
        EXPECT_TRUE(d->RadioSix()->isChecked());
        EXPECT_TRUE(d->Radio1080()->isChecked());
        EXPECT_TRUE(xdo_.Click(d->CancelButton()));
        shown = true;
    });
    ClickMenuItem("系统设置");
    ASSERT_TRUE(
        WaitUntil([&] { return shown && !test::SettingsDialogOf(win_.get())->isVisible(); }));
    EXPECT_EQ(DecoderThreadCount(), 5);
    EXPECT_EQ(ClientCount(), 3);
    EXPECT_EQ(win_->CurrentWorkMode(), kModeCapture);
    SetProcessCounts(3, threadsBefore);
    for (const auto& m : messages.Messages()) {
        ADD_FAILURE() << "unexpected message: " << m.text;
    }
}

TEST_F(MainWindowTest, TheProgrammePaneDragsAfterTenPixelsAndADragIsNoClick) {
    Open(kModeCapture);
    ASSERT_EQ(win_->CurrentWorkMode(), kModeCapture);
    QWidget* programme = test::PaneOf(win_.get(), 0);
    const QPoint from = At(programme, 0.5, 0.5);

    // Nine pixels are still a click: the programme pane is selected.
    ASSERT_TRUE(xdo_.Click(test::PaneOf(win_.get(), 2)));
    ASSERT_TRUE(WaitUntil([&] { return win_->Capture()->CurrentPort() == 2; }));
    ASSERT_TRUE(xdo_.MoveTo(from));
    ASSERT_TRUE(xdo_.MouseDown());
    ASSERT_TRUE(xdo_.MoveTo(from + QPoint(9, 9)));
    ASSERT_TRUE(xdo_.MouseUp());
    ASSERT_TRUE(WaitUntil([&] { return win_->Capture()->CurrentPort() == 0; }));
    EXPECT_FALSE(win_->Capture()->DraggingProgramme());

    // Ten pixels start a drag; it ends where the button goes up, and the
    // selection stays where it was.
    ASSERT_TRUE(xdo_.Click(test::PaneOf(win_.get(), 2)));
    ASSERT_TRUE(WaitUntil([&] { return win_->Capture()->CurrentPort() == 2; }));
    bool dragged = false;
    QTimer watch;
    // The drag runs its own event loop: it is ended from inside it.
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (win_->Capture()->DraggingProgramme() && !dragged) {
            dragged = true;
            Shot("d01-programme-drag");
            EXPECT_TRUE(xdo_.MoveTo(from + QPoint(60, 30)));
            EXPECT_TRUE(xdo_.MouseUp());
        }
    });
    watch.start(20);
    ASSERT_TRUE(xdo_.MoveTo(from + QPoint(1, 1)));
    ASSERT_TRUE(xdo_.MouseDown());
    ASSERT_TRUE(xdo_.MoveTo(from + QPoint(11, 0)));
    ASSERT_TRUE(xdo_.MoveTo(from + QPoint(30, 10)));
    ASSERT_TRUE(WaitUntil([&] { return dragged && !win_->Capture()->DraggingProgramme(); }));
    watch.stop();
    Pump(300);
    EXPECT_EQ(win_->Capture()->CurrentPort(), 2u);
    // The next plain click on the programme pane selects it again.
    ASSERT_TRUE(xdo_.Click(programme));
    ASSERT_TRUE(WaitUntil([&] { return win_->Capture()->CurrentPort() == 0; }));
}

TEST_F(MainWindowTest, ThePushAddressFromTheChannelWindowReachesARealServer) {
    ASSERT_EQ(::mkdir(dir_.File("rtmp").c_str(), 0777), 0);
    test::NginxRtmp rtmp(dir_.File("rtmp"));
    ASSERT_TRUE(rtmp.Listening());
    TMessageRecorder messages;
    Open(kModeCapture);
    ASSERT_EQ(win_->CurrentWorkMode(), kModeCapture);
    Manager().ConnectThis("Virtual Camera|Virtual Microphone", 1, kDeviceCamera);
    ASSERT_TRUE(WaitUntil([&] { return ShowsVideo(1); }, 20000));
    ClickButton(TBar::Capture, 1); // the camera over the whole programme
    std::vector<int32_t> programme;
    ASSERT_TRUE(WaitUntil([&] {
        Manager().GetCombinePorts(programme);
        return programme == std::vector<int32_t>{1};
    }));

    // The address typed into the channel window, then the push button.
    ClickButton(TBar::Capture, 54);
    TF_CHConfig* dialog = test::ChannelDialogOf(win_.get());
    ASSERT_TRUE(WaitUntil([&] { return dialog->isVisible(); }));
    ASSERT_TRUE(xdo_.Click(dialog->TabPush));
    ASSERT_TRUE(WaitUntil([&] { return dialog->ME_RTMP->isVisible(); }));
    ASSERT_TRUE(xdo_.Click(dialog->ME_RTMP));
    ASSERT_TRUE(WaitUntil([&] { return dialog->ME_RTMP->hasFocus(); }));
    ASSERT_TRUE(xdo_.Key("ctrl+a"));
    ASSERT_TRUE(xdo_.Key("Delete"));
    const std::string url = rtmp.Url("window");
    ASSERT_TRUE(xdo_.Type(QString::fromStdString(url)));
    ASSERT_TRUE(WaitUntil([&] { return dialog->ME_RTMP->toPlainText().toStdString() == url; }));
    ASSERT_TRUE(xdo_.Click(dialog->Bt_RTMPApp));
    TClientSendInfo send;
    ASSERT_TRUE(WaitUntil(
        [&] { return win_->Capture()->Session().SenderInfo(send) && send.rtmpURL == url; }));
    EXPECT_TRUE(send.bPause); // the address alone does not push yet
    ASSERT_TRUE(xdo_.Click(dialog->Image11));
    ASSERT_TRUE(WaitUntil(
        [&] {
            return win_->Capture()->Session().SenderInfo(send) && send.bConnectOK &&
                   send.nHasSendFrames > 200; // pictures and sound, about 3 s
        },
        20000));
    Shot("r01-pushing");
    dialog->close();
    // Leaving capture ends the push; nginx then closes the recording.
    ASSERT_TRUE(win_->close());
    win_.reset();
    ASSERT_TRUE(rtmp.WaitRecordingClosed("window", 10000));
    const std::string probe =
        Output("ffprobe -v error -select_streams v:0 -count_packets -show_entries "
               "stream=codec_name,width,height,nb_read_packets -of csv=p=0 '" +
               rtmp.Recording("window") + "'");
    // h264 in the programme's 1280 x 720, two seconds of pictures at least.
    int width = 0;
    int height = 0;
    int packets = 0;
    char codec[16] = {};
    ASSERT_EQ(std::sscanf(probe.c_str(), "%15[^,],%d,%d,%d", codec, &width, &height, &packets), 4)
        << probe;
    EXPECT_STREQ(codec, "h264");
    EXPECT_EQ(width, 1280);
    EXPECT_EQ(height, 720);
    EXPECT_GE(packets, 50);
    for (const auto& m : messages.Messages()) {
        ADD_FAILURE() << "unexpected message: " << m.text;
    }
}

// A solid 1920 x 1080 JPEG, as a plan's background.
void WriteBackground(const std::string& path, const char* colour) {
    ASSERT_EQ(std::system(("ffmpeg -nostdin -v error -y -f lavfi -i color=c=" +
                           std::string(colour) + ":s=1920x1080 -frames:v 1 '" + path + "'")
                              .c_str()),
              0);
}

// The colour X shows at a point of a widget.
QColor ShownAt(QWidget* w, double fx, double fy) {
    const QPoint at = w->mapToGlobal(QPoint(int(w->width() * fx), int(w->height() * fy)));
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, at.x(), at.y(), 1, 1)
        .toImage()
        .pixelColor(0, 0);
}

bool Greenish(const QColor& c) {
    return c.green() > 130 && c.red() < 90 && c.blue() < 90;
}
bool Reddish(const QColor& c) {
    return c.red() > 150 && c.green() < 90 && c.blue() < 90;
}

TEST_F(MainWindowTest, ThePlanEditorPutsItsScenesAndItsAddressOnTheLiveProgramme) {
    ASSERT_EQ(::mkdir(dir_.File("rtmp").c_str(), 0777), 0);
    test::NginxRtmp rtmp(dir_.File("rtmp"));
    ASSERT_TRUE(rtmp.Listening());
    TMessageRecorder messages;
    // A plan with a red and a green scene and the server's address.
    const std::string planDir = dir_.File("plan");
    std::filesystem::create_directories(planDir);
    const std::string planFile = planDir + "/直播.kvx";
    const std::string url = rtmp.Url("plan");
    {
        WriteBackground(planDir + "/red.jpg", "0xc81e1e");
        WriteBackground(planDir + "/green.jpg", "0x1eb41e");
        TLayoutProject plan;
        ASSERT_EQ(plan.newProject(1001, "直播", planFile), 0);
        for (const char* name : {"red", "green"}) {
            rImage image;
            image.name = name;
            image.filename = planDir + "/" + name + ".jpg";
            ASSERT_GT(plan.newItem(kItemImage, &image), 0);
        }
        for (int32_t image : {1, 2}) {
            rLayout scene;
            scene.name = image == 1 ? "红" : "绿";
            scene.image = image;
            ASSERT_GT(plan.newItem(kItemLayout, &scene), 0);
        }
        plan.setHeadInfo("直播", url);
        ASSERT_EQ(plan.saveProject(), 0);
    }

    Open(kModeCapture);
    ASSERT_EQ(win_->CurrentWorkMode(), kModeCapture);
    Manager().ConnectThis("Virtual Camera|Virtual Microphone", 1, kDeviceCamera);
    ASSERT_TRUE(WaitUntil([&] { return ShowsVideo(1); }, 20000));

    // The main menu's entry, then "打开已有活动方案文件" in the chooser.
    struct TPickerAnswer {
        TOpenFilePicker previous;
        ~TPickerAnswer() { SetOpenFilePicker(previous); }
    } answer{SetOpenFilePicker([&](QWidget*, const QString&, const QString&) {
        return QString::fromStdString(planFile);
    })};
    test::WhenModalShown("tavrin::TF_NewProject", [this](QWidget* chooser) {
        ASSERT_TRUE(xdo_.Click(chooser->findChild<QPushButton*>("btnOpenFile")));
    });
    ClickMenuItem(QStringLiteral("活动方案"));
    ASSERT_TRUE(WaitUntil([&] {
        return test::PlanEditorOf(win_.get()) != nullptr &&
               test::PlanEditorOf(win_.get())->isVisible();
    }));
    TF_EditProject* editor = test::PlanEditorOf(win_.get());
    // Moved below the programme so that both stay in sight.
    QWidget* programme = test::PaneOf(win_.get(), 0);
    editor->move(0, programme->mapToGlobal(QPoint(0, programme->height())).y() + 20);
    Pump(200);

    // A double click on 绿 puts the green background on the programme.
    QListWidget* scenes = editor->List(kItemLayout);
    const auto doubleClick = [&](int row) {
        const QRect entry = scenes->visualItemRect(scenes->item(row));
        ASSERT_TRUE(xdo_.MoveTo(scenes->viewport()->mapToGlobal(entry.center())));
        ASSERT_TRUE(xdo_.Run({"click", "--repeat", "2", "--delay", "60", "1"}));
    };
    doubleClick(1);
    ASSERT_TRUE(WaitUntil([&] { return Greenish(ShownAt(programme, 0.5, 0.6)); }, 10000))
        << ShownAt(programme, 0.5, 0.6).name().toStdString();
    const TScreenLayout::rProjectHead* head = nullptr;
    // Through the interface the editor is given.
    static_cast<IEditorHost&>(*win_).SceneRuntime()->GetInfo(head);
    EXPECT_EQ(head->filename, planFile);
    Shot("r02-editor-scene-live");

    // "使用此地址直播" gives the sender the plan's address and starts the push.
    editor->findChild<QTabWidget*>("tabs")->setCurrentIndex(2);
    Pump(100);
    ASSERT_TRUE(xdo_.Click(editor->findChild<QPushButton*>("btnUseAddress")));
    TClientSendInfo send;
    ASSERT_TRUE(WaitUntil(
        [&] {
            return win_->Capture()->Session().SenderInfo(send) && send.rtmpURL == url &&
                   !send.bPause && send.bConnectOK && send.nHasSendFrames > 100;
        },
        20000));

    // Swapped in the editor, the scenes change places while their ids stay:
    // using the second entry (now 红) saves the plan and has the console
    // read it anew, so the programme turns red.
    editor->findChild<QTabWidget*>("tabs")->setCurrentIndex(0);
    Pump(100);
    scenes->setCurrentRow(1);
    editor->DoSwap(kItemLayout);
    ASSERT_EQ(scenes->item(1)->text(), QStringLiteral("红"));
    doubleClick(1);
    ASSERT_TRUE(WaitUntil([&] { return Reddish(ShownAt(programme, 0.5, 0.6)); }, 10000))
        << ShownAt(programme, 0.5, 0.6).name().toStdString();
    const uint32_t sentBefore = send.nHasSendFrames;
    ASSERT_TRUE(WaitUntil(
        [&] {
            return win_->Capture()->Session().SenderInfo(send) &&
                   send.nHasSendFrames > sentBefore + 100;
        },
        20000));
    Shot("r03-editor-swapped-scene-live");

    // The pushed stream began green and ended red.
    ASSERT_TRUE(win_->close());
    win_.reset();
    ASSERT_TRUE(rtmp.WaitRecordingClosed("plan", 10000));
    const auto colourAt = [&](const std::string& seek) {
        const std::string raw = dir_.File("pixel.rgb");
        std::remove(raw.c_str());
        const std::string cmd =
            "ffmpeg -nostdin -v error -y " + seek + " -i '" + rtmp.Recording("plan") +
            "' -frames:v 1 -vf scale=16:9 -f rawvideo -pix_fmt rgb24 '" + raw + "'";
        EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
        std::FILE* f = std::fopen(raw.c_str(), "rb");
        unsigned char rgb[16 * 9 * 3] = {};
        if (f != nullptr) {
            EXPECT_EQ(std::fread(rgb, 1, sizeof rgb, f), sizeof rgb);
            std::fclose(f);
        }
        const unsigned char* p = rgb + (5 * 16 + 8) * 3;
        return QColor(p[0], p[1], p[2]);
    };
    const QColor first = colourAt("");
    const QColor last = colourAt("-sseof -1");
    EXPECT_TRUE(Greenish(first)) << first.name().toStdString();
    EXPECT_TRUE(Reddish(last)) << last.name().toStdString();
    for (const auto& m : messages.Messages()) {
        ADD_FAILURE() << "unexpected message: " << m.text;
    }
}

// The bar's two-video button with a plan that has two-video scenes: the menu
// of those scenes at the pointer, the current one checked; a choice puts its
// scene on the programme. A count without scenes combines at once.
TEST_F(MainWindowTest, TheLayoutMenuListsTheScenesOfItsCountAndPutsTheChoiceOnTheProgramme) {
    const std::string planDir = dir_.File("plans");
    const std::string planFile = planDir + "/two.kvx";
    ASSERT_EQ(::mkdir(planDir.c_str(), 0777), 0);
    {
        WriteBackground(planDir + "/red.jpg", "0xdc1e1e");
        WriteBackground(planDir + "/green.jpg", "0x1eb41e");
        TLayoutProject plan;
        ASSERT_EQ(plan.newProject(1001, "两画面", planFile), 0);
        for (const char* name : {"red", "green"}) {
            rImage image;
            image.name = name;
            image.filename = planDir + "/" + name + ".jpg";
            ASSERT_GT(plan.newItem(kItemImage, &image), 0);
        }
        // Two small video areas along the top edge.
        std::vector<int32_t> areas;
        for (int i = 0; i < 2; ++i) {
            rRectangle area;
            area.name = i == 0 ? "左" : "右";
            area.rect = {i * 480, 0, 480, 270};
            areas.push_back(plan.newItem(kItemRectangle, &area));
            ASSERT_GT(areas.back(), 0);
        }
        for (int32_t image : {1, 2}) {
            rLayout scene;
            scene.name = image == 1 ? "红二" : "绿二";
            scene.image = image;
            scene.rectangle = areas;
            ASSERT_GT(plan.newItem(kItemLayout, &scene), 0);
        }
        plan.setHeadInfo("两画面", "rtmp://127.0.0.1/live/none");
        ASSERT_EQ(plan.saveProject(), 0);
    }
    TMessageRecorder messages;
    Open(kModeCapture);
    ASSERT_EQ(win_->CurrentWorkMode(), kModeCapture);
    ASSERT_EQ(static_cast<IEditorHost&>(*win_).SceneRuntime()->loadProject(planFile), 0);
    // Two channels for the scenes' two areas, both clicked.
    const std::string movie = dir_.File("movie.mp4");
    ASSERT_TRUE(
        test::Run("ffmpeg -loglevel error -f lavfi -i testsrc2=size=640x360:rate=25 -f lavfi "
                  "-i sine=frequency=440:sample_rate=48000 -t 30 -c:v libx264 -g 25 "
                  "-pix_fmt yuv420p -c:a aac -ac 2 -y " +
                  movie));
    Manager().ConnectThis("Virtual Camera|Virtual Microphone", 1, kDeviceCamera);
    Manager().ConnectThis(movie, 2, kDeviceMp4);
    ASSERT_TRUE(WaitUntil([&] { return ShowsVideo(1) && ShowsVideo(2); }, 20000));
    ASSERT_TRUE(xdo_.Click(test::PaneOf(win_.get(), 1)));
    ASSERT_TRUE(xdo_.Click(test::PaneOf(win_.get(), 2)));
    ASSERT_TRUE(WaitUntil([&] { return win_->Capture()->CurrentPort() == 2; }));
    QWidget* programme = test::PaneOf(win_.get(), 0);

    const auto chooseScene = [&](const QString& name, const QString& checkedBefore) {
        ClickButton(TBar::Capture, 2);
        ASSERT_TRUE(WaitUntil([&] { return test::OpenMenu() != nullptr; }));
        QMenu* menu = test::OpenMenu();
        ASSERT_TRUE(WaitUntil([&] { return menu->isVisible(); }));
        EXPECT_EQ(menu->objectName(), "LayoutMenu");
        // At the pointer.
        EXPECT_TRUE(menu->geometry().adjusted(-2, -2, 2, 2).contains(QCursor::pos()));
        QStringList captions;
        QStringList checked;
        QAction* wanted = nullptr;
        for (QAction* a : menu->actions()) {
            captions << a->text();
            if (a->isChecked()) {
                checked << a->text();
            }
            wanted = a->text() == name ? a : wanted;
        }
        EXPECT_EQ(captions, (QStringList{"红二", "绿二"}));
        EXPECT_EQ(checked.join('|'), checkedBefore);
        Shot("l01-layout-menu-" + name.toStdString());
        ASSERT_NE(wanted, nullptr);
        ASSERT_TRUE(xdo_.MoveTo(menu->mapToGlobal(menu->actionGeometry(wanted).center())));
        ASSERT_TRUE(xdo_.Run({"click", "1"}));
        ASSERT_TRUE(WaitUntil([&] { return test::OpenMenu() == nullptr; }));
    };
    chooseScene("绿二", "");
    std::vector<int32_t> shown;
    ASSERT_TRUE(WaitUntil([&] {
        Manager().GetCombinePorts(shown);
        return shown == std::vector<int32_t>{1, 2};
    }));
    ASSERT_TRUE(WaitUntil([&] { return Greenish(ShownAt(programme, 0.5, 0.6)); }, 10000))
        << ShownAt(programme, 0.5, 0.6).name().toStdString();
    chooseScene("红二", "绿二");
    ASSERT_TRUE(WaitUntil([&] { return Reddish(ShownAt(programme, 0.5, 0.6)); }, 10000))
        << ShownAt(programme, 0.5, 0.6).name().toStdString();
    Shot("l02-red-scene");

    // No three-video scene: the button combines at once, without a menu.
    ClickButton(TBar::Capture, 3);
    Pump(400);
    EXPECT_EQ(test::OpenMenu(), nullptr);
    for (const auto& m : messages.Messages()) {
        ADD_FAILURE() << "unexpected message: " << m.text;
    }
}

} // namespace
} // namespace tavrin
