// Image buttons: their pictures, and the picture rules under real pointer
// input through the X server.
#include "base/ui/ImageButton.h"

#include "tests/support/ui/GuiTestEnv.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QImage>
#include <QTimer>

namespace tavrin {
namespace {

struct TTagSet {
    int tag;
    int states;
};

// Every button of the console: the two bars, the push button of the channel
// dialog and the chooser's record and replay buttons.
const TTagSet kButtons[] = {{1, 3},  {2, 3},  {3, 3},  {65, 3}, {4, 6},  {6, 3},
                            {9, 6},  {52, 3}, {54, 3}, {55, 3}, {66, 3}, {20, 3},
                            {21, 3}, {22, 3}, {23, 3}, {10, 6}, {60, 3}, {50, 3}};

TEST(ImageButtonPictures, EveryButtonHasDistinctPicturesForEachStateAndAChineseTooltip) {
    for (const TTagSet& b : kButtons) {
        SCOPED_TRACE(b.tag);
        QImage first;
        std::vector<QImage> seen;
        for (int state = 1; state <= b.states; ++state) {
            const QImage picture = TImageButton::Picture(b.tag, state).toImage();
            ASSERT_FALSE(picture.isNull()) << TImageButton::PictureName(b.tag, state).toStdString();
            if (state == 1) {
                first = picture;
            }
            EXPECT_EQ(picture.size(), first.size());
            for (const QImage& other : seen) {
                EXPECT_NE(picture, other) << "state " << state << " looks like an earlier one";
            }
            seen.push_back(picture);
        }
        const QString tip = TImageButton::DefaultToolTip(b.tag);
        ASSERT_FALSE(tip.isEmpty());
        EXPECT_GE(tip.front().unicode(), 0x2E80u) << "tooltip should be Chinese";
    }
    EXPECT_EQ(TImageButton::PictureName(10, 1), "PNG_101");
    EXPECT_EQ(TImageButton::PictureName(65, 3), "PNG_653");
}

TEST(ImageButtonPictures, RunningLookAndLatchedButtonsPickTheirPictures) {
    TImageButton record(4);
    EXPECT_EQ(record.PictureName(), "PNG_41");
    record.SetRunning(true);
    EXPECT_EQ(record.PictureName(), "PNG_44");
    record.ShowState(3);
    EXPECT_EQ(record.PictureName(), "PNG_46");
    record.ShowState(9); // out of range: pressed at most
    EXPECT_EQ(record.PictureState(), 6);

    TImageButton ptz(6);
    ptz.SetLatched(true);
    ptz.ShowState(2);
    EXPECT_EQ(ptz.PictureName(), "PNG_63");
    ptz.SetLatched(false);
    EXPECT_EQ(ptz.PictureName(), "PNG_62");
}

class ImageButtonInput : public ::testing::Test {
protected:
    void SetUp() override {
        auto* row = new QHBoxLayout(&window);
        button = new TImageButton(52, &window, &nCurrentClickImageTAGID);
        other = new TImageButton(66, &window, &nCurrentClickImageTAGID);
        row->addWidget(button);
        row->addSpacing(60);
        row->addWidget(other);
        window.show();
        ASSERT_TRUE(test::WaitUntil([&] { return window.isVisible(); }));
        test::Pump(100);
        QObject::connect(button, &QAbstractButton::clicked, [this] { ++clicks; });
    }

    QWidget window;
    TImageButton* button = nullptr;
    TImageButton* other = nullptr;
    int nCurrentClickImageTAGID = -1;
    int clicks = 0;
    test::TXdo xdo;
};

TEST_F(ImageButtonInput, EnterLeavePressAndReleaseDrawTheirPictures) {
    ASSERT_TRUE(xdo.MoveTo(button));
    EXPECT_TRUE(test::WaitUntil([&] { return button->PictureState() == 2; }));
    ASSERT_TRUE(xdo.MouseDown());
    EXPECT_TRUE(test::WaitUntil([&] { return button->PictureState() == 3; }));
    EXPECT_FALSE(test::SaveScreenshot(&window, "image-button-pressed").empty());
    ASSERT_TRUE(xdo.MouseUp());
    EXPECT_TRUE(test::WaitUntil([&] { return clicks == 1; }));
    EXPECT_EQ(button->PictureState(), 2);
    ASSERT_TRUE(xdo.MoveTo(other));
    EXPECT_TRUE(test::WaitUntil([&] { return button->PictureState() == 1; }));
    EXPECT_EQ(other->PictureState(), 2);
    EXPECT_EQ(nCurrentClickImageTAGID, -1);
}

TEST_F(ImageButtonInput, AClickThatOpenedAModalWindowOnlyForgetsTheClickOnRelease) {
    bool sawTagWhileModal = false;
    QObject::connect(button, &QAbstractButton::clicked, [&] {
        button->RememberClick();
        QDialog modal(&window);
        QTimer::singleShot(150, &modal, [&] {
            sawTagWhileModal = nCurrentClickImageTAGID == 52;
            modal.reject();
        });
        modal.exec();
        button->ShowState(1);
    });
    ASSERT_TRUE(xdo.Click(button));
    ASSERT_TRUE(test::WaitUntil([&] { return clicks == 1; }));
    test::Pump(100);
    EXPECT_TRUE(sawTagWhileModal);
    EXPECT_EQ(nCurrentClickImageTAGID, -1);
    // The other button's release is untouched by that click.
    ASSERT_TRUE(xdo.Click(other));
    EXPECT_TRUE(test::WaitUntil([&] { return other->PictureState() == 2; }));
    EXPECT_EQ(nCurrentClickImageTAGID, -1);
}

} // namespace
} // namespace tavrin
