// Where the console's windows open, on the screen size the test program is
// given (TAVRIN_TEST_SCREEN): the sign-in before the console centred on the
// screen, the console centred, every later window centred over the console,
// the wide lesson chooser kept inside the screen, the first layout editor at
// its default rectangle. Windows are opened through the X server.
#include "base/ui/WindowPlacement.h"

#include "app/FMain.h"
#include "base/Message.h"
#include "base/ui/ImageButton.h"
#include "compose/LayoutProject.h"
#include "compose/editor/F_EditProject.h"
#include "compose/editor/FilePickers.h"
#include "compose/editor/PlanEditorLauncher.h"
#include "platform/ui/F_ChooseLession.h"
#include "platform/ui/F_Login.h"
#include "platform/voServer.h"
#include "sources/ui/F_CHConfig.h"
#include "tests/app/ConsoleWindowTest.h"
#include "tests/app/WindowTestSupport.h"
#include "tests/base/TempDir.h"
#include "tests/support/ui/GuiTestEnv.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <filesystem>
#include <gtest/gtest.h>

namespace tavrin {
namespace {

using test::Pump;
using test::SaveScreen;
using test::TempDir;
using test::TRoomyDrives;
using test::TXdo;
using test::WaitUntil;

QRect Screen() {
    return QGuiApplication::primaryScreen()->availableGeometry();
}

std::string SizeName() {
    return std::to_string(Screen().width()) + "x" + std::to_string(Screen().height());
}

// Centred over the anchor within a pixel (odd differences halve down).
void ExpectCentredOver(const QWidget* w, const QRect& anchor, const char* what) {
    const QRect g = w->frameGeometry();
    EXPECT_LE(std::abs(g.center().x() - anchor.center().x()), 1)
        << what << " at " << g.x() << "," << g.y() << " " << g.width() << "x" << g.height();
    EXPECT_LE(std::abs(g.center().y() - anchor.center().y()), 1)
        << what << " at " << g.x() << "," << g.y() << " " << g.width() << "x" << g.height();
}

void ExpectInsideScreen(const QWidget* w, const char* what) {
    const QRect g = w->frameGeometry();
    EXPECT_TRUE(Screen().contains(g)) << what << " at " << g.x() << "," << g.y() << " " << g.width()
                                      << "x" << g.height() << " on " << SizeName();
}

class WindowPlacementTest : public test::TConsoleWindowTest {
protected:
    void SetUp() override {
        TConsoleWindowTest::SetUp();
        ::setenv("TAVRIN_VIRTUAL_DEVICES", "1", 1);
        lesson_.LessionID = 7;
        lesson_.LessionName = "Placement";
    }
    // The chooser always enters capture.
    int Choose(int32_t) override { return kModeCapture; }
};

TEST_F(WindowPlacementTest, WindowsOpenCentredOverTheConsoleAndInsideTheScreen) {
    const QRect screen = Screen();
    TvoServer server;

    // Before the console shows, the sign-in is centred on the screen.
    {
        TF_Login login(server);
        login.open();
        ASSERT_TRUE(WaitUntil([&] { return login.isVisible(); }));
        login.PasswordEdit()->setText("demo1001");
        Pump(200);
        ExpectCentredOver(&login, screen, "sign-in");
        ExpectInsideScreen(&login, "sign-in");
        SaveScreen("sign-in-" + SizeName());
    }

    TMessageRecorder messages;
    win_ = std::make_unique<TFMain>(hooks_);
    ASSERT_TRUE(win_->Started());
    win_->show();
    ASSERT_TRUE(WaitUntil([&] { return win_->isEnabled(); }, 10000));
    ASSERT_EQ(win_->CurrentWorkMode(), kModeCapture);
    Pump(200);
    const QRect console = win_->frameGeometry();
    ExpectCentredOver(win_.get(), screen, "console");
    ExpectInsideScreen(win_.get(), "console");
    xdo_.Focus(win_.get());

    // The lesson chooser, 1380 wide: over the console, shrunk to the screen
    // where it does not fit.
    {
        TF_ChooseLession chooser(server, *win_->Paths(), win_.get());
        chooser.initialize(7);
        chooser.open();
        ASSERT_TRUE(WaitUntil([&] { return chooser.isVisible(); }));
        Pump(200);
        ExpectInsideScreen(&chooser, "chooser");
        if (screen.width() >= 1380) {
            ExpectCentredOver(&chooser, console, "chooser");
            EXPECT_EQ(chooser.width(), 1380);
        } else {
            EXPECT_EQ(chooser.frameGeometry().x(), screen.x());
            EXPECT_LE(std::abs(chooser.frameGeometry().center().y() - console.center().y()), 1);
        }
        SaveScreen("chooser-" + SizeName());
        chooser.reject();
    }

    // The channel window through its bar button.
    ASSERT_TRUE(xdo_.Click(test::BarButton(win_.get(), TBar::Capture, 54)));
    ASSERT_TRUE(WaitUntil([&] { return test::ChannelDialogOf(win_.get())->isVisible(); }));
    Pump(200);
    ExpectCentredOver(test::ChannelDialogOf(win_.get()), console, "channel window");
    ExpectInsideScreen(test::ChannelDialogOf(win_.get()), "channel window");
    SaveScreen("channel-window-" + SizeName());
    test::ChannelDialogOf(win_.get())->close();

    // A message box without a parent, as the message handler shows one.
    {
        QMessageBox box(QMessageBox::Information, "Tavrin", "请先设置推流地址");
        box.open();
        ASSERT_TRUE(WaitUntil([&] { return box.isVisible(); }));
        Pump(200);
        ExpectCentredOver(&box, console, "message box");
        ExpectInsideScreen(&box, "message box");
        SaveScreen("message-" + SizeName());
        box.accept();
    }

    // The first layout editor opens at its default rectangle: 1278 x 581
    // centred on the screen.
    const std::string planFile = dir_.File("plans/placement.kvx");
    {
        std::filesystem::create_directories(dir_.File("plans"));
        TLayoutProject plan;
        ASSERT_EQ(plan.newProject(1001, "placement", planFile), 0);
        ASSERT_EQ(plan.saveProject(), 0);
    }
    struct TPickerAnswer {
        TOpenFilePicker previous;
        ~TPickerAnswer() { SetOpenFilePicker(previous); }
    } answer{SetOpenFilePicker([&](QWidget*, const QString&, const QString&) {
        return QString::fromStdString(planFile);
    })};
    QRect planChooserAt;
    test::WhenModalShown("tavrin::TF_NewProject", [&](QWidget* chooser) {
        planChooserAt = chooser->frameGeometry();
        ASSERT_TRUE(xdo_.Click(chooser->findChild<QPushButton*>("btnOpenFile")));
    });
    ASSERT_TRUE(xdo_.Click(test::BarButton(win_.get(), TBar::Capture, 66)));
    ASSERT_TRUE(WaitUntil([&] { return test::OpenMenu() != nullptr; }));
    QMenu* menu = test::OpenMenu();
    QAction* plans = nullptr;
    for (QAction* a : menu->actions()) {
        plans = a->text() == QStringLiteral("活动方案") ? a : plans;
    }
    ASSERT_NE(plans, nullptr);
    ASSERT_TRUE(xdo_.MoveTo(menu->mapToGlobal(menu->actionGeometry(plans).center())));
    ASSERT_TRUE(xdo_.Run({"click", "1"}));
    ASSERT_TRUE(WaitUntil([&] {
        return test::PlanEditorOf(win_.get()) != nullptr &&
               test::PlanEditorOf(win_.get())->isVisible();
    }));
    Pump(300);
    EXPECT_LE(std::abs(planChooserAt.center().x() - console.center().x()), 1);
    EXPECT_LE(std::abs(planChooserAt.center().y() - console.center().y()), 1);
    const QRect editor = test::PlanEditorOf(win_.get())->geometry();
    const QSize full = QGuiApplication::primaryScreen()->size();
    EXPECT_EQ(editor, QRect((full.width() - 1278) / 2, (full.height() - 581) / 2, 1278, 581));
    ExpectInsideScreen(test::PlanEditorOf(win_.get()), "layout editor");
    SaveScreen("layout-editor-" + SizeName());

    ASSERT_TRUE(win_->close());
    win_.reset();
    for (const auto& m : messages.Messages()) {
        ADD_FAILURE() << "unexpected message: " << m.text;
    }
}

// The pure rule: centred over the anchor, then moved and shrunk into the
// available area.
TEST_F(WindowPlacementTest, CentredInsideMovesAndShrinksIntoTheAvailableArea) {
    const QRect available(0, 0, 1280, 960);
    EXPECT_EQ(CentredInside({416, 412}, {65, 72, 1150, 815}, available), QRect(432, 273, 416, 412));
    // Wider than the console: centred over it, but not left of the screen.
    EXPECT_EQ(CentredInside({1380, 560}, {0, 0, 1150, 815}, {0, 0, 1920, 1080}),
              QRect(0, 127, 1380, 560));
    EXPECT_EQ(CentredInside({1380, 560}, {385, 132, 1150, 815}, {0, 0, 1920, 1080}),
              QRect(270, 259, 1380, 560));
    // Wider than the screen: as wide as the screen.
    EXPECT_EQ(CentredInside({1380, 560}, {65, 72, 1150, 815}, available), QRect(0, 199, 1280, 560));
    // Near the right and bottom edges of an area that does not start at 0.
    EXPECT_EQ(CentredInside({400, 300}, {1200, 900, 200, 100}, {0, 30, 1280, 930}),
              QRect(880, 660, 400, 300));
}

} // namespace
} // namespace tavrin
