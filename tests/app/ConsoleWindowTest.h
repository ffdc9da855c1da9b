// The set-up the console window's tests share: a fresh folder with vo.ini
// and the store beneath it, no device discovery, silent audio, user 1001
// signed in, a lesson chooser that answers from a queue (and remembers the
// lesson it was shown with), the window and the X pointer.
#pragma once

#include "app/FMain.h"
#include "sources/CManager.h"
#include "tests/app/WindowTestSupport.h"
#include "tests/base/TempDir.h"
#include "tests/support/ui/GuiTestEnv.h"

#include <cstdlib>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace tavrin::test {

class TConsoleWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("TAVRIN_NO_DISCOVERY", "1", 1);
        ::setenv("SDL_AUDIODRIVER", "dummy", 1);
        WriteIni(3, 1150, 815);
        hooks_.iniPath = dir_.File("vo.ini");
        hooks_.drives = &drives_;
        hooks_.SignIn = [](int32_t& user) {
            user = 1001;
            return true;
        };
        hooks_.ChooseLession = [this](int32_t current, Tvo_FromServer& chosen) {
            chooserShownWith_.push_back(current);
            const int mode = Choose(current);
            if (mode != 0) {
                chosen.LI = lesson_;
            }
            return mode;
        };
    }

    // The chooser's answer: the next queued mode, 0 (nothing chosen) when
    // the queue is empty.
    virtual int Choose(int32_t /*current*/) {
        if (choices_.empty()) {
            return 0;
        }
        const int mode = choices_.front();
        choices_.pop_front();
        return mode;
    }

    void WriteIni(int channels, int width, int height) {
        WriteFile(dir_.File("vo.ini"),
                  "[StorePath]\nRootPath=" + dir_.Path() + "/store\n[ClientCount]\nCount=" +
                      std::to_string(channels) + "\n[WindowSize]\nwidth=" + std::to_string(width) +
                      "\nheight=" + std::to_string(height) + "\n");
    }

    // Shows the window with the chooser answering mode first and waits for
    // the first tick to have entered it.
    void Open(int mode, int timeoutMs = 10000) {
        choices_.push_back(mode);
        win_ = std::make_unique<TFMain>(hooks_);
        ASSERT_TRUE(win_->Started());
        win_->show();
        ASSERT_TRUE(WaitUntil([&] { return win_->isEnabled(); }, timeoutMs));
        xdo_.Focus(win_.get());
    }

    TCManager& Manager() { return *win_->Capture()->Session().Manager(); }
    std::vector<int32_t> Programme() {
        std::vector<int32_t> ports;
        Manager().GetCombinePorts(ports);
        return ports;
    }

    TempDir dir_;
    TRoomyDrives drives_;
    TMainHooks hooks_;
    TLessionInfo lesson_; // what the chooser chooses
    std::deque<int> choices_;
    std::vector<int32_t> chooserShownWith_;
    std::unique_ptr<TFMain> win_;
    TXdo xdo_;
};

} // namespace tavrin::test
