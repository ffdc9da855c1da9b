// The stream settings dialog driven through the X server: the operator's
// clicks choose the option, the lists and "确定"; the choice handed on is
// what the MP4 builder is then given.
#include "mp4/ui/F_PixSet.h"
#include "tests/support/ui/GuiTestEnv.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>
#include <memory>

namespace tavrin {
namespace {

using test::Pump;
using test::SaveScreenshot;
using test::TXdo;

template <typename W> W* Child(QWidget* dialog, const char* name) {
    W* w = dialog->findChild<W*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
}

class PixSetGui : public ::testing::Test {
protected:
    // Shown like the main window shows it, modal but without blocking here.
    void Open(int size, int nSec, int bitrate, int width, int height) {
        dialog = std::make_unique<TF_PixSet>();
        ASSERT_EQ(dialog->SetServerInfo(size, nSec, bitrate, width, height), 0);
        dialog->open();
        ASSERT_TRUE(test::WaitUntil([&] { return dialog->isActiveWindow(); }));
        Pump(100);
    }
    // Opens a list with a click and picks an entry with the keyboard.
    void Choose(const char* list, const QString& keys) {
        auto* box = Child<QComboBox>(dialog.get(), list);
        ASSERT_TRUE(xdo.Click(box));
        ASSERT_TRUE(test::WaitUntil([&] { return box->view()->isVisible(); }));
        Pump(100);
        ASSERT_TRUE(xdo.Key(keys));
        ASSERT_TRUE(xdo.Key("Return"));
        ASSERT_TRUE(test::WaitUntil([&] { return !box->view()->isVisible(); }));
    }
    // A radio button answers clicks on its circle and caption, not on the
    // empty rest of its row: click where a person would.
    void Pick(const char* option) {
        auto* radio = Child<QRadioButton>(dialog.get(), option);
        ASSERT_TRUE(xdo.MoveTo(radio->mapToGlobal(QPoint(8, radio->height() / 2))));
        ASSERT_TRUE(xdo.MouseDown());
        ASSERT_TRUE(xdo.MouseUp());
        ASSERT_TRUE(test::WaitUntil([&] { return radio->isChecked(); })) << option;
    }
    void Press(const char* button) {
        ASSERT_TRUE(xdo.Click(Child<QWidget>(dialog.get(), button)));
        ASSERT_TRUE(test::WaitUntil([&] { return !dialog->isVisible(); }))
            << button << " did not close the dialog";
    }
    QString Text(const char* label) { return Child<QLabel>(dialog.get(), label)->text(); }

    TXdo xdo;
    std::unique_ptr<TF_PixSet> dialog;
};

TEST_F(PixSetGui, ReencodingChoiceFromTheListsWithRealClicks) {
    Open(1043, 45 * 60, 23, 1280, 720);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral(" 生成MP4-设置码流参数"));
    EXPECT_EQ(Text("lab_info"), QStringLiteral("当前录像分辨率为：1280x720\r\n"
                                               "视频压缩码率约为：2.3 M位\r\n"
                                               "MP4文件时长约为：00:45:00\r\n"
                                               "MP4文件大小约为：1043 M"));
    EXPECT_EQ(Child<QRadioButton>(dialog.get(), "rb_mode1")->text(),
              QStringLiteral("只转换片头分辨率到：1920x1080，不改变实际码率与分辨率"));
    auto* pix = Child<QComboBox>(dialog.get(), "CB_PIX");
    auto* rate = Child<QComboBox>(dialog.get(), "CB_Bitbrate");
    EXPECT_EQ(pix->currentText(), QStringLiteral("1280x720"));
    EXPECT_EQ(rate->count(), 21);
    EXPECT_EQ(rate->currentText(), QStringLiteral("1.5"));
    EXPECT_TRUE(Child<QRadioButton>(dialog.get(), "rb_mode0")->isChecked());
    EXPECT_FALSE(pix->isEnabled());
    EXPECT_FALSE(rate->isEnabled());
    EXPECT_EQ(Text("lab_Mp4Size"),
              QStringLiteral("MP4文件大小约为：566  M字节，  转换耗时约为：4  分钟"));
    SaveScreenshot(dialog.get(), "pixset-opened");

    Pick("rb_mode2");
    EXPECT_TRUE(pix->isEnabled());
    EXPECT_TRUE(rate->isEnabled());
    Choose("CB_PIX", "Down");
    EXPECT_EQ(pix->currentText(), QStringLiteral("1920x1080"));
    EXPECT_EQ(Text("lab_Mp4Size"),
              QStringLiteral("MP4文件大小约为：566  M字节，  转换耗时约为：7  分钟"));
    Choose("CB_Bitbrate", "End");
    EXPECT_EQ(rate->currentText(), QStringLiteral("12"));
    EXPECT_EQ(Text("lab_Mp4Size"),
              QStringLiteral("MP4文件大小约为：4200  M字节，  转换耗时约为：7  分钟"));
    SaveScreenshot(dialog.get(), "pixset-reencode");

    Press("btn_ok");
    EXPECT_TRUE(dialog->IsOK());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    const TConvertMode& mode = dialog->GetConvertMode();
    EXPECT_EQ(mode.nMode, 2);
    EXPECT_EQ(mode.nW, 1920);
    EXPECT_EQ(mode.nH, 1080);
    EXPECT_EQ(mode.nBitbrate, 12288000u);
}

TEST_F(PixSetGui, CardsOnlyTakeTheOtherSizeAndCancelGivesNothing) {
    Open(300, 600, 40, 1280, 720);
    Pick("rb_mode1");
    EXPECT_FALSE(Child<QComboBox>(dialog.get(), "CB_PIX")->isEnabled());
    Press("btn_ok");
    EXPECT_TRUE(dialog->IsOK());
    EXPECT_EQ(dialog->GetConvertMode().nMode, 1);
    EXPECT_EQ(dialog->GetConvertMode().nW, 1920);
    EXPECT_EQ(dialog->GetConvertMode().nH, 1080);

    Open(300, 600, 40, 1920, 1080);
    EXPECT_EQ(Child<QComboBox>(dialog.get(), "CB_PIX")->currentText(), QStringLiteral("1920x1080"));
    EXPECT_EQ(Child<QRadioButton>(dialog.get(), "rb_mode1")->text(),
              QStringLiteral("只转换片头分辨率到：1280x720，不改变实际码率与分辨率"));
    Pick("rb_mode2");
    Press("btn_cancel");
    EXPECT_FALSE(dialog->IsOK());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);

    // "确定" on an untouched dialog keeps the recording as it is.
    Open(300, 600, 40, 1920, 1080);
    Press("btn_ok");
    EXPECT_EQ(dialog->GetConvertMode().nMode, 0);
    EXPECT_EQ(dialog->GetConvertMode().nW, 1920);
    EXPECT_EQ(dialog->GetConvertMode().nH, 1080);
}

} // namespace
} // namespace tavrin
