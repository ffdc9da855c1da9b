// The progress window, alone and as the store preparation shows it.
#include "base/ui/F_progress.h"
#include "tests/support/ui/GuiTestEnv.h"

#include <QApplication>
#include <QScreen>

namespace tavrin {
namespace {

TEST(F_progress, IsASmallBorderlessTopWindowCentredOnTheScreen) {
    TF_progress progress;
    progress.show();
    progress.initialize(QStringLiteral("正在准备录课数据..."), 40);
    EXPECT_EQ(progress.Text(), QStringLiteral("正在准备录课数据..."));
    EXPECT_EQ(progress.Pos(), 40);
    progress.setPos(75);
    EXPECT_EQ(progress.Pos(), 75);
    EXPECT_EQ(progress.size(), QSize(356, 61));
    EXPECT_TRUE(progress.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(progress.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(progress.windowTitle(), "Tavrin");
    const QPoint centre = QGuiApplication::primaryScreen()->geometry().center();
    EXPECT_LE((progress.frameGeometry().center() - centre).manhattanLength(), 2);
    EXPECT_FALSE(test::SaveScreenshot(&progress, "progress").empty());
}

TEST(StorePrepareProgress, ShowsOnlyWhileZerosAreWrittenAndOutlivesItsOwner) {
    std::function<void(int)> report;
    {
        TStorePrepareProgress fast;
        fast.Callback()(100); // allocated at once: nothing to show
        EXPECT_FALSE(fast.WasShown());
    }
    {
        TStorePrepareProgress slow;
        report = slow.Callback();
        report(1);
        ASSERT_TRUE(slow.WasShown());
        TF_progress* shown = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* p = qobject_cast<TF_progress*>(w); p != nullptr && p->isVisible()) {
                shown = p;
            }
        }
        ASSERT_NE(shown, nullptr);
        EXPECT_EQ(shown->Text(), QStringLiteral("正在准备录课数据..."));
        report(57);
        EXPECT_EQ(shown->Pos(), 57);
        report(100);
        for (QWidget* w : QApplication::topLevelWidgets()) {
            EXPECT_EQ(qobject_cast<TF_progress*>(w), nullptr) << "window still there at 100";
        }
    }
    // A late report after the owner is gone does nothing.
    report(30);
    for (QWidget* w : QApplication::topLevelWidgets()) {
        EXPECT_EQ(qobject_cast<TF_progress*>(w), nullptr);
    }
}

} // namespace
} // namespace tavrin
