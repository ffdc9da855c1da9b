// Message boxes behind ShowMessage, answered through the X server.
#include "base/Message.h"
#include "base/ui/MessageBoxHandler.h"
#include "base/ui/ShellOpen.h"
#include "tests/support/ui/GuiTestEnv.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QTimer>
#include <atomic>
#include <cstdlib>
#include <thread>

namespace tavrin {
namespace {

using test::WhenModalShown;

TEST(MessageBoxText, BreaksLinesAtEitherPairOnly) {
    EXPECT_EQ(MessageBoxText("a\n\rb"), "a\nb");
    EXPECT_EQ(MessageBoxText("a\r\nb"), "a\nb");
    EXPECT_EQ(MessageBoxText("您好：\r\n北区 张三 ，\r\n欢迎"),
              QStringLiteral("您好：\n北区 张三 ，\n欢迎"));
    // Two pairs in a row are two breaks, whichever order they take.
    EXPECT_EQ(MessageBoxText("a\n\r\n\rb"), "a\n\nb");
    EXPECT_EQ(MessageBoxText("a\r\n\r\nb"), "a\n\nb");
    EXPECT_EQ(MessageBoxText("a\nb\rc"), "a\nb\rc");
    EXPECT_EQ(MessageBoxText("end\n\r"), "end\n");
}

class MessageBoxTest : public ::testing::Test {
protected:
    void SetUp() override { InstallMessageBoxHandler(); }
    void TearDown() override {
        SetMessageHandler({});
        SetEndProcessHandler({});
    }
};

QAbstractButton* BoxButton(QWidget* box, QMessageBox::StandardButton which) {
    return static_cast<QMessageBox*>(box)->button(which);
}

TEST_F(MessageBoxTest, ShowsCaptionIconTextAndButtonsAndReturnsTheClickedOne) {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QString cancelText;
    WhenModalShown("QMessageBox", [&](QWidget* w) {
        auto* box = static_cast<QMessageBox*>(w);
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = box->standardButtons();
        cancelText = box->button(QMessageBox::Cancel)->text();
        test::SaveScreen("message-box");
        // A real click on "Cancel" through the server.
        test::TXdo().Click(box->button(QMessageBox::Cancel));
    });
    const TMsgAnswer answer =
        ShowMessage("录像数据文件打不开\n\r请稍后再试", TMsgIcon::Error, TMsgButtons::OkCancel);
    EXPECT_EQ(answer, TMsgAnswer::Cancel);
    EXPECT_EQ(title, "Tavrin");
    EXPECT_EQ(text, QStringLiteral("录像数据文件打不开\n请稍后再试"));
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_EQ(buttons, QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(cancelText, QStringLiteral("取消"));

    WhenModalShown("QMessageBox", [](QWidget* box) { BoxButton(box, QMessageBox::Yes)->click(); });
    EXPECT_EQ(ShowMessage("q", TMsgIcon::Question, TMsgButtons::YesNo), TMsgAnswer::Yes);

    // Esc gives the answer that changes nothing.
    WhenModalShown("QMessageBox", [](QWidget* box) {
        test::TXdo xdo;
        xdo.Focus(box);
        xdo.Key("Escape");
    });
    EXPECT_EQ(ShowMessage("q", TMsgIcon::Question, TMsgButtons::YesNoCancel), TMsgAnswer::Cancel);
}

// A periodic tick that shows a message goes on ticking while the box waits
// for its answer (Qt holds back a timer whose slot is still running): here
// the tick itself answers the box after three more ticks.
TEST_F(MessageBoxTest, ATickThatShowsAMessageGoesOnTickingUntilItIsAnswered) {
    QTimer tick;
    tick.setInterval(20);
    int ticks = 0;
    int ticksAtShow = -1;
    bool answeredByTick = false;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        ++ticks;
        QWidget* box = QApplication::activeModalWidget();
        if (box != nullptr && ticksAtShow < 0) {
            ticksAtShow = ticks;
        } else if (box != nullptr && ticks >= ticksAtShow + 3) {
            answeredByTick = true;
            BoxButton(box, QMessageBox::Ok)->click();
            tick.stop();
        }
        if (ticks == 1) {
            ShowMessageAfterThisEvent("本课程专用录像空间即将耗尽", TMsgIcon::Warning);
        }
    });
    // Whatever happens, the box does not stay up for good.
    QTimer::singleShot(10000, [] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            BoxButton(box, QMessageBox::Ok)->click();
        }
    });
    tick.start();
    QEventLoop loop;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (!tick.isActive()) {
            loop.quit();
        }
    });
    QTimer::singleShot(12000, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_GE(ticksAtShow, 1);
    EXPECT_TRUE(answeredByTick) << "ticks: " << ticks << ", box seen at tick " << ticksAtShow;
}

TEST_F(MessageBoxTest, AWorkerThreadsMessageIsShownOnTheGuiThread) {
    std::atomic<bool> done{false};
    TMsgAnswer answer = TMsgAnswer::Ok;
    bool shownOnGuiThread = false;
    WhenModalShown("QMessageBox", [&](QWidget* box) {
        shownOnGuiThread = box->thread() == qApp->thread();
        BoxButton(box, QMessageBox::Retry)->click();
    });
    std::thread worker([&] {
        answer = ShowMessage("连接中断", TMsgIcon::Warning, TMsgButtons::RetryCancel);
        done = true;
    });
    const bool finished = test::WaitUntil([&] { return done.load(); });
    worker.join();
    ASSERT_TRUE(finished);
    EXPECT_TRUE(shownOnGuiThread);
    EXPECT_EQ(answer, TMsgAnswer::Retry);
}

TEST(ShellOpen, GoesThroughTheInstalledHookUntilItIsRemoved) {
    {
        test::TShellOpenRecorder shell(false);
        EXPECT_FALSE(ShellOpen("/tmp/setupVO.exe"));
        EXPECT_EQ(shell.Opened(), std::vector<std::string>{"/tmp/setupVO.exe"});
        {
            test::TShellOpenRecorder inner;
            EXPECT_TRUE(ShellOpen("https://127.0.0.1/"));
            EXPECT_EQ(inner.Opened().size(), 1u);
        }
        // The inner recorder gave the hook back.
        EXPECT_FALSE(ShellOpen("x"));
        EXPECT_EQ(shell.Opened().size(), 2u);
    }
}

TEST(EndProcessHook, TheWindowedConsoleEndsAtOnceWithSuccess) {
    // A forked copy ends, not this test program with its X server.
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(
        {
            InstallMessageBoxHandler();
            EndProcess();
            std::abort(); // not reached when the hook ended the process
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
} // namespace tavrin
