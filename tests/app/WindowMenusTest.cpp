// The console's menus and keys beyond the main flow, through the X server:
// the main menu's folder, help files and about box; the capture keys D, S, A
// and P; a capture entry that failed and is retried from the bar.
#include "app/AboutBox.h"
#include "app/CaptureStatus.h"
#include "app/DispPanel.h"
#include "app/FMain.h"
#include "base/GetLessionInfo.h"
#include "base/Message.h"
#include "base/ProgramDir.h"
#include "base/ui/ImageButton.h"
#include "compose/LayoutProject.h"
#include "compose/editor/F_EditProject.h"
#include "compose/editor/FilePickers.h"
#include "compose/editor/PlanEditorLauncher.h"
#include "sources/CManager.h"
#include "tests/app/ConsoleWindowTest.h"
#include "tests/app/WindowTestSupport.h"
#include "tests/base/TempDir.h"
#include "tests/sources/PhoneSim.h"
#include "tests/support/TestMedia.h"
#include "tests/support/ui/GuiTestEnv.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <unistd.h>

namespace tavrin {
namespace {

using test::Pump;
using test::SaveScreen;
using test::TempDir;
using test::TRoomyDrives;
using test::TXdo;
using test::WaitUntil;

constexpr int32_t kLesson = 202;

class WindowMenusTest : public test::TConsoleWindowTest {
protected:
    void SetUp() override {
        TConsoleWindowTest::SetUp();
        ::setenv("TAVRIN_VIRTUAL_DEVICES", "1", 1);
        lesson_.LessionID = kLesson;
        lesson_.LessionName = "Menus";
    }

    void Open() { TConsoleWindowTest::Open(kModeCapture); }

    void ClickButton(TBar bar, int tag) {
        TImageButton* b = test::BarButton(win_.get(), bar, tag);
        ASSERT_NE(b, nullptr);
        ASSERT_TRUE(xdo_.Click(b));
    }

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
        ASSERT_TRUE(WaitUntil([&] { return test::OpenMenu() == nullptr; }));
    }

    // Opens the channel menu of a pane with the right button; its captions.
    QMenu* ChannelMenu(int ch, QStringList* captions = nullptr) {
        EXPECT_TRUE(xdo_.MoveTo(test::PaneOf(win_.get(), ch)));
        EXPECT_TRUE(xdo_.Run({"click", "3"}));
        if (!WaitUntil(
                [&] { return test::OpenMenu() != nullptr && test::OpenMenu()->isVisible(); })) {
            ADD_FAILURE() << "no channel menu on pane " << ch;
            return nullptr;
        }
        QMenu* menu = test::OpenMenu();
        if (captions != nullptr) {
            captions->clear();
            for (QAction* a : menu->actions()) {
                *captions << a->text();
            }
        }
        return menu;
    }
    // Clicks the menu's action through the X server.
    void Choose(QMenu* menu, QAction* a) {
        ASSERT_NE(menu, nullptr);
        ASSERT_NE(a, nullptr);
        ASSERT_TRUE(xdo_.MoveTo(menu->mapToGlobal(menu->actionGeometry(a).center())));
        ASSERT_TRUE(xdo_.Run({"click", "1"}));
        ASSERT_TRUE(WaitUntil([&] { return test::OpenMenu() == nullptr; }));
    }
    QAction* Item(QMenu* menu, const QString& start) {
        if (menu == nullptr) {
            return nullptr;
        }
        for (QAction* a : menu->actions()) {
            if (!a->isSeparator() && a->text().startsWith(start)) {
                return a;
            }
        }
        return nullptr;
    }
    // The channel slot items, after the first entry and its separator.
    QAction* SlotItem(QMenu* menu, int slot) {
        return menu != nullptr ? menu->actions().value(1 + slot) : nullptr;
    }
    std::string IpOf(int ch) {
        TClientInfo info;
        Manager().GetConInfo(ch, info);
        return info.IP;
    }
};

TEST_F(WindowMenusTest, MainMenuOpensTheOutputFolderTheHelpFilesAndTheAboutBox) {
    TMessageRecorder messages;
    Open();
    ASSERT_EQ(win_->CurrentWorkMode(), kModeCapture);
    test::TShellOpenRecorder opened;
    std::string output;
    win_->Paths()->Get_OutputDir(0, output);
    ASSERT_FALSE(std::filesystem::exists(output));

    ClickMenuItem(QStringLiteral("打开录像目录"));
    ASSERT_TRUE(WaitUntil([&] { return opened.Opened().size() == 1; }));
    EXPECT_EQ(opened.Opened()[0], output);
    EXPECT_TRUE(std::filesystem::is_directory(output)); // made before it is opened

    ClickMenuItem(QStringLiteral("快捷操作指引"));
    ASSERT_TRUE(WaitUntil([&] { return opened.Opened().size() == 2; }));
    EXPECT_EQ(opened.Opened()[1], ProgramFile("ShortcutKey .txt"));
    ClickMenuItem(QStringLiteral("版本更新说明"));
    ASSERT_TRUE(WaitUntil([&] { return opened.Opened().size() == 3; }));
    EXPECT_EQ(opened.Opened()[2], ProgramFile("version.txt"));

    // The about box: modal, the version, and Esc released on it closes it.
    QString version;
    bool closed = false;
    test::WhenModalShown("tavrin::TAboutBox", [&](QWidget* box) {
        ASSERT_TRUE(WaitUntil([&] { return box->isVisible(); }));
        version = box->findChild<QLabel*>("Version")->text();
        EXPECT_EQ(box->windowTitle(), "Tavrin");
        SaveScreen("menus-about");
        ASSERT_TRUE(xdo_.Focus(box));
        ASSERT_TRUE(xdo_.Key("Escape"));
        closed = WaitUntil([&] { return !box->isVisible(); });
    });
    ClickMenuItem(QStringLiteral("关于Tavrin录课"));
    ASSERT_TRUE(WaitUntil([&] { return closed; }));
    EXPECT_EQ(version, QString("当前版本: ") + ProgramVersion());
    EXPECT_EQ(opened.Opened().size(), 3u);
    EXPECT_TRUE(messages.Messages().empty());
}

TEST_F(WindowMenusTest, CaptureKeysDSAAndPActOnTheProgrammeAndTheSelectedChannel) {
    const std::string movie = dir_.File("movie.mp4");
    ASSERT_TRUE(
        test::Run("ffmpeg -loglevel error -f lavfi -i testsrc2=size=640x360:rate=25 -f lavfi "
                  "-i sine=frequency=440:sample_rate=48000 -t 20 -c:v libx264 -g 25 "
                  "-pix_fmt yuv420p -c:a aac -ac 2 -y " +
                  movie));
    TMessageRecorder messages;
    Open();
    ASSERT_EQ(win_->CurrentWorkMode(), kModeCapture);
    Manager().ConnectThis(movie, 1, kDeviceMp4);
    Manager().ConnectThis("Virtual Camera|Virtual Microphone", 2, kDeviceCamera);
    Manager().ConnectThis(movie, 3, kDeviceMp4);
    for (int ch : {1, 2, 3}) {
        ASSERT_TRUE(xdo_.Click(test::PaneOf(win_.get(), ch)));
        ASSERT_TRUE(WaitUntil([&] { return win_->Capture()->CurrentPort() == uint32_t(ch); }));
    }
    xdo_.Focus(win_.get());

    // D: as the three-video button, the three most recent channels with the
    // latest last.
    ASSERT_TRUE(xdo_.Key("d"));
    ASSERT_TRUE(WaitUntil([&] {
        return Programme() == std::vector<int32_t>{1, 2, 3};
    })) << Programme().size();
    // F then S: two, then as the four-video button (three channels here).
    ASSERT_TRUE(xdo_.Key("f"));
    ASSERT_TRUE(WaitUntil([&] { return Programme() == std::vector<int32_t>{2, 3}; }));
    ASSERT_TRUE(xdo_.Key("s"));
    ASSERT_TRUE(WaitUntil([&] { return Programme() == std::vector<int32_t>{1, 2, 3}; }));
    SaveScreen("menus-keys-s");

    // A: the selected channel's whole picture, without its cut.
    int fx = 0;
    int fy = 0;
    ASSERT_TRUE(Manager().SetClipArea(3, 100, 100, 600, 600, fx, fy, true));
    ASSERT_TRUE(Manager().ConvertTestRectToReal(3));
    ASSERT_TRUE(WaitUntil([&] { return Manager().GetIfInCut(3); }));
    ASSERT_TRUE(xdo_.Key("a"));
    ASSERT_TRUE(WaitUntil([&] { return !Manager().GetIfInCut(3); }));

    // P: pauses the selected file channel, and P again plays it on.
    const auto position = [&] {
        int now = 0;
        int total = 0;
        Manager().GetCurrentPos(3, now, total);
        return now;
    };
    ASSERT_TRUE(WaitUntil([&] { return position() >= 1; }, 15000));
    ASSERT_TRUE(xdo_.Key("p"));
    Pump(500);
    const int paused = position();
    Pump(2500);
    EXPECT_EQ(position(), paused);
    ASSERT_TRUE(xdo_.Key("p"));
    ASSERT_TRUE(WaitUntil([&] { return position() >= paused + 2; }, 15000)) << paused;
    EXPECT_TRUE(messages.Messages().empty());
}

// Entering capture fails when the lesson's folder cannot be made; once the
// obstacle is gone the bar's connect button enters it.
TEST_F(WindowMenusTest, AFailedCaptureEntryIsRetriedFromTheBar) {
    std::filesystem::create_directories(dir_.File("store"));
    test::WriteFile(dir_.File("store/1001"), "not a folder");
    TMessageRecorder messages;
    Open();
    EXPECT_EQ(win_->CurrentWorkMode(), kModeNone);
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].text.rfind("无法生成录课文件目录,请查看一下路径是否合法：", 0),
              0u)
        << messages.Messages()[0].text;
    EXPECT_EQ(messages.Messages()[0].icon, TMsgIcon::Error);
    EXPECT_TRUE(test::Bar(win_.get(), TBar::Capture)->isVisible());
    SaveScreen("menus-entry-failed");

    std::filesystem::remove(dir_.File("store/1001"));
    ClickButton(TBar::Capture, 55);
    ASSERT_TRUE(WaitUntil([&] { return win_->CurrentWorkMode() == kModeCapture; }, 10000));
    EXPECT_EQ(win_->Capture()->Session().Config().lesson.LessionID, kLesson);
    EXPECT_EQ(messages.Messages().size(), 1u);
    SaveScreen("menus-entry-retried");
}

// The channel menu beyond the sound channel: swapping two slots, reconnecting
// a slot by choosing its own entry, the wide-angle switch of a phone that has
// one, the focus mode, and cancelling the reconnection of a lost phone, which
// stops its frame blinking.
TEST_F(WindowMenusTest, TheChannelMenuSwapsReconnectsSwitchesAndStopsAReconnection) {
    const std::string net = "127.22." + std::to_string(getpid() % 250 + 1) + ".";
    test::TPhoneSim wide(net + "2", {"--wide-angle", "--id", "wide-phone"});
    std::optional<test::TPhoneSim> plain;
    plain.emplace(net + "3", std::vector<std::string>{"--id", "plain-phone"});
    ASSERT_TRUE(wide.Ready());
    ASSERT_TRUE(plain->Ready());
    TMessageRecorder messages;
    Open();
    ASSERT_EQ(win_->CurrentWorkMode(), kModeCapture);
    Manager().ConnectThis(net + "2", 1, kDevicePhone);
    Manager().ConnectThis(net + "3", 2, kDevicePhone);
    const auto connected = [&](int ch) {
        TClientInfo info;
        return Manager().GetConInfo(ch, info) && info.bConnectOK &&
               (info.DeviceType == kDevicePhone || info.DeviceType == kDevicePhoneAlt);
    };
    ASSERT_TRUE(WaitUntil([&] { return connected(1) && connected(2); }, 20000));

    // The plain phone's menu has no wide-angle entry, and shows its focus
    // mode; the wide one has the switch.
    QStringList captions;
    QMenu* menu = ChannelMenu(2, &captions);
    EXPECT_FALSE(captions.contains("开关超广角")) << captions.join('|').toStdString();
    EXPECT_TRUE(captions.contains("当前：自动定焦模式")) << captions.join('|').toStdString();
    SaveScreen("menus-channel-2");
    // The focus mode toggles, and the next menu shows the new mode.
    Choose(menu, Item(menu, "当前：自动定焦模式"));
    ASSERT_TRUE(WaitUntil([&] { return !Manager().GetCanAutoAdjust(2); }));
    menu = ChannelMenu(2, &captions);
    EXPECT_TRUE(captions.contains("当前：手动定焦模式")) << captions.join('|').toStdString();
    Choose(menu, Item(menu, "当前：手动定焦模式"));
    ASSERT_TRUE(WaitUntil([&] { return Manager().GetCanAutoAdjust(2); }));

    menu = ChannelMenu(1, &captions);
    ASSERT_TRUE(captions.contains("开关超广角")) << captions.join('|').toStdString();
    const size_t switchesBefore = wide.LogLines("recv 0x10000705").size();
    Choose(menu, Item(menu, "开关超广角"));
    ASSERT_TRUE(
        WaitUntil([&] { return wide.LogLines("recv 0x10000705").size() > switchesBefore; }));

    // Choosing slot 2 in channel 1's menu exchanges the two phones.
    menu = ChannelMenu(1);
    Choose(menu, SlotItem(menu, 2));
    ASSERT_TRUE(WaitUntil([&] { return IpOf(1) == net + "3" && IpOf(2) == net + "2"; }, 10000))
        << IpOf(1) << " " << IpOf(2);
    ASSERT_TRUE(WaitUntil([&] { return connected(1) && connected(2); }, 20000));

    // Choosing its own slot reconnects the channel: the phone is asked again.
    const size_t connectsBefore = wide.LogLines("connect").size();
    menu = ChannelMenu(2);
    Choose(menu, SlotItem(menu, 2));
    ASSERT_TRUE(WaitUntil([&] { return wide.LogLines("connect").size() > connectsBefore; }, 15000));
    EXPECT_EQ(IpOf(2), net + "2");

    // The plain phone (now channel 1) goes away: its frame blinks red until
    // its reconnection is cancelled, then stays dark; no reconnection comes.
    plain->Kill();
    plain.reset();
    ASSERT_TRUE(
        WaitUntil([&] { return test::StatusOf(win_.get()).FrameOf(1) == TLostFrame::Red; }, 10000));
    SaveScreen("menus-lost-blinking");
    menu = ChannelMenu(1);
    Choose(menu, Item(menu, "取消本次断线自动重连"));
    TClientInfo info;
    ASSERT_TRUE(WaitUntil([&] { return Manager().GetConInfo(1, info) && info.bDontReconnect; }));
    plain.emplace(net + "3", std::vector<std::string>{"--id", "plain-phone"});
    ASSERT_TRUE(plain->Ready());
    int redTicks = 0;
    for (int i = 0; i < 16; ++i) {
        Pump(500);
        redTicks += test::StatusOf(win_.get()).FrameOf(1) == TLostFrame::Red ? 1 : 0;
    }
    EXPECT_EQ(redTicks, 0);
    EXPECT_TRUE(plain->LogLines("connect").empty());
    SaveScreen("menus-reconnection-cancelled");
    EXPECT_TRUE(messages.Messages().empty());
}

// A desktop streaming app (slides) on channel 1, the sound channel, is cut
// off with one message.
TEST_F(WindowMenusTest, SlidesOnTheSoundChannelAreCutOffWithOneMessage) {
    const std::string net = "127.22." + std::to_string(getpid() % 250 + 1) + ".";
    test::TPhoneSim desktop(net + "4", {"--device-type", "1", "--id", "slides"});
    ASSERT_TRUE(desktop.Ready());
    TMessageRecorder messages;
    Open();
    ASSERT_EQ(win_->CurrentWorkMode(), kModeCapture);
    Manager().ConnectThis(net + "4", 1, kDevicePhone);
    ASSERT_TRUE(WaitUntil([&] { return !messages.Messages().empty(); }, 20000));
    Pump(3000); // later ticks add nothing
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].text,
              "第一设备通道是录音通道，不可以是PPT图像。\n\r"
              "因此，在发现第一通道连接对象是PPT时，系统将其强行中断。");
    EXPECT_EQ(messages.Messages()[0].icon, TMsgIcon::Information);
    // Cut once, and not tried again.
    EXPECT_EQ(desktop.LogLines("connect").size(), 1u);
    TClientInfo info;
    Manager().GetConInfo(1, info);
    EXPECT_NE(info.nErrorCode, -3);
}

// A plan cannot be saved without a push address: "保存更改" in the editor the
// main menu opened refuses it with the address message and leaves the file
// as it was.
TEST_F(WindowMenusTest, APlanWithoutAPushAddressIsNotSaved) {
    const std::string planFile = dir_.File("plans/empty-address.kvx");
    std::filesystem::create_directories(dir_.File("plans"));
    {
        TLayoutProject plan;
        ASSERT_EQ(plan.newProject(1001, "无地址", planFile), 0);
        ASSERT_EQ(plan.saveProject(), 0);
    }
    const std::string before = test::ReadFile(planFile);
    ASSERT_FALSE(before.empty());
    TMessageRecorder messages;
    Open();
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
    auto* rtmp = editor->findChild<QLineEdit*>("edRtmp");
    ASSERT_NE(rtmp, nullptr);
    EXPECT_TRUE(rtmp->text().isEmpty());
    // The plan's page: its tab, then the name, typed.
    auto* tabs = editor->findChild<QTabWidget*>("tabs");
    ASSERT_NE(tabs, nullptr);
    ASSERT_TRUE(xdo_.Focus(editor));
    ASSERT_TRUE(xdo_.MoveTo(tabs->tabBar()->mapToGlobal(tabs->tabBar()->tabRect(2).center())));
    ASSERT_TRUE(xdo_.Run({"click", "1"}));
    ASSERT_TRUE(WaitUntil([&] { return tabs->currentIndex() == 2; }));
    auto* name = editor->findChild<QLineEdit*>("edName");
    ASSERT_TRUE(WaitUntil([&] { return name->isVisible(); }));
    ASSERT_TRUE(xdo_.Click(name));
    ASSERT_TRUE(xdo_.Key("End"));
    ASSERT_TRUE(xdo_.Type("2"));
    ASSERT_TRUE(WaitUntil([&] { return name->text() == QStringLiteral("无地址2"); }))
        << name->text().toStdString();
    ASSERT_TRUE(xdo_.Click(editor->findChild<QPushButton*>("btnSave")));
    ASSERT_TRUE(WaitUntil([&] { return !messages.Messages().empty(); }));
    EXPECT_EQ(messages.Messages()[0].text,
              "需要输入合法的rtmp推流地址\r\nrtmp推流地址需要以  rtmp://  开始，请重新输入");
    EXPECT_EQ(messages.Messages()[0].icon, TMsgIcon::Warning);
    EXPECT_EQ(test::ReadFile(planFile), before);
    SaveScreen("menus-plan-without-address");
    // Closing asks whether to save the change; the cautious answer keeps it
    // unsaved and closes.
    editor->close();
    ASSERT_TRUE(WaitUntil([&] { return test::PlanEditorOf(win_.get()) == nullptr; }));
    EXPECT_EQ(test::ReadFile(planFile), before);
}

// Device discovery that cannot start says so once: on entering capture, not
// again when the bar's connect button asks for another search. Run inside a
// private network namespace with its loopback down, where no multicast can
// leave and joining the group fails (see the ctest entry).
TEST_F(WindowMenusTest, ADiscoveryThatCannotStartIsReportedOnce) {
    // Nothing but a loopback in this namespace: no probe can leave it.
    std::string interfaces = test::ReadFile("/proc/self/net/dev");
    int others = 0;
    for (size_t at = interfaces.find(':'); at != std::string::npos;
         at = interfaces.find(':', at + 1)) {
        const size_t start = interfaces.rfind('\n', at) + 1;
        const std::string name = interfaces.substr(start, at - start);
        others += name.find("lo") == std::string::npos ? 1 : 0;
    }
    const bool privateNet = others == 0;
    if (!privateNet) {
        if (std::getenv("TAVRIN_PRIVATE_NET") != nullptr) {
            FAIL() << "not in a private network namespace";
        }
        GTEST_SKIP() << "discovery probes only inside a private network namespace";
    }
    ::unsetenv("TAVRIN_NO_DISCOVERY");
    TMessageRecorder messages;
    Open();
    ASSERT_EQ(win_->CurrentWorkMode(), kModeCapture);
    ASSERT_TRUE(WaitUntil([&] { return !messages.Messages().empty(); }));
    ClickButton(TBar::Capture, 55);
    Pump(300);
    ClickButton(TBar::Capture, 55);
    Pump(300);
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].text,
              "启用设备发现功能失败，您将不能再使用发现功能！\n\r错误原因：无法进行UDP组播");
    EXPECT_EQ(messages.Messages()[0].icon, TMsgIcon::Warning);
    EXPECT_EQ(win_->CurrentWorkMode(), kModeCapture);
}

} // namespace
} // namespace tavrin
