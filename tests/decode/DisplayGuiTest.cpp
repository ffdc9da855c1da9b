// Display ports inside real Qt panels on a private X server: what the port
// draws is read back from the port and from a screenshot of the screen.
#include "decode/DispManager.h"
#include "tests/base/TempDir.h"
#include "tests/decode/PortHost.h"
#include "tests/decode/TestPicture.h"
#include "tests/decode/XvfbServer.h"

#include <QApplication>
#include <QImage>
#include <QPalette>
#include <QtTest/QTest>
#include <atomic>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace tavrin {
namespace {

using test::Bt709;
using test::Near;
using test::Rgb;
using test::TPortHost;
using test::TReadBack;

// One X server and one QApplication for the test program.
class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        xvfb = std::make_unique<test::TXvfbServer>();
        ASSERT_TRUE(xvfb->Ok()) << "Xvfb did not start: " << xvfb->Log();
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        app = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override {
        app.reset();
        xvfb.reset();
    }

    static inline int argc = 1;
    static inline char name[] = "decode_gui_tests";
    static inline char* argv[] = {name, nullptr};
    std::unique_ptr<test::TXvfbServer> xvfb;
    std::unique_ptr<QApplication> app;
};

[[maybe_unused]] ::testing::Environment* const kGui =
    ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

// The whole screen as the X server shows it, taken by an outside program.
QImage Screenshot(const std::string& folder) {
    QCoreApplication::processEvents();
    const std::string file = folder + "/screen.png";
    const std::string command = "import -window root '" + file + "' 2>/dev/null";
    if (std::system(command.c_str()) != 0) {
        return {};
    }
    return QImage(QString::fromStdString(file)).convertToFormat(QImage::Format_RGB32);
}

Rgb At(const QImage& image, QPoint p) {
    if (!image.valid(p)) {
        return {-1, -1, -1};
    }
    const QRgb c = image.pixel(p);
    return {qRed(c), qGreen(c), qBlue(c)};
}

class PortInPanel : public ::testing::Test {
protected:
    void Show(TPortHost& host, QPoint where) {
        host.move(where);
        host.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
        QCoreApplication::processEvents();
    }
    int Push(int port, const std::vector<uint8_t>& picture, int pitch,
             const rAudioChannel* level = nullptr) {
        return manager.pushFrame(port, picture.data(), pitch, nullptr, nullptr, nullptr, level);
    }
    // A point of a panel in screen coordinates.
    static QPoint OnScreen(QWidget& panel, int x, int y) { return panel.mapToGlobal(QPoint(x, y)); }

    test::TempDir dir;
    TDispManager manager;
};

TEST_F(PortInPanel, PictureLandsInsideItsPanelOnly) {
    TPortHost host(manager, 2, 2, 320, 180);
    Show(host, {40, 30});
    ASSERT_TRUE(host.CreatePorts(640, 360));
    std::shared_ptr<TDisplay> port = manager.Port(3);
    ASSERT_TRUE(port && port->HasWindow()) << "the port must draw into the panel's window";

    ASSERT_EQ(Push(3, test::QuadrantPicture(640, 360, 640, test::kQuadrants), 640), 3);
    TReadBack drawn(*port, 320, 180, dir.Path());
    for (int q = 0; q < 4; ++q) {
        EXPECT_TRUE(
            Near(drawn.At(80 + (q % 2) * 160, 45 + (q / 2) * 90), Bt709(test::kQuadrants[q])))
            << q;
    }

    const QImage screen = Screenshot(dir.Path());
    ASSERT_FALSE(screen.isNull()) << "import (imagemagick) could not read the screen";
    test::TPortPanel& panel = host.Panel(3);
    for (int q = 0; q < 4; ++q) {
        const QPoint p = OnScreen(panel, 80 + (q % 2) * 160, 45 + (q / 2) * 90);
        EXPECT_TRUE(Near(At(screen, p), Bt709(test::kQuadrants[q])))
            << "quadrant " << q << " on screen at " << p.x() << "," << p.y() << ": "
            << At(screen, p);
    }
    // Corners of the panel belong to the picture; one pixel outside does not.
    EXPECT_TRUE(Near(At(screen, OnScreen(panel, 0, 0)), Bt709(test::kRed)));
    EXPECT_TRUE(Near(At(screen, OnScreen(panel, 319, 179)), Bt709(test::kGrey)));
    EXPECT_EQ(At(screen, OnScreen(panel, -1, 10)), (Rgb{38, 38, 38}));
    EXPECT_EQ(At(screen, OnScreen(panel, 10, -1)), (Rgb{38, 38, 38}));
    EXPECT_EQ(At(screen, OnScreen(panel, 320, 179)), (Rgb{38, 38, 38}));
    // Not drawn at the same spot of the screen or into another panel.
    EXPECT_FALSE(Near(At(screen, QPoint(80, 45)), Bt709(test::kRed)));
    EXPECT_FALSE(Near(At(screen, OnScreen(host.Panel(0), 80, 45)), Bt709(test::kRed)));

    // The grid's ports go from the end only.
    EXPECT_EQ(manager.DropPort(1), -1);
    EXPECT_EQ(manager.Count(), 4);
    EXPECT_EQ(manager.DropPort(3), 3);
    EXPECT_EQ(Push(3, test::SolidPicture(640, 360, test::kBlue), 640), -1);
}

TEST_F(PortInPanel, LevelBarsOfA640x360Port) {
    TPortHost host(manager, 1, 1, 640, 360);
    Show(host, {10, 10});
    ASSERT_TRUE(host.CreatePorts(1280, 720));
    rAudioChannel level;
    level.L = 50;
    level.R = 100;
    ASSERT_EQ(Push(0, test::SolidPicture(1280, 720, test::kGrey), 1280, &level), 0);

    const Rgb bar{0, 150, 0};
    const Rgb grey = Bt709(test::kGrey);
    const QImage screen = Screenshot(dir.Path());
    ASSERT_FALSE(screen.isNull());
    test::TPortPanel& panel = host.Panel(0);
    // Left bar: 180 pixels from the bottom at x = 634; right bar: 360 at x = 637.
    EXPECT_EQ(At(screen, OnScreen(panel, 634, 359)), bar);
    EXPECT_EQ(At(screen, OnScreen(panel, 636, 180)), bar);
    EXPECT_TRUE(Near(At(screen, OnScreen(panel, 635, 179)), grey));
    EXPECT_TRUE(Near(At(screen, OnScreen(panel, 633, 300)), grey));
    EXPECT_EQ(At(screen, OnScreen(panel, 637, 0)), bar);
    EXPECT_EQ(At(screen, OnScreen(panel, 639, 359)), bar);

    TReadBack drawn(*manager.Port(0), 640, 360, dir.Path());
    EXPECT_EQ(drawn.At(634, 180), bar);
    EXPECT_TRUE(Near(drawn.At(634, 179), grey));
    EXPECT_EQ(drawn.At(637, 0), bar);
}

TEST_F(PortInPanel, PausedPortKeepsItsLastPictureOnScreen) {
    TPortHost host(manager, 2, 1, 320, 180);
    Show(host, {20, 20});
    ASSERT_TRUE(host.CreatePorts(320, 180));
    ASSERT_EQ(Push(1, test::SolidPicture(320, 180, test::kRed), 320), 1);
    ASSERT_EQ(manager.ToFullScreen(0), 0);
    ASSERT_EQ(Push(1, test::SolidPicture(320, 180, test::kBlue), 320), 1);
    ASSERT_EQ(Push(0, test::SolidPicture(320, 180, test::kGreen), 320), 0);

    const QImage screen = Screenshot(dir.Path());
    EXPECT_TRUE(Near(At(screen, OnScreen(host.Panel(1), 160, 90)), Bt709(test::kRed)));
    EXPECT_TRUE(Near(At(screen, OnScreen(host.Panel(0), 160, 90)), Bt709(test::kGreen)));

    ASSERT_EQ(manager.UnToFullScreen(0), 0);
    ASSERT_EQ(Push(1, test::SolidPicture(320, 180, test::kBlue), 320), 1);
    EXPECT_TRUE(
        Near(At(Screenshot(dir.Path()), OnScreen(host.Panel(1), 160, 90)), Bt709(test::kBlue)));
}

TEST_F(PortInPanel, UncoveredPanelGetsItsLastPictureBack) {
    // A window closed over a pane whose source stands still (a paused
    // replay, a file at its end): the pane shows its picture again.
    TPortHost host(manager, 2, 1, 320, 180);
    Show(host, {20, 20});
    ASSERT_TRUE(host.CreatePorts(320, 180));
    const auto window = TNativeWindow(host.Panel(0).winId());
    EXPECT_EQ(manager.RedrawWindow(window), 0) << "nothing drawn yet";
    ASSERT_EQ(Push(0, test::SolidPicture(320, 180, test::kRed), 320), 0);

    QWidget cover;
    cover.setWindowFlags(Qt::FramelessWindowHint);
    cover.setAutoFillBackground(true);
    cover.setPalette(QPalette(Qt::yellow));
    cover.setGeometry(QRect(OnScreen(host.Panel(0), 40, 40), QSize(200, 100)));
    cover.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&cover));
    const QPoint covered = OnScreen(host.Panel(0), 100, 80);
    ASSERT_TRUE(Near(At(Screenshot(dir.Path()), covered), {255, 255, 0}));
    cover.hide();
    QTest::qWait(100);

    EXPECT_EQ(manager.RedrawWindow(window), 1);
    EXPECT_EQ(manager.RedrawWindow(TNativeWindow(host.Panel(1).winId())), 0);
    EXPECT_TRUE(Near(At(Screenshot(dir.Path()), covered), Bt709(test::kRed)));
}

TEST_F(PortInPanel, PortFollowsAResizedPanel) {
    TPortHost host(manager, 1, 1, 320, 180);
    Show(host, {20, 20});
    ASSERT_TRUE(host.CreatePorts(640, 360));
    host.resize(641 + 1, 361 + 1);
    QCoreApplication::processEvents();
    ASSERT_EQ(host.Panel(0).width(), 640);
    SDL_Rect rect{};
    ASSERT_EQ(manager.GetRect(0, rect), 0);
    EXPECT_EQ(rect.w, 640);
    EXPECT_EQ(rect.h, 360);

    ASSERT_EQ(Push(0, test::QuadrantPicture(640, 360, 640, test::kQuadrants), 640), 0);
    const QImage screen = Screenshot(dir.Path());
    test::TPortPanel& panel = host.Panel(0);
    EXPECT_TRUE(Near(At(screen, OnScreen(panel, 630, 350)), Bt709(test::kGrey)))
        << "the picture fills the grown panel";
    EXPECT_TRUE(Near(At(screen, OnScreen(panel, 630, 10)), Bt709(test::kGreen)));
    EXPECT_TRUE(Near(At(screen, OnScreen(panel, 300, 170)), Bt709(test::kRed)));
}

TEST_F(PortInPanel, TextTexturesOnAPanel) {
    TPortHost host(manager, 1, 1, 640, 360); // the panel only; the port is our own
    Show(host, {0, 0});
    test::TPortPanel& panel = host.Panel(0);
    TDisplay port;
    ASSERT_EQ(port.initialize(TNativeWindow(panel.winId()), 640, 360, {0, 0, 640, 360}, true), 0);
    ASSERT_TRUE(port.HasWindow());
    const TTextSize first = port.newFontTexture("第一课", 1, 0x00FFFF, 20, 20, 36, -1);
    const TTextSize second = port.newFontTexture("Lesson", 0, 0x00FFFF, 20, 120, 36, -1);
    EXPECT_EQ(port.FontTextureIds(), (std::vector<int32_t>{0, 1}));
    ASSERT_GT(first.w, 0);
    ASSERT_GT(second.w, 0);
    const auto grey = test::SolidPicture(640, 360, test::kGrey);
    ASSERT_EQ(port.pushFrame(grey.data(), 640, nullptr, nullptr, nullptr, nullptr), 0);

    const QImage screen = Screenshot(dir.Path());
    int yellow = 0;
    for (int y = 120; y < 120 + second.h; ++y) {
        for (int x = 20; x < 20 + second.w; ++x) {
            yellow += Near(At(screen, OnScreen(panel, x, y)), {255, 255, 0}, 10) ? 1 : 0;
        }
    }
    EXPECT_GT(yellow, 50) << "the second text is drawn in red + green";
    EXPECT_EQ(At(screen, OnScreen(panel, 20 + first.w - 1, 20 + first.h / 2)), (Rgb{0, 255, 0}))
        << "the selected text is outlined";
    EXPECT_EQ(At(screen, OnScreen(panel, 20, 20 + first.h + 10)), (Rgb{0, 0, 255}))
        << "guide down the shared left edge";
}

TEST_F(PortInPanel, WorkersDrawTheirPortsAtTheSameTime) {
    // Channel workers push from their own threads while the GUI resizes.
    TPortHost host(manager, 3, 1, 240, 135);
    Show(host, {0, 0});
    ASSERT_TRUE(host.CreatePorts(320, 180));
    const test::Yuv colours[3] = {test::kRed, test::kGreen, test::kBlue};
    std::vector<std::thread> workers;
    std::atomic<int> failures{0};
    for (int port = 0; port < 3; ++port) {
        workers.emplace_back([&, port] {
            const auto grey = test::SolidPicture(320, 180, test::kGrey);
            const auto last = test::SolidPicture(320, 180, colours[port]);
            for (int i = 0; i < 60; ++i) {
                failures += Push(port, i == 59 ? last : grey, 320) == port ? 0 : 1;
            }
        });
    }
    for (int i = 0; i < 10; ++i) {
        host.resize(host.width() + 3, host.height() + 3);
        QCoreApplication::processEvents();
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    EXPECT_EQ(failures.load(), 0);
    // Redraw once more at the final size, then every panel shows its own colour.
    for (int port = 0; port < 3; ++port) {
        ASSERT_EQ(Push(port, test::SolidPicture(320, 180, colours[port]), 320), port);
    }
    const QImage screen = Screenshot(dir.Path());
    for (int port = 0; port < 3; ++port) {
        test::TPortPanel& panel = host.Panel(port);
        EXPECT_TRUE(Near(At(screen, OnScreen(panel, panel.width() - 2, panel.height() - 2)),
                         Bt709(colours[port])))
            << port << " panel " << panel.width() << "x" << panel.height() << " rect "
            << manager.Port(port)->GetRect().w << "x" << manager.Port(port)->GetRect().h
            << " centre " << At(screen, OnScreen(panel, 5, 5)) << " corner "
            << At(screen, OnScreen(panel, panel.width() - 2, panel.height() - 2));
    }
}

TEST_F(PortInPanel, PortFreedAfterItsPanelIsGone) {
    auto host = std::make_unique<TPortHost>(manager, 1, 1, 160, 90);
    Show(*host, {0, 0});
    ASSERT_TRUE(host->CreatePorts(160, 90));
    ASSERT_EQ(Push(0, test::SolidPicture(160, 90, test::kRed), 160), 0);
    host.reset();
    QCoreApplication::processEvents();
    QTest::qWait(50);
    // Freeing the port must not take the process down with an X error.
    manager.Destroy();
    EXPECT_EQ(manager.Count(), 0);
}

TEST_F(PortInPanel, PortOnAPanelNotShownYet) {
    // The console creates its panes and ports before it shows them.
    TPortHost host(manager, 1, 1, 320, 180);
    ASSERT_TRUE(host.CreatePorts(320, 180));
    Show(host, {30, 30});
    ASSERT_EQ(Push(0, test::SolidPicture(320, 180, test::kBlue), 320), 0);
    EXPECT_TRUE(
        Near(At(Screenshot(dir.Path()), OnScreen(host.Panel(0), 160, 90)), Bt709(test::kBlue)));
}

} // namespace
} // namespace tavrin
