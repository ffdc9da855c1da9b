// The connection window with real sources behind it: files, an image with
// music, the virtual camera and microphone, simulated phones and a real RTMP
// server.
#include "base/ui/ImageButton.h"
#include "sources/NativeDevice.h"
#include "sources/VideoClient.h"
#include "sources/ui/F_CHConfig.h"
#include "sources/ui/F_ChooseIP.h"
#include "sources/ui/F_Native.h"
#include "tests/base/TempDir.h"
#include "tests/sources/PhoneSim.h"
#include "tests/sources/ui/DialogFixture.h"
#include "tests/support/NginxRtmp.h"
#include "tests/support/TestMedia.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>
#include <QtTest/QTest>
#include <cstdio>

namespace tavrin {
namespace {

using test::AnswerFileDialog;
using test::DialogMedia;
using test::SaveScreenshot;
using test::WaitUntil;
using test::WhenModalShown;

class CHConfig : public test::TDialogFixture {
protected:
    void SetUp() override {
        TDialogFixture::SetUp();
        dialog = std::make_unique<TF_CHConfig>(Accessor());
    }
    void TearDown() override {
        dialog.reset();
        TDialogFixture::TearDown();
    }
    void Open(int ch) {
        dialog->initialize(ch);
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    }
    QString Label() const { return dialog->lab_CH->text(); }
    // Chooses a kind and presses "选择...".
    void Choose(int kind) {
        dialog->Comb_type->setCurrentIndex(kind);
        dialog->Bt_CH->click();
    }

    std::unique_ptr<TF_CHConfig> dialog;
};

TEST_F(CHConfig, Mp4FileConnectsAndShowsOnTheSourcePage) {
    const std::string mp4 = DialogMedia().mp4;
    Open(2);
    EXPECT_EQ(dialog->windowTitle(), "连接");
    EXPECT_EQ(dialog->CurrentPage(), TF_CHConfig::kSourcePage);
    EXPECT_TRUE(dialog->windowFlags().testFlag(Qt::Tool));
    EXPECT_EQ(dialog->Comb_type->currentIndex(), 0);
    EXPECT_EQ(Label(), "");

    // A cancelled file dialog changes nothing.
    AnswerFileDialog("选择MP4视频", "All (*.mp4 *.mkv)", "");
    Choose(3);
    EXPECT_EQ(Info(2).DeviceType, kDeviceNone);
    EXPECT_FALSE(manager.HasRunner(2));

    AnswerFileDialog("选择MP4视频", "All (*.mp4 *.mkv)", mp4);
    Choose(3);
    const TClientInfo info = Info(2);
    EXPECT_EQ(info.DeviceType, kDeviceMp4);
    EXPECT_EQ(info.IP, mp4);
    EXPECT_TRUE(manager.HasRunner(2));
    EXPECT_EQ(manager.SourceResult(2), 0);
    EXPECT_EQ(dialog->Comb_type->currentIndex(), 3);
    EXPECT_EQ(Label(), QString::fromStdString("MP4：" + mp4));
    SaveScreenshot(dialog.get(), "chconfig-mp4");

    // Re-used for another channel: that channel's (empty) state.
    dialog->initialize(1);
    EXPECT_EQ(dialog->Comb_type->currentIndex(), 0);
    EXPECT_EQ(Label(), "");
    dialog->initialize(2);
    EXPECT_EQ(dialog->Comb_type->currentIndex(), 3);
}

// Qt's own file dialog speaks the console's language: its captions and
// buttons in Chinese, read from the widget tree of the dialog that the
// "选择..." button opens through the X server.
TEST_F(CHConfig, TheFileDialogOfTheChannelWindowIsInChinese) {
    Open(2);
    dialog->Comb_type->setCurrentIndex(3);
    test::TXdo xdo;
    ASSERT_TRUE(xdo.Focus(dialog.get()));
    QStringList labels;
    QStringList buttons;
    std::string shot;
    WhenModalShown("QFileDialog", [&](QWidget* w) {
        ASSERT_TRUE(WaitUntil([&] { return w->isVisible(); }));
        test::Pump(300);
        for (const char* name : {"lookInLabel", "fileNameLabel", "fileTypeLabel"}) {
            auto* label = w->findChild<QLabel*>(name);
            labels << (label != nullptr ? label->text() : QString("(no %1)").arg(name));
        }
        for (QPushButton* b :
             w->findChild<QDialogButtonBox*>("buttonBox")->findChildren<QPushButton*>()) {
            buttons << b->text();
        }
        shot = test::SaveScreen("chconfig-file-dialog-zh");
        ASSERT_TRUE(xdo.Focus(w));
        ASSERT_TRUE(xdo.Key("Escape"));
    });
    ASSERT_TRUE(xdo.Click(dialog->Bt_CH));
    ASSERT_TRUE(WaitUntil([&] { return !buttons.isEmpty(); }, 20000));
    ASSERT_TRUE(WaitUntil([&] { return QApplication::activeModalWidget() == nullptr; }));
    EXPECT_FALSE(shot.empty());
    EXPECT_EQ(labels.join('|').toStdString(), "查找范围：|文件名称(&N)：|文件类型：");
    EXPECT_EQ(buttons.join('|').toStdString(), "打开(&O)|取消");
    EXPECT_EQ(Info(2).DeviceType, kDeviceNone); // cancelled: nothing connected
}

TEST_F(CHConfig, ImageConnectsAloneWhenTheMusicIsCancelledAndWithItOtherwise) {
    const auto& m = DialogMedia();
    Open(1);
    AnswerFileDialog("选择图片作为视频源", "JPEG Image File (*.jpg *.jpeg)", m.jpg,
                     [] { AnswerFileDialog("选择MP3背景音乐", "MP3 (*.mp3)", ""); });
    Choose(4);
    TClientInfo info = Info(1);
    EXPECT_EQ(info.DeviceType, kDeviceImage);
    EXPECT_EQ(info.IP, m.jpg);
    EXPECT_EQ(info.Mp3Name, "");
    EXPECT_EQ(manager.SourceResult(1), 0);
    EXPECT_EQ(dialog->Comb_type->currentIndex(), 4);
    EXPECT_EQ(Label(), QString::fromStdString("图片：" + m.jpg + "\nMP3："));

    AnswerFileDialog("选择图片作为视频源", "JPEG Image File (*.jpg *.jpeg)", m.jpg,
                     [m] { AnswerFileDialog("选择MP3背景音乐", "MP3 (*.mp3)", m.mp3); });
    Choose(4);
    info = Info(1);
    EXPECT_EQ(info.DeviceType, kDeviceImage);
    EXPECT_EQ(info.Mp3Name, m.mp3);
    EXPECT_EQ(manager.SourceResult(1), 0);
    EXPECT_EQ(Label(), QString::fromStdString("图片：" + m.jpg + "\nMP3：" + m.mp3));
    SaveScreenshot(dialog.get(), "chconfig-image");

    // The image's pictures reach the channel's worker.
    EXPECT_TRUE(WaitUntil(
        [&] {
            int w = 0, h = 0;
            return manager.Worker(1)->GetWH(w, h) && w == 1920 && h == 1080;
        },
        20000));
}

TEST_F(CHConfig, DesktopAppByAddressReportsItsType) {
    test::TPhoneSim desktop("127.0.18.4", {"--device-type", "1"});
    ASSERT_TRUE(desktop.Ready());
    Open(3);
    WhenModalShown("tavrin::TF_ChooseIP", [](QWidget* w) {
        auto* ip = static_cast<TF_ChooseIP*>(w);
        ip->Edit1->setText("127.0.18.4");
        ip->Button1->click();
    });
    Choose(1);
    EXPECT_EQ(Info(3).IP, "127.0.18.4");
    ASSERT_TRUE(WaitUntil([&] { return Info(3).bConnectOK && Info(3).DeviceType != 0; }, 20000));
    EXPECT_EQ(Info(3).DeviceType, kDeviceDesktop);
    dialog->Button1->click(); // "刷新"
    EXPECT_EQ(dialog->Comb_type->currentIndex(), 1);
    EXPECT_EQ(Label(), "IP地址：127.0.18.4\n设备类型：桌面直播");
}

TEST_F(CHConfig, PhoneAddressTypedThroughTheXServer) {
    test::TPhoneSim phone("127.0.18.3");
    ASSERT_TRUE(phone.Ready());
    Open(1);
    dialog->Comb_type->setCurrentIndex(1);
    test::TXdo xdo;
    QString prefill;
    bool typed = false;
    WhenModalShown("tavrin::TF_ChooseIP", [&](QWidget* w) {
        auto* ip = static_cast<TF_ChooseIP*>(w);
        prefill = ip->Edit1->text();
        SaveScreenshot(ip, "chooseip-prefilled");
        ASSERT_TRUE(xdo.Focus(ip));
        ASSERT_TRUE(xdo.Key("ctrl+a"));
        ASSERT_TRUE(xdo.Type("127.0.18.3"));
        SaveScreenshot(ip, "chooseip-typed");
        typed = ip->Edit1->text() == "127.0.18.3";
        ASSERT_TRUE(xdo.Key("Return"));
    });
    ASSERT_TRUE(xdo.Click(dialog->Bt_CH));
    ASSERT_TRUE(WaitUntil([&] { return typed && Info(1).IP == "127.0.18.3"; }));
    EXPECT_FALSE(prefill.startsWith("127.")) << prefill.toStdString();
    ASSERT_TRUE(WaitUntil([&] { return Info(1).bConnectOK && Info(1).DeviceType != 0; }, 20000));
    EXPECT_EQ(Info(1).DeviceType, kDevicePhone);
    ASSERT_TRUE(xdo.Click(dialog->Button1)); // "刷新"
    EXPECT_EQ(Label(), "IP地址：127.0.18.3\n设备类型：手机终端");
    SaveScreenshot(dialog.get(), "chconfig-phone");
}

TEST_F(CHConfig, CameraAndMicrophoneOpenAtTheChosenSize) {
    Open(2);
    WhenModalShown("tavrin::TF_Native", [](QWidget* w) {
        auto* native = static_cast<TF_Native*>(w);
        ASSERT_EQ(native->CB_camera->currentIndex(), 0);
        ASSERT_EQ(native->CB_Pix->currentText(), "1280x720 (30帧/秒)");
        native->CB_Pix->setCurrentText("640x480 (30帧/秒)");
        native->BtOK->click();
    });
    Choose(2);
    const TClientInfo info = Info(2);
    EXPECT_EQ(info.DeviceType, kDeviceCamera);
    EXPECT_EQ(info.IP, "Virtual Camera");
    EXPECT_EQ(info.AudioDeviceName, "Virtual Microphone");
    EXPECT_EQ(Label(), "视频设备：Virtual Camera\n音频设备：Virtual Microphone");
    EXPECT_EQ(dialog->Comb_type->currentIndex(), 2);
    // 640 x 480 cut to 16:9 from the top.
    int w = 0, h = 0;
    EXPECT_TRUE(WaitUntil([&] { return manager.Worker(2)->GetWH(w, h); }, 20000));
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 360);

    // Cancelled: the channel keeps its source.
    WhenModalShown("tavrin::TF_Native",
                   [](QWidget* w) { static_cast<TF_Native*>(w)->BtCancel->click(); });
    Choose(2);
    EXPECT_EQ(Info(2).IP, "Virtual Camera");
    EXPECT_TRUE(manager.HasRunner(2));
}

TEST_F(CHConfig, UnplayableFileAndUnreachableAddressShowOnTheirChannelsOnly) {
    const auto& m = DialogMedia();
    Open(1);
    AnswerFileDialog("选择MP4视频", "All (*.mp4 *.mkv)", m.junk);
    Choose(3);
    EXPECT_EQ(Info(1).DeviceType, kDeviceMp4);
    EXPECT_LT(manager.SourceResult(1), 0);
    EXPECT_EQ(Label(), QString::fromStdString("MP4：" + m.junk));

    // Nobody listens on 127.0.18.9: the channel reports the lost connection.
    dialog->initialize(2);
    WhenModalShown("tavrin::TF_ChooseIP", [](QWidget* w) {
        auto* ip = static_cast<TF_ChooseIP*>(w);
        ip->Edit1->setText("127.0.18.9");
        ip->Button1->click();
    });
    Choose(1);
    EXPECT_TRUE(WaitUntil([&] { return Info(2).nErrorCode == kConnectLost; }, 20000));
    EXPECT_FALSE(Info(2).bConnectOK);

    // The window and the other channels carry on.
    dialog->initialize(3);
    AnswerFileDialog("选择MP4视频", "All (*.mp4 *.mkv)", m.mp4);
    Choose(3);
    EXPECT_EQ(manager.SourceResult(3), 0);
    EXPECT_EQ(Label(), QString::fromStdString("MP4：" + m.mp4));
    EXPECT_TRUE(messages.Messages().empty());
}

TEST_F(CHConfig, ACameraThatCannotOpenLeavesItsChannelDarkAndTheRestWorking) {
    // The one camera listed is gone by the time it is opened.
    TNativeDevice& devices = TNativeDevice::Instance();
    TNativeDeviceInfo_Video broken = VirtualCameras()[1];
    broken.sName = "Broken Camera";
    broken.path = "no_such_source";
    devices.SetLists({broken}, {});
    struct TRestore {
        ~TRestore() { TNativeDevice::Instance().initialize(); }
    } restore;

    Open(2);
    bool tried = false;
    WhenModalShown("tavrin::TF_Native", [&](QWidget* w) {
        auto* native = static_cast<TF_Native*>(w);
        EXPECT_EQ(native->CB_camera->currentText(), "Broken Camera");
        EXPECT_EQ(native->CB_Mic->count(), 0);
        native->BtTest->click();
        ASSERT_NE(native->VideoTest(), nullptr);
        tried = !native->VideoTest()->IniOK();
        native->BtOK->click();
    });
    Choose(2);
    EXPECT_TRUE(tried) << "the broken camera opened";
    EXPECT_EQ(Info(2).DeviceType, kDeviceCamera);
    EXPECT_EQ(Info(2).IP, "Broken Camera");
    EXPECT_EQ(Label(), "视频设备：Broken Camera\n音频设备：");
    test::Pump(1500);
    int w = 0, h = 0;
    EXPECT_FALSE(manager.Worker(2)->GetWH(w, h)) << "pictures from a camera that cannot open";

    dialog->initialize(3);
    AnswerFileDialog("选择MP4视频", "All (*.mp4 *.mkv)", DialogMedia().mp4);
    Choose(3);
    EXPECT_EQ(manager.SourceResult(3), 0);
    EXPECT_TRUE(WaitUntil([&] { return manager.Worker(3)->GetWH(w, h); }, 20000));
    EXPECT_TRUE(messages.Messages().empty());
}

TEST_F(CHConfig, ProgrammeChannelCanOnlyUseThePushPage) {
    Open(0);
    EXPECT_EQ(dialog->CurrentPage(), TF_CHConfig::kPushPage);
    EXPECT_FALSE(dialog->TabSource->isEnabled());
    EXPECT_TRUE(dialog->TabPush->isEnabled());
    EXPECT_FALSE(dialog->Comb_type->isEnabled());
    EXPECT_FALSE(dialog->Bt_CH->isEnabled());
    EXPECT_FALSE(dialog->Button1->isEnabled());
    EXPECT_TRUE(dialog->Bt_RTMPApp->isEnabled());
    EXPECT_TRUE(dialog->Image11->isEnabled());
    // Pressing the source button anyway connects nothing.
    dialog->Comb_type->setCurrentIndex(3);
    dialog->Bt_CH->click();
    EXPECT_EQ(Info(1).DeviceType, kDeviceNone);
    SaveScreenshot(dialog.get(), "chconfig-programme");

    dialog->hide();
    dialog->initialize(1);
    dialog->show();
    EXPECT_EQ(dialog->CurrentPage(), TF_CHConfig::kSourcePage);
    EXPECT_TRUE(dialog->TabSource->isEnabled());
    EXPECT_TRUE(dialog->Comb_type->isEnabled());
    EXPECT_TRUE(dialog->Bt_CH->isEnabled());

    // Left open after capture mode ended: it shows nothing and sets nothing.
    ASSERT_EQ(manager.ConnectThis(DialogMedia().mp4, 1, kDeviceMp4), -1);
    live = false;
    dialog->initialize(1);
    EXPECT_EQ(dialog->Comb_type->currentIndex(), 0);
    EXPECT_EQ(Label(), "");
    dialog->Image11->click();
    dialog->ME_RTMP->setPlainText("rtmp://127.0.0.1/live/x");
    dialog->Bt_RTMPApp->click();
    live = true;
    TClientSendInfo info;
    sender.GetClientInfo(info);
    EXPECT_FALSE(info.bSetURL);
    EXPECT_TRUE(messages.Messages().empty());
}

TEST_F(CHConfig, PushAddressIsCheckedAndTheButtonTogglesTheLivePush) {
    test::TempDir dir;
    test::NginxRtmp server(dir.Path());
    ASSERT_TRUE(server.Listening());
    // A programme to push: the looping file on channel 1.
    ASSERT_EQ(manager.ConnectThis(DialogMedia().mp4, 1, kDeviceMp4), -1);
    ASSERT_GE(manager.SetCombinePorts({1}, false), 1);
    manager.SetMainPortForAudio(1);

    Open(0);
    EXPECT_EQ(dialog->ME_RTMP->toPlainText(),
              "如果需要将视频直播出去，请在此处输入目标服务器的rtmp推流\n"
              "地址，一个合法的地址以   rtmp://   开始。");
    SaveScreenshot(dialog.get(), "chconfig-push-initial");
    test::TXdo xdo;

    // No address yet: the push button asks for one.
    ASSERT_TRUE(xdo.Click(dialog->Image11));
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{"请先设置推流地址"});
    EXPECT_EQ(dialog->nCurrentClickImageTAGID, -1);

    // The memo's initial text and another scheme are refused.
    dialog->Bt_RTMPApp->click();
    dialog->ME_RTMP->setPlainText("http://127.0.0.1/live/x");
    dialog->Bt_RTMPApp->click();
    const std::string refused = "rtmp推流地址需要以  rtmp://  开始，请重新输入";
    EXPECT_EQ(MessageTexts(), (std::vector<std::string>{"请先设置推流地址", refused, refused}));
    TClientSendInfo info;
    sender.GetClientInfo(info);
    EXPECT_FALSE(info.bSetURL);

    const std::string url = "RtMp://127.0.0.1:" + std::to_string(server.Port()) + "/live/x";
    dialog->ME_RTMP->setPlainText(QString::fromStdString(url + "\n"));
    ASSERT_TRUE(xdo.Click(dialog->Bt_RTMPApp));
    sender.GetClientInfo(info);
    EXPECT_EQ(info.rtmpURL, "rtmp://127.0.0.1:" + std::to_string(server.Port()) + "/live/x");
    EXPECT_TRUE(info.bPause);
    EXPECT_LE(dialog->Image11->PictureState(), 3);

    // Start pushing: the running look, and the server receives the programme.
    ASSERT_TRUE(xdo.Click(dialog->Image11));
    sender.GetClientInfo(info);
    EXPECT_FALSE(info.bPause);
    EXPECT_GE(dialog->Image11->PictureState(), 4);
    EXPECT_EQ(dialog->nCurrentClickImageTAGID, -1);
    SaveScreenshot(dialog.get(), "chconfig-push-running");
    EXPECT_TRUE(WaitUntil(
        [&] {
            sender.GetClientInfo(info);
            return info.bConnectOK && info.nHasSendFrames > 75;
        },
        30000))
        << "sent " << info.nHasSendFrames << ", accepted " << info.nAcceptTotalFrames << ", thrown "
        << info.nThrowFrames << ", queued " << info.nRemainFrames;

    // Re-opened later, the window shows the address in use.
    dialog->hide();
    dialog->ME_RTMP->clear();
    Open(0);
    EXPECT_EQ(dialog->ME_RTMP->toPlainText().toStdString(), info.rtmpURL);
    EXPECT_GE(dialog->Image11->PictureState(), 4);

    // Pause again.
    ASSERT_TRUE(xdo.Click(dialog->Image11));
    sender.GetClientInfo(info);
    EXPECT_TRUE(info.bPause);
    EXPECT_LE(dialog->Image11->PictureState(), 3);

    manager.Destroy();
    sender.Destroy();
    ASSERT_TRUE(server.WaitRecordingClosed("x", 15000));
    const std::string streams = test::Output("ffprobe -v error -show_entries "
                                             "stream=codec_name,width,height -of csv=p=0 '" +
                                             server.Recording("x") + "'");
    EXPECT_NE(streams.find("h264,1280,720"), std::string::npos) << streams;
    EXPECT_NE(streams.find("aac"), std::string::npos) << streams;
}

} // namespace
} // namespace tavrin
