// One lesson directed twice: once by a lesson script as tavrin-cli plays
// it, once by a person at the window (pane clicks, the channel menu, a drag
// and keys through the X server). Both front ends must make the same
// director calls, so a button and a script line cannot drift apart.
#include "app/CutGesture.h"
#include "app/DispPanel.h"
#include "app/FMain.h"
#include "base/Message.h"
#include "cli/LessonScript.h"
#include "cli/ScriptDirector.h"
#include "sources/CManager.h"
#include "sources/CaptureSession.h"
#include "tests/app/ConsoleWindowTest.h"
#include "tests/app/WindowTestSupport.h"
#include "tests/base/TempDir.h"
#include "tests/support/TestMedia.h"
#include "tests/support/ui/GuiTestEnv.h"

#include <QMenu>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>

namespace tavrin {
namespace {

using test::Pump;
using test::SaveScreen;
using test::TempDir;
using test::TRoomyDrives;
using test::TXdo;
using test::WaitUntil;

constexpr int32_t kLesson = 104;

// Every channel shows pictures (the decoders can take a cut).
bool AllLive(TCManager& m, int nChannels) {
    std::vector<bool> live(size_t(nChannels) + 1, false);
    const bool all = WaitUntil(
        [&] {
            bool all = true;
            for (int ch = 1; ch <= nChannels; ++ch) {
                uint32_t v = 0;
                uint32_t a = 0;
                int type = 0;
                bool videoOK = false;
                bool audioOK = false;
                live[size_t(ch)] =
                    live[size_t(ch)] ||
                    (m.GetAVCounterThisperiod(ch, v, a, type, videoOK, audioOK) > 0 && videoOK);
                all = all && live[size_t(ch)];
            }
            return all;
        },
        20000);
    for (int ch = 1; ch <= nChannels; ++ch) {
        TClientInfo info;
        m.GetConInfo(ch, info);
        EXPECT_TRUE(live[size_t(ch)]) << "channel " << ch << " shows nothing: " << info.IP << " "
                                      << info.DeviceType << " " << info.nErrorCode;
    }
    return all;
}

// The calls that direct the lesson. The window's pointer and keyboard also
// keep house, which no script line asks for: selecting a pane switches the
// sound monitor to it and clears its trial rectangle (a click is a drag too
// short to cut), and every key release stops a moving cut area. A drag
// draws its trial rectangle anew at every motion; only the last one counts.
std::vector<std::string> Directing(const std::vector<std::string>& calls) {
    const auto starts = [](const std::string& c, const char* verb) {
        return c.rfind(verb, 0) == 0;
    };
    const auto channelOf = [](const std::string& c) { return c.substr(0, c.find(' ', 10)); };
    std::vector<std::string> out;
    for (size_t i = 0; i < calls.size(); ++i) {
        const std::string& c = calls[i];
        const bool stopBeforeCommit = i + 1 < calls.size() && starts(calls[i + 1], "cut-commit ");
        if (starts(c, "monitor ") || (starts(c, "cut-trial ") && c.ends_with(" 0 0 0 0")) ||
            (c == "cut-stop" && !stopBeforeCommit)) {
            continue;
        }
        if (starts(c, "cut-trial ") && !out.empty() && starts(out.back(), "cut-trial ") &&
            channelOf(out.back()) == channelOf(c)) {
            out.back() = c;
            continue;
        }
        out.push_back(c);
    }
    return out;
}

std::string Joined(const std::vector<std::string>& calls) {
    std::string s;
    for (const std::string& c : calls) {
        s += c + "\n";
    }
    return s;
}

class WindowDirectorTest : public test::TConsoleWindowTest {
protected:
    void SetUp() override {
        TConsoleWindowTest::SetUp();
        lesson_.LessionID = kLesson;
        lesson_.TeacherName = "赵老师";
        lesson_.LessionName = "长方形的面积";
        movie_ = dir_.File("movie.mp4");
        ASSERT_TRUE(
            test::Run("ffmpeg -loglevel error -f lavfi -i testsrc2=size=640x360:rate=25 -f lavfi "
                      "-i sine=frequency=440:sample_rate=48000 -t 4 -c:v libx264 -g 25 "
                      "-pix_fmt yuv420p -c:a aac -ac 2 -y " +
                      movie_));
        // A source plays on one channel only: each channel gets its own copy.
        for (int ch = 1; ch <= 3; ++ch) {
            std::filesystem::copy_file(movie_, Movie(ch));
        }
    }

    int Choose(int32_t) override { return kModeCapture; }

    std::string Movie(int ch) const { return dir_.File("movie" + std::to_string(ch) + ".mp4"); }

    QPoint At(QWidget* w, QPoint local) const { return w->mapToGlobal(local); }
    QPoint Local(QWidget* w, double fx, double fy) const {
        return QPoint(int(w->width() * fx), int(w->height() * fy));
    }

    // Right button on a channel's pane, then the menu item at index k.
    void ClickChannelMenuItem(int ch, const std::function<bool(int, QAction*)>& which) {
        ASSERT_TRUE(xdo_.MoveTo(
            At(test::PaneOf(win_.get(), ch), Local(test::PaneOf(win_.get(), ch), 0.5, 0.5))));
        ASSERT_TRUE(xdo_.Run({"click", "3"}));
        ASSERT_TRUE(WaitUntil([&] { return test::OpenMenu() != nullptr; }));
        QMenu* menu = test::OpenMenu();
        QAction* item = nullptr;
        for (int k = 0; k < menu->actions().size() && item == nullptr; ++k) {
            item = which(k, menu->actions()[k]) ? menu->actions()[k] : nullptr;
        }
        ASSERT_NE(item, nullptr);
        ASSERT_TRUE(xdo_.MoveTo(menu->mapToGlobal(menu->actionGeometry(item).center())));
        ASSERT_TRUE(xdo_.Run({"click", "1"}));
        ASSERT_TRUE(WaitUntil([&] { return test::OpenMenu() == nullptr; }));
    }

    void ClickPane(int ch) {
        ASSERT_TRUE(xdo_.Click(test::PaneOf(win_.get(), ch)));
        ASSERT_TRUE(WaitUntil([&] { return win_->Capture()->CurrentPort() == uint32_t(ch); }));
    }

    // Waits until the window made n calls in all.
    bool Calls(size_t n) {
        return WaitUntil([&] { return windowCalls_.size() >= n; }, 5000);
    }

    std::string movie_;
    std::vector<std::string> windowCalls_;
};

TEST_F(WindowDirectorTest, TheWindowAndALessonScriptMakeTheSameDirectorCalls) {
    TMessageRecorder messages;
    win_ = std::make_unique<TFMain>(hooks_);
    ASSERT_TRUE(win_->Started());
    win_->show();
    ASSERT_TRUE(WaitUntil([&] { return win_->CurrentWorkMode() == kModeCapture; }, 8000));
    xdo_.Focus(win_.get());
    TCaptureSession& live = win_->Capture()->Session();
    for (int ch = 1; ch <= 3; ++ch) {
        live.Director().Connect(Movie(ch), ch, kDeviceMp4, true);
    }
    ASSERT_TRUE(AllLive(*live.Manager(), 3));

    // The cut is a drag between two points of channel 2's pane; the script
    // asks for the area the drag covers.
    QWidget* pane2 = test::PaneOf(win_.get(), 2);
    const QPoint from = Local(pane2, 0.2, 0.25);
    const QPoint to = Local(pane2, 0.7, 0.8);
    const TPermilleRect area =
        PermilleRect(from.x(), from.y(), to.x(), to.y(), pane2->width(), pane2->height());
    std::ostringstream script;
    script << "1 combine 1,2\n"
           << "2 swap 1 3\n"
           << "3 audio 2\n"
           << "4 cut 2 " << area.xStart << ' ' << area.yStart << ' ' << area.xEnd << ' '
           << area.yEnd << "\n"
           << "5 uncut 2\n"
           << "6 fullscreen 1\n"
           << "7 esc\n";

    live.SetDirectorLog([this](const std::string& call) { windowCalls_.push_back(call); });
    // combine 1,2: the two channels selected last, by the two-video key.
    ClickPane(1);
    ClickPane(2);
    ASSERT_TRUE(xdo_.Key("f"));
    ASSERT_TRUE(Calls(3)) << Joined(windowCalls_);
    // swap 1 3: channel 1's item in channel 3's menu (after the whole-
    // picture item and a separator).
    ClickChannelMenuItem(3, [](int k, QAction*) { return k == 2; });
    // audio 2: channel 2's menu item.
    ClickChannelMenuItem(2, [](int, QAction* a) { return a->text() == "设为录音通道"; });
    // cut 2: a drag without Ctrl.
    ASSERT_TRUE(xdo_.MoveTo(At(pane2, from)));
    ASSERT_TRUE(xdo_.MouseDown());
    ASSERT_TRUE(xdo_.MoveTo(At(pane2, to)));
    ASSERT_TRUE(xdo_.MouseUp());
    ASSERT_TRUE(WaitUntil([&] { return live.Manager()->GetIfInCut(2); })) << Joined(windowCalls_);
    SaveScreen("d01-cut");
    // uncut 2: the whole-picture key on the selected channel.
    const size_t beforeUncut = windowCalls_.size();
    ASSERT_TRUE(xdo_.Key("a"));
    ASSERT_TRUE(Calls(beforeUncut + 1)) << Joined(windowCalls_);
    // fullscreen 1: the full-screen key on the channel selected last.
    ClickPane(1);
    const size_t beforeFull = windowCalls_.size();
    ASSERT_TRUE(xdo_.Key("g"));
    ASSERT_TRUE(Calls(beforeFull + 2)) << Joined(windowCalls_);
    // esc.
    const size_t beforeEsc = windowCalls_.size();
    ASSERT_TRUE(xdo_.Key("Escape"));
    ASSERT_TRUE(Calls(beforeEsc + 1)) << Joined(windowCalls_);
    Pump(300);
    SaveScreen("d02-after-script");
    live.SetDirectorLog({});
    win_->close();
    win_.reset();

    // The same script as tavrin-cli plays it, on a headless session.
    std::vector<cli::TScriptAction> actions;
    std::string error;
    ASSERT_TRUE(cli::ParseLessonScript(script.str(), 3, actions, error)) << error;
    TCaptureSessionConfig cfg;
    cfg.paths.initialize(dir_.Path() + "/cli-store", "1001");
    cfg.lesson.LessionID = kLesson + 1;
    cfg.nChannels = 3;
    TCaptureSession headless;
    ASSERT_EQ(headless.Start(cfg), 0);
    for (int ch = 1; ch <= 3; ++ch) {
        headless.Director().Connect(Movie(ch), ch, kDeviceMp4, true);
    }
    ASSERT_TRUE(AllLive(*headless.Manager(), 3));
    std::vector<std::string> scriptCalls;
    headless.SetDirectorLog([&](const std::string& call) { scriptCalls.push_back(call); });
    cli::TScriptDirector player(headless.Director(), actions);
    for (const cli::TScriptAction& action : actions) {
        EXPECT_GE(player.Apply(action), 0) << cli::DescribeAction(action);
        Pump(100);
    }
    headless.Stop();

    EXPECT_EQ(Directing(windowCalls_), Directing(scriptCalls))
        << "window:\n"
        << Joined(windowCalls_) << "script:\n"
        << Joined(scriptCalls);
    // The calls are the lesson's, not an empty match.
    EXPECT_EQ(Directing(scriptCalls).size(), 10u) << Joined(scriptCalls);
}

} // namespace
} // namespace tavrin
