#include "tests/support/ui/GuiTestEnv.h"

#include "base/ui/CarbonStyle.h"
#include "base/ui/QtTranslations.h"
#include "base/ui/ShellOpen.h"
#include "base/ui/WindowPlacement.h"
#include "tests/decode/XvfbServer.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QtTest/QTest>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace tavrin::test {

namespace {

std::string ProgramName() {
    return QFileInfo(QStringLiteral("/proc/self/exe"))
        .symLinkTarget()
        .section('/', -1)
        .toStdString();
}

} // namespace

TGuiTestEnvironment::TGuiTestEnvironment() = default;
TGuiTestEnvironment::~TGuiTestEnvironment() = default;

void TGuiTestEnvironment::SetUp() {
    // A test program may ask for the size of a particular screen.
    int w = 1600;
    int h = 1000;
    if (const char* size = std::getenv("TAVRIN_TEST_SCREEN")) {
        std::sscanf(size, "%dx%d", &w, &h);
    }
    xvfb_ = std::make_unique<TXvfbServer>(w, h);
    ASSERT_TRUE(xvfb_->Ok()) << "Xvfb did not start: " << xvfb_->Log();
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    // Keeps the desktop's portal and accessibility out of the private server.
    ::setenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "0", 1);
    static std::string name = ProgramName();
    static char* argv[] = {name.data(), nullptr};
    static int argc = 1;
    app_ = std::make_unique<QApplication>(argc, argv);
    // The windows under test look, speak and open where the console's do.
    ApplyCarbonStyle(*app_);
    InstallQtTranslations();
    InstallWindowPlacement();
}

void TGuiTestEnvironment::TearDown() {
    app_.reset();
    xvfb_.reset();
}

std::string TestOutputDir() {
    const std::string dir = std::string(TAVRIN_TEST_OUTPUT_DIR) + "/" + ProgramName();
    QDir().mkpath(QString::fromStdString(dir));
    return dir;
}

std::string SaveScreenshot(QWidget* widget, const std::string& name) {
    Pump(30);
    const std::string path = TestOutputDir() + "/" + name + ".png";
    return widget->grab().save(QString::fromStdString(path), "PNG") ? path : std::string();
}

std::string SaveScreen(const std::string& name) {
    Pump(30);
    QScreen* screen = QGuiApplication::primaryScreen();
    const std::string path = TestOutputDir() + "/" + name + ".png";
    return screen != nullptr && screen->grabWindow(0).save(QString::fromStdString(path), "PNG")
               ? path
               : std::string();
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) {
            return false;
        }
        QTest::qWait(10);
    }
    return true;
}

void Pump(int ms) {
    QTest::qWait(ms);
}

void WhenModalShown(const char* className, std::function<void(QWidget*)> fn) {
    auto* timer = new QTimer(qApp);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(timer, &QTimer::timeout, timer,
                     [timer, clock, cls = std::string(className), fn = std::move(fn)] {
                         QWidget* modal = QApplication::activeModalWidget();
                         if (modal != nullptr && modal->isVisible() &&
                             modal->inherits(cls.c_str())) {
                             timer->stop();
                             timer->deleteLater();
                             fn(modal);
                         } else if (clock->elapsed() > 20000) {
                             ADD_FAILURE() << "no modal " << cls << " showed up";
                             timer->stop();
                             timer->deleteLater();
                         }
                     });
    timer->start(20);
}

struct TShellOpenRecorder::Store {
    mutable std::mutex lock;
    std::vector<std::string> opened;
};

TShellOpenRecorder::TShellOpenRecorder(bool answer) : store_(std::make_shared<Store>()) {
    auto store = store_;
    previous_ = SetShellOpenHook([store, answer](const std::string& what) {
        std::lock_guard<std::mutex> lock(store->lock);
        store->opened.push_back(what);
        return answer;
    });
}

TShellOpenRecorder::~TShellOpenRecorder() {
    SetShellOpenHook(std::move(previous_));
}

std::vector<std::string> TShellOpenRecorder::Opened() const {
    std::lock_guard<std::mutex> lock(store_->lock);
    return store_->opened;
}

} // namespace tavrin::test
