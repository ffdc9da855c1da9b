// The address dialog, the local device check with the virtual camera and
// microphone, and the position dialog of a playing MP4 channel.
#include "sources/AudioClient.h"
#include "sources/VideoClient.h"
#include "sources/ui/AddressCheck.h"
#include "sources/ui/F_ChooseIP.h"
#include "sources/ui/F_Mp4Adjust.h"
#include "sources/ui/F_Native.h"
#include "tests/sources/ui/DialogFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QtTest/QTest>

namespace tavrin {
namespace {

using test::DialogMedia;
using test::SaveScreenshot;
using test::WaitUntil;

TEST(ChooseIP, RefusesBadAddressesAndAcceptsFourParts) {
    TMessageRecorder messages;
    {
        TF_ChooseIP dialog;
        EXPECT_EQ(dialog.windowTitle(), "Tavrin");
        EXPECT_FALSE(dialog.bIP);
        // This PC's prefix, never the loopback the host name resolves to.
        EXPECT_EQ(dialog.Edit1->text().toStdString(), LocalAddressPrefix(ReadInterfaceAddresses()));
        EXPECT_FALSE(dialog.Edit1->text().startsWith("127."));
        EXPECT_TRUE(dialog.Button1->isDefault());
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        test::Pump(30);
        // Ready for the last part: the prefix is not selected, the caret after it.
        EXPECT_FALSE(dialog.Edit1->hasSelectedText());
        EXPECT_EQ(dialog.Edit1->cursorPosition(), dialog.Edit1->text().size());
        SaveScreenshot(&dialog, "chooseip");

        for (const char* bad : {"192.168.1.256", "10.0.0", "1.2.3.4.", ""}) {
            dialog.Edit1->setText(bad);
            dialog.Button1->click();
            EXPECT_FALSE(dialog.bIP) << bad;
            EXPECT_TRUE(dialog.isVisible()) << bad;
        }
        const auto shown = messages.Messages();
        ASSERT_EQ(shown.size(), 4u);
        for (const auto& m : shown) {
            EXPECT_EQ(m.text, "IP地址不合法，请重新输入");
        }
    }
    for (const char* good : {"0.0.0.0", "255.255.255.255", " 127.0.0.5 ", "010.0.0.1"}) {
        TF_ChooseIP dialog;
        dialog.show();
        dialog.Edit1->setText(good);
        dialog.Button1->click();
        EXPECT_TRUE(dialog.bIP) << good;
        EXPECT_FALSE(dialog.isVisible()) << good;
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(dialog.sIP, CanonicalIPv4(QString(good).trimmed().toStdString()));
    }
    EXPECT_EQ(messages.Messages().size(), 4u);

    TF_ChooseIP cancelled;
    cancelled.show();
    cancelled.Edit1->setText("127.0.0.2");
    cancelled.Button2->click();
    EXPECT_FALSE(cancelled.bIP);
    EXPECT_EQ(cancelled.result(), QDialog::Rejected);
}

class Native : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ::setenv("TAVRIN_VIRTUAL_DEVICES", "1", 1); }
};

TEST_F(Native, TryShowsMovingPicturesAndTheLevelAndClosingStopsThem) {
    TF_Native dialog;
    EXPECT_TRUE(dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    ASSERT_EQ(dialog.nVCount, 2);
    ASSERT_EQ(dialog.nACount, 1);
    EXPECT_EQ(dialog.CB_camera->itemText(0), "Virtual Camera");
    EXPECT_EQ(dialog.CB_camera->itemText(1), "Virtual Camera_1");
    EXPECT_EQ(dialog.CB_Mic->itemText(0), "Virtual Microphone");
    // The first camera lists 1280 x 720 once (at its first rate) and
    // 640 x 480; the 1280-wide size is chosen.
    ASSERT_EQ(dialog.CB_Pix->count(), 2);
    EXPECT_EQ(dialog.CB_Pix->itemText(0), "1280x720 (30帧/秒)");
    EXPECT_EQ(dialog.CB_Pix->itemText(1), "640x480 (30帧/秒)");
    EXPECT_EQ(dialog.CB_Pix->currentIndex(), 0);
    dialog.CB_camera->setCurrentIndex(1);
    ASSERT_EQ(dialog.CB_Pix->count(), 1);
    EXPECT_EQ(dialog.CB_Pix->currentText(), "640x480 (30帧/秒)");
    dialog.CB_camera->setCurrentIndex(0);
    EXPECT_TRUE(dialog.CheckBox1->isChecked());
    EXPECT_FALSE(dialog.CheckBox1->isEnabled());

    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(dialog.PBar->value(), 0);
    const QImage before = test::ScreenPixels(dialog.PDisp, "native-panel-before");
    dialog.BtTest->click();
    ASSERT_NE(dialog.VideoTest(), nullptr);
    ASSERT_NE(dialog.AudioTest(), nullptr);
    EXPECT_TRUE(dialog.VideoTest()->IniOK());
    EXPECT_TRUE(dialog.AudioTest()->IniOK());
    ASSERT_TRUE(WaitUntil([&] { return dialog.VideoTest()->FramesPassed() > 10; }));
    const QImage first = test::ScreenPixels(dialog.PDisp, "native-panel-1");
    const int64_t seen = dialog.VideoTest()->FramesPassed();
    ASSERT_TRUE(WaitUntil([&] { return dialog.VideoTest()->FramesPassed() > seen + 12; }));
    const QImage second = test::ScreenPixels(dialog.PDisp, "native-panel-2");
    EXPECT_GT(test::MeanLuma(first), 30.0);
    EXPECT_GT(test::MeanLuma(second), 30.0);
    EXPECT_NE(first, second) << "the test picture moves";
    EXPECT_NE(first, before);
    // The level timer shows the microphone's peak.
    EXPECT_TRUE(WaitUntil([&] { return dialog.PBar->value() > 0; }));
    test::SaveScreen("native-dialog");

    // "使用麦克风" hides and shows the bar.
    dialog.CheckBox1->setChecked(false);
    EXPECT_FALSE(dialog.PBar->isVisible());
    dialog.CheckBox1->setChecked(true);
    EXPECT_TRUE(dialog.PBar->isVisible());

    dialog.BtCancel->click();
    EXPECT_FALSE(dialog.bChooseOK);
    EXPECT_EQ(dialog.VideoTest(), nullptr);
    EXPECT_EQ(dialog.AudioTest(), nullptr);
}

TEST_F(Native, ConfirmStoresTheChoiceForChannelsOpenedLater) {
    TF_Native dialog;
    dialog.show();
    dialog.CB_camera->setCurrentIndex(1);
    dialog.BtTest->click();
    ASSERT_NE(dialog.VideoTest(), nullptr);
    dialog.BtOK->click();
    EXPECT_TRUE(dialog.bChooseOK);
    EXPECT_EQ(dialog.sVideoDeviceName, "Virtual Camera_1");
    EXPECT_EQ(dialog.sAudioDeviceName, "Virtual Microphone");
    EXPECT_EQ(dialog.VideoTest(), nullptr) << "closing stops the test";
    int v = -1, pix = -1, a = -1;
    TNativeDevice::Instance().GetCurrentIndex(v, pix, a, nullptr, nullptr);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(pix, 0);
    EXPECT_EQ(a, 0);
}

class Mp4Adjust : public test::TDialogFixture {
protected:
    int Position() {
        int current = 0, total = 0;
        manager.GetCurrentPos(1, current, total);
        return current;
    }
    // Pauses the channel at 70 s. Reaching it is a matter of playing on from
    // a seek just before it; a pause that lands a second late is retried.
    bool PauseAt70() {
        for (int attempt = 0; attempt < 3; ++attempt) {
            manager.SetCurrentPos(1, 69);
            if (!WaitUntil([&] { return Position() >= 70; }, 10000)) {
                return false;
            }
            manager.setPause(1);
            test::Pump(300);
            if (Position() == 70) {
                return true;
            }
            manager.setPause(1);
        }
        return false;
    }
};

TEST_F(Mp4Adjust, ShowsThePositionLocatesPausesAndSwitchesLooping) {
    ASSERT_EQ(manager.ConnectThis(DialogMedia().mp4, 1, kDeviceMp4), -1);
    ASSERT_EQ(manager.SourceResult(1), 0);
    ASSERT_TRUE(WaitUntil([&] { return Position() >= 1; }, 10000));
    ASSERT_TRUE(PauseAt70());

    TF_Mp4Adjust dialog(Accessor());
    dialog.setCH(1);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(dialog.windowTitle(), "MP4播放位置调整");
    EXPECT_EQ(dialog.t_min->maximum(), 2);
    EXPECT_EQ(dialog.t_min->value(), 1);
    EXPECT_EQ(dialog.t_sec->maximum(), 60);
    EXPECT_EQ(dialog.t_sec->value(), 10);
    EXPECT_EQ(dialog.lab_min->text(), "1/2");
    EXPECT_EQ(dialog.lab_sec->text(), "10/60");
    EXPECT_FALSE(dialog.CB_Cycle->isChecked());
    EXPECT_EQ(dialog.CB_Cycle->text(), "循环播放已关");
    EXPECT_TRUE(dialog.BtLocate->isDefault());
    SaveScreenshot(&dialog, "mp4adjust");

    // Locate 1:40 while paused, then resume: the source plays on from there.
    dialog.t_sec->setValue(40);
    EXPECT_EQ(dialog.lab_sec->text(), "40/60");
    dialog.BtLocate->click();
    test::Pump(300);
    EXPECT_LT(Position(), 100) << "still paused";
    dialog.BtStartStop->click();
    EXPECT_TRUE(WaitUntil([&] { return Position() >= 100; }, 10000));
    EXPECT_LT(Position(), 110);

    // The loop box switches the source's looping.
    dialog.CB_Cycle->click();
    EXPECT_TRUE(manager.GetCycle(1));
    EXPECT_TRUE(dialog.CB_Cycle->isChecked());
    EXPECT_EQ(dialog.CB_Cycle->text(), "循环播放已开");
    dialog.CB_Cycle->click();
    EXPECT_FALSE(manager.GetCycle(1));
    EXPECT_EQ(dialog.CB_Cycle->text(), "循环播放已关");

    // Another showing reads the position anew.
    dialog.hide();
    dialog.show();
    EXPECT_GE(dialog.t_min->value() * 60 + dialog.t_sec->value(), 100);
}

TEST_F(Mp4Adjust, WithoutAnMp4ChannelItShowsNothingAndChangesNothing) {
    TF_Mp4Adjust dialog(Accessor());
    dialog.setCH(2);
    dialog.show();
    EXPECT_EQ(dialog.lab_min->text(), "0/0");
    EXPECT_EQ(dialog.lab_sec->text(), "0/60");
    dialog.CB_Cycle->click();
    EXPECT_FALSE(dialog.CB_Cycle->isChecked());
    dialog.BtLocate->click();
    dialog.BtStartStop->click();
    EXPECT_EQ(Info(2).DeviceType, kDeviceNone);

    // Outside capture mode there is nothing to ask, even for a channel
    // that played a file.
    ASSERT_EQ(manager.ConnectThis(DialogMedia().mp4, 1, kDeviceMp4), -1);
    live = false;
    TF_Mp4Adjust idle(Accessor());
    idle.setCH(1);
    idle.show();
    EXPECT_EQ(idle.lab_min->text(), "0/0");
    idle.CB_Cycle->click();
    idle.BtLocate->click();
    live = true;
    EXPECT_FALSE(manager.GetCycle(1));
}

} // namespace
} // namespace tavrin
