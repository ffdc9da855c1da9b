// Window tests: one private Xvfb per test program and one QApplication with
// the Carbon style on it, screenshots under the build tree and helpers to
// wait for the event loop. Including this header registers the environment.
#pragma once

#include "tests/support/ui/Xdo.h"

#include <QString>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

class QApplication;
class QWidget;

namespace tavrin::test {

class TXvfbServer;

class TGuiTestEnvironment : public ::testing::Environment {
public:
    TGuiTestEnvironment();
    ~TGuiTestEnvironment() override;
    void SetUp() override;
    void TearDown() override;

private:
    std::unique_ptr<TXvfbServer> xvfb_;
    std::unique_ptr<QApplication> app_;
};

inline ::testing::Environment* const kGuiTestEnvironment =
    ::testing::AddGlobalTestEnvironment(new TGuiTestEnvironment);

// "<build>/test-output/<test program>", created on first use.
std::string TestOutputDir();

// Saves the widget as it draws itself into TestOutputDir()/name.png and
// returns the path ("" when it could not be written).
std::string SaveScreenshot(QWidget* widget, const std::string& name);
// The whole X screen as the server shows it (message boxes, stacking).
std::string SaveScreen(const std::string& name);

// Runs the event loop until done() holds or timeoutMs passed; returns done().
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 10000);
// Runs the event loop for a while (lets queued work and X events through).
void Pump(int ms = 50);

// Calls fn from inside the event loop as soon as a modal widget of the given
// class name is up; used to answer a dialog that a call below opens.
void WhenModalShown(const char* className, std::function<void(QWidget*)> fn);

// Records what ShellOpen is asked to open while it lives; answers ok.
class TShellOpenRecorder {
public:
    explicit TShellOpenRecorder(bool answer = true);
    ~TShellOpenRecorder();
    TShellOpenRecorder(const TShellOpenRecorder&) = delete;
    TShellOpenRecorder& operator=(const TShellOpenRecorder&) = delete;

    std::vector<std::string> Opened() const;

private:
    struct Store;
    std::shared_ptr<Store> store_;
    std::function<bool(const std::string&)> previous_;
};

} // namespace tavrin::test
