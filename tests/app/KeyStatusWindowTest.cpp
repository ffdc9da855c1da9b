// The console directed from the keyboard on live sources, through the X
// server with xdotool, and the status lines and pane frames the one-second
// tick leaves on the window, read back from screenshots.
#include "app/CaptureStatus.h"
#include "app/DispPanel.h"
#include "app/FMain.h"
#include "base/Message.h"
#include "output/LessonStoreFormat.h"
#include "output/SaveAV.h"
#include "sources/CManager.h"
#include "sources/ClientThread.h"
#include "tests/app/ConsoleWindowTest.h"
#include "tests/app/WindowTestSupport.h"
#include "tests/base/TempDir.h"
#include "tests/sources/PhoneSim.h"
#include "tests/support/ScenarioSteps.h"
#include "tests/support/TestMedia.h"
#include "tests/support/ui/GuiTestEnv.h"

#include <QComboBox>
#include <QImage>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <unistd.h>

namespace tavrin {
namespace {

using test::Output;
using test::Pump;
using test::SaveScreen;
using test::TempDir;
using test::TRoomyDrives;
using test::TXdo;
using test::WaitUntil;

constexpr int32_t kLesson = 102;

// Pixels of the screenshot inside r (window coordinates) within tol of c.
int CountNear(const QImage& shot, QPoint origin, QRect r, QColor c, int tol) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor p = shot.pixelColor(origin + QPoint(x, y));
            n += std::abs(p.red() - c.red()) <= tol && std::abs(p.green() - c.green()) <= tol &&
                         std::abs(p.blue() - c.blue()) <= tol
                     ? 1
                     : 0;
        }
    }
    return n;
}

// A coarse picture of a pane: mean colours of an 8 x 8 grid.
std::vector<double> Signature(const QImage& shot, QRect r) {
    std::vector<double> s;
    for (int gy = 0; gy < 8; ++gy) {
        for (int gx = 0; gx < 8; ++gx) {
            double sum[3] = {};
            int n = 0;
            for (int y = r.top() + r.height() * gy / 8; y < r.top() + r.height() * (gy + 1) / 8;
                 y += 2) {
                for (int x = r.left() + r.width() * gx / 8; x < r.left() + r.width() * (gx + 1) / 8;
                     x += 2) {
                    const QColor p = shot.pixelColor(x, y);
                    sum[0] += p.red();
                    sum[1] += p.green();
                    sum[2] += p.blue();
                    ++n;
                }
            }
            for (double v : sum) {
                s.push_back(n > 0 ? v / n : 0);
            }
        }
    }
    return s;
}

double Distance(const std::vector<double>& a, const std::vector<double>& b) {
    double d = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        d += (a[i] - b[i]) * (a[i] - b[i]);
    }
    return d;
}

class KeyStatusWindowTest : public test::TConsoleWindowTest {
protected:
    void SetUp() override {
        TConsoleWindowTest::SetUp();
        WriteIni(3, 1400, 900);
        lesson_.LessionID = kLesson;
        lesson_.TeacherName = "李老师";
        lesson_.LessionName = "小数的加法";
    }

    int Choose(int32_t) override { return mode_; }

    TCaptureStatus& Status() { return test::StatusOf(win_.get()); }

    int CutX(int ch) {
        SDL_Rect r{};
        int w = 0;
        int h = 0;
        Manager().Worker(ch)->GetClipRect(r, w, h);
        return r.x;
    }

    // The status text at a place, "" when there is none.
    std::string TextAt(int x, int y) {
        const auto t = Status().TextAt(x, y);
        return t ? t->text : std::string();
    }

    QImage Shot(const std::string& name) {
        Pump(200);
        const std::string path = SaveScreen(name);
        EXPECT_FALSE(path.empty()) << name;
        return QImage(QString::fromStdString(path));
    }

    QRect PaneRect(int i) { return test::PaneOf(win_.get(), i)->geometry(); }

    int mode_ = kModeCapture; // what the lesson chooser answers
};

TEST_F(KeyStatusWindowTest, KeysDirectTheLessonAndStatusLinesTellTheTruth) {
    test::TScenarioSteps steps;
    // Channel 1 shows colour bars, channel 3 a phone's test picture, so the
    // programme tells them apart.
    const std::string movie = dir_.File("bars.mp4");
    ASSERT_TRUE(test::Run("ffmpeg -loglevel error -f lavfi -i smptehdbars=size=1920x1080:rate=25 "
                          "-f lavfi -i sine=frequency=440:sample_rate=48000 -t 4 -c:v libx264 "
                          "-g 25 -pix_fmt yuv420p -c:a aac -ac 2 -y " +
                          movie));
    const std::string phoneIP = "127.21." + std::to_string(getpid() % 250 + 1) + ".3";
    std::optional<test::TPhoneSim> phone;
    phone.emplace(phoneIP);
    ASSERT_TRUE(phone->Ready());

    TAVRIN_STEP(steps, "capture with a movie and a phone");
    TMessageRecorder messages;
    win_ = std::make_unique<TFMain>(hooks_);
    ASSERT_TRUE(win_->Started());
    win_->show();
    ASSERT_TRUE(WaitUntil([&] { return win_->CurrentWorkMode() == kModeCapture; }, 8000));
    xdo_.Focus(win_.get());
    Manager().ConnectThis(movie, 1, kDeviceMp4);
    Manager().SetCycle(1, true);
    Manager().ConnectThis(phoneIP, 3, kDevicePhone);
    const int below = test::GridOf(win_.get()).DispOne.Bottom() + 15;

    TAVRIN_STEP(steps, "the status lines");
    // The status lines: the recording line idle while not recording, the
    // counters of live channels in the normal colour.
    ASSERT_TRUE(WaitUntil(
        [&] {
            const auto c1 = Status().TextAt(890, 15);
            const auto c3 = Status().TextAt(1130, 15);
            return c1 && c3 && c1->colour == kNormalColour && c3->colour == kNormalColour;
        },
        20000));
    EXPECT_EQ(TextAt(11, 15).rfind("录像时长：00:00:00   体积：0M  码流：", 0), 0u)
        << TextAt(11, 15);
    EXPECT_EQ(Status().TextAt(11, 15)->colour, kIdleColour);
    EXPECT_EQ(TextAt(550, 15), "  各通道视频帧:音频帧");
    EXPECT_EQ(TextAt(1010, 15), "          "); // nothing on channel 2
    const QPoint origin = win_->mapToGlobal(QPoint(0, 0));
    QImage shot = Shot("k01-status-lines");
    // Drawn on the window above the panes, in their colours.
    ASSERT_GT(PaneRect(0).top(), 40);
    EXPECT_GT(CountNear(shot, origin, QRect(11, 15, 150, 22), QColor(176, 176, 0), 30), 40);
    EXPECT_GT(CountNear(shot, origin, QRect(550, 15, 200, 22), QColor(10, 90, 10), 30), 40);
    EXPECT_GT(CountNear(shot, origin, QRect(890, 15, 100, 22), QColor(10, 90, 10), 30), 20);

    TAVRIN_STEP(steps, "Space and Esc");
    // Space: the most recently clicked channel alone over the whole
    // programme; Esc: the programme before it.
    ASSERT_TRUE(xdo_.Click(test::PaneOf(win_.get(), 3)));
    ASSERT_TRUE(WaitUntil([&] { return win_->Capture()->CurrentPort() == 3; }));
    TAVRIN_STEP(steps, "F: the two most recent channels");
    // F: the two most recent channels, the combination Esc goes back to.
    ASSERT_TRUE(xdo_.Key("f"));
    ASSERT_TRUE(WaitUntil([&] { return Programme().size() == 2; }));
    const std::vector<int32_t> before = Programme();
    ASSERT_TRUE(xdo_.Key("space"));
    ASSERT_TRUE(WaitUntil([&] { return Programme() == std::vector<int32_t>{3}; }));
    Pump(600);
    shot = Shot("k02-space-full-screen");
    const QRect p0 = PaneRect(0).translated(origin);
    const auto programme = Signature(shot, p0);
    EXPECT_LT(Distance(programme, Signature(shot, PaneRect(3).translated(origin))),
              Distance(programme, Signature(shot, PaneRect(1).translated(origin))));
    ASSERT_TRUE(xdo_.Key("Escape"));
    ASSERT_TRUE(WaitUntil([&] { return Programme() == before; }));

    TAVRIN_STEP(steps, "PTZ mode and the wheel");
    // PTZ mode: the wheel turned away from the user focuses the selected
    // phone further, towards the user nearer; without PTZ it does nothing.
    auto focus = [&] {
        TClientInfo info;
        Manager().GetConInfo(3, info);
        return info.nFocusValue;
    };
    const int focus0 = focus();
    ASSERT_TRUE(xdo_.MoveTo(test::PaneOf(win_.get(), 3)));
    ASSERT_TRUE(xdo_.Run({"click", "4"}));
    Pump(400);
    EXPECT_EQ(focus(), focus0);
    win_->DoAction(TMainAction::Ptz);
    ASSERT_TRUE(win_->Capture()->PtzMode());
    ASSERT_TRUE(xdo_.Run({"click", "4"}));
    ASSERT_TRUE(WaitUntil([&] { return focus() > focus0; })) << focus0;
    const int focus1 = focus();
    ASSERT_TRUE(xdo_.Run({"click", "5"}));
    ASSERT_TRUE(WaitUntil([&] { return focus() < focus1; })) << focus1;
    win_->DoAction(TMainAction::Ptz);

    TAVRIN_STEP(steps, "held Right moves the cut");
    // Holding Right moves channel 1's cut area; letting go stops it.
    ASSERT_TRUE(xdo_.Click(test::PaneOf(win_.get(), 1)));
    ASSERT_TRUE(WaitUntil([&] { return win_->Capture()->CurrentPort() == 1; }));
    int fx = 0;
    int fy = 0;
    ASSERT_TRUE(Manager().SetClipArea(1, 100, 200, 500, 700, fx, fy, true));
    ASSERT_TRUE(Manager().ConvertTestRectToReal(1));
    ASSERT_TRUE(WaitUntil([&] { return Manager().GetIfInCut(1) && CutX(1) > 0; }))
        << Manager().GetIfInCut(1) << " " << CutX(1) << " " << Programme().size();
    const int x0 = CutX(1);
    ASSERT_TRUE(xdo_.Run({"keydown", "Right"}));
    ASSERT_TRUE(WaitUntil([&] { return CutX(1) >= x0 + 25; }, 5000)) << x0 << " " << CutX(1);
    ASSERT_TRUE(xdo_.Run({"keyup", "Right"}));
    Pump(300);
    const int x1 = CutX(1);
    Pump(800);
    EXPECT_EQ(CutX(1), x1);
    EXPECT_EQ((x1 - x0) % 5, 0); // five source pixels per composed picture

    TAVRIN_STEP(steps, "key 3 marks an error while recording");
    // Key 3 while recording marks an error; its notice shows below the
    // programme region for three ticks.
    win_->DoAction(TMainAction::Record);
    ASSERT_TRUE(win_->Capture()->Recording());
    int seconds = 0;
    int mbytes = 0;
    ASSERT_TRUE(WaitUntil(
        [&] { return win_->Capture()->Session().RecordTotals(seconds, mbytes) && seconds >= 2; },
        20000));
    ASSERT_TRUE(xdo_.Key("3"));
    ASSERT_TRUE(WaitUntil([&] { return TextAt(800, below) == "已在录像中设定标记：3  "; }));
    ASSERT_TRUE(WaitUntil([&] { return Status().TextAt(11, 15)->colour == kNormalColour; }));
    shot = Shot("k03-error-mark");
    EXPECT_GT(CountNear(shot, origin, QRect(800, below, 200, 22), QColor(10, 90, 10), 30), 40);
    EXPECT_GT(CountNear(shot, origin, QRect(11, 15, 150, 22), QColor(10, 90, 10), 30), 40);
    // The recording goes on across a block boundary so the mark is stored.
    ASSERT_TRUE(WaitUntil([&] { return TextAt(800, below) == std::string(47, ' '); }, 6000));
    win_->DoAction(TMainAction::Record);

    TAVRIN_STEP(steps, "a lost phone blinks and reconnects");
    // The phone goes away: its pane frame blinks red, and the countdown
    // reconnects it once it is back.
    phone->Kill();
    phone.reset();
    ASSERT_TRUE(WaitUntil([&] { return Status().FrameOf(3) == TLostFrame::Red; }, 8000));
    const QRect f = PaneRect(3).adjusted(-1, -1, 1, 1);
    const QRect top(f.left(), f.top(), f.width(), 1);
    const QImage red = Shot("k04-lost-red");
    ASSERT_TRUE(WaitUntil([&] { return Status().FrameOf(3) == TLostFrame::Erase; }, 3000));
    const QImage erased = Shot("k05-lost-erased");
    EXPECT_GT(CountNear(red, origin, top, QColor(255, 0, 0), 10), f.width() * 9 / 10);
    EXPECT_EQ(CountNear(erased, origin, top, QColor(255, 0, 0), 10), 0);
    phone.emplace(phoneIP);
    ASSERT_TRUE(phone->Ready());
    ASSERT_TRUE(WaitUntil(
        [&] {
            TClientInfo info;
            return Manager().GetConInfo(3, info) && ShowsConnected(info) && info.nErrorCode == 0 &&
                   Status().FrameOf(3) == TLostFrame::None;
        },
        15000));
    Shot("k06-reconnected");

    TAVRIN_STEP(steps, "replay keys");
    // Replay: Esc switches delete-mark mode, Space pauses (on key up); in
    // the audio offset box the key down does it, once.
    mode_ = kModeReplay;
    win_->DoAction(TMainAction::Chooser);
    ASSERT_TRUE(WaitUntil([&] { return win_->CurrentWorkMode() == kModeReplay; }, 10000));
    xdo_.Focus(win_.get());
    ASSERT_TRUE(xdo_.Key("Escape"));
    ASSERT_TRUE(WaitUntil([&] { return win_->Replay()->DeleteMode(); }));
    ASSERT_TRUE(xdo_.Key("space"));
    ASSERT_TRUE(WaitUntil([&] { return win_->Replay()->Paused(); }));
    const int offset = test::OffsetBoxOf(win_.get())->currentIndex();
    test::OffsetBoxOf(win_.get())->setFocus();
    ASSERT_TRUE(WaitUntil([&] { return test::OffsetBoxOf(win_.get())->hasFocus(); }));
    ASSERT_TRUE(xdo_.Key("space"));
    ASSERT_TRUE(WaitUntil([&] { return !win_->Replay()->Paused(); }));
    Pump(400);
    EXPECT_FALSE(win_->Replay()->Paused());
    EXPECT_EQ(test::OffsetBoxOf(win_.get())->currentIndex(), offset);
    Shot("k07-replay-keys");
    ASSERT_TRUE(win_->close());
    win_.reset();
    for (const auto& m : messages.Messages()) {
        ADD_FAILURE() << "unexpected message: " << m.text;
    }

    TAVRIN_STEP(steps, "the store holds the mark");
    // The store holds the mark.
    const char* bin = std::getenv("TAVRIN_BIN_DIR");
    ASSERT_NE(bin, nullptr);
    const std::string info =
        Output(std::string(bin) + "/tavrin-cli info --lesson " + std::to_string(kLesson) +
               " --root '" + dir_.Path() + "/store' --user 1001 --json");
    EXPECT_NE(info.find("\"error\": 3,"), std::string::npos) << info;
}

// The channel counters of five channels in the smallest window the console
// opens: all of them readable inside it, at their usual places again once the
// window is wide enough, with nothing left behind where they were.
TEST_F(KeyStatusWindowTest, FiveChannelCountersFitTheSmallestWindow) {
    WriteIni(5, 1150, 815);
    const std::string movie = dir_.File("small.mp4");
    ASSERT_TRUE(test::Run("ffmpeg -loglevel error -f lavfi -i testsrc2=size=320x180:rate=25 "
                          "-f lavfi -i sine=frequency=440:sample_rate=48000 -t 4 -c:v libx264 "
                          "-g 25 -pix_fmt yuv420p -c:a aac -ac 2 -y " +
                          movie));
    TMessageRecorder messages;
    win_ = std::make_unique<TFMain>(hooks_);
    ASSERT_TRUE(win_->Started());
    win_->show();
    ASSERT_TRUE(WaitUntil([&] { return win_->CurrentWorkMode() == kModeCapture; }, 8000));
    ASSERT_EQ(win_->width(), 1150);
    for (int ch : {1, 4, 5}) {
        // One file feeds one channel only: each gets its own copy.
        const std::string copy = dir_.File("small" + std::to_string(ch) + ".mp4");
        ASSERT_TRUE(std::filesystem::copy_file(movie, copy));
        Manager().ConnectThis(copy, ch, kDeviceMp4);
        Manager().SetCycle(ch, true);
    }
    // The row: recording line, label, programme and five channel counters.
    auto counters = [&] {
        std::vector<TStatusText> row = Status().Row(kStatusTop);
        return row.size() == 8 ? std::vector<TStatusText>(row.begin() + 3, row.end())
                               : std::vector<TStatusText>{};
    };
    auto live = [&](int ch) {
        const std::vector<TStatusText> c = counters();
        return c.size() == 5 && c[size_t(ch - 1)].colour == kNormalColour;
    };
    auto describe = [&] {
        std::string d;
        for (const TStatusText& t : Status().Row(kStatusTop)) {
            d += std::to_string(t.x) + "'" + t.text + "' ";
        }
        return d;
    };
    ASSERT_TRUE(WaitUntil([&] { return live(1) && live(4) && live(5); }, 20000)) << describe();
    const QPoint origin = win_->mapToGlobal(QPoint(0, 0));
    const QImage narrow = Shot("k08-five-counters-1150");
    const std::vector<TStatusText> placed = counters();
    ASSERT_EQ(placed.size(), 5u);
    const int pitch = placed[1].x - placed[0].x;
    for (int ch : {1, 4, 5}) {
        const TStatusText& t = placed[size_t(ch - 1)];
        EXPECT_GT(CountNear(narrow, origin, QRect(t.x, kStatusTop, std::min(pitch, 1150 - t.x), 22),
                            QColor(10, 90, 10), 30),
                  20)
            << ch << " at " << t.x;
    }
    // The last counter's digits end before the window's edge, not at it.
    const QRect edge(1150 - 3, kStatusTop, 3, 22);
    EXPECT_EQ(CountNear(narrow, origin, edge, QColor(10, 90, 10), 30), 0);
    EXPECT_EQ(CountNear(narrow, origin, edge, QColor(176, 176, 0), 30), 0);
    // The status rows lie outside every pane, so the panes never paint over
    // them.
    const int below = test::GridOf(win_.get()).DispOne.Bottom() + 15;
    for (int i = 0; i <= 5; ++i) {
        EXPECT_FALSE(PaneRect(i).intersects(QRect(0, kStatusTop, 1150, 22))) << i;
        EXPECT_FALSE(PaneRect(i).intersects(QRect(0, below, 1150, 22))) << i;
    }

    // Wide enough again: the usual places, and no counter left at the old
    // ones. The window opened centred; widened, it goes to the screen's
    // left edge to stay in sight.
    win_->resize(1500, 815);
    win_->move(0, win_->y());
    ASSERT_TRUE(WaitUntil([&] {
        const std::vector<TStatusText> c = counters();
        return c.size() == 5 && c[0].x == 890 && c[4].x == 1370;
    }));
    EXPECT_EQ(Status().Row(kStatusTop).size(), 8u);
    // A push address nobody answers at: the live line below the programme
    // says so, in the idle colour.
    ASSERT_EQ(win_->Capture()->Session().SetRtmpUrl("rtmp://127.0.0.1:9/live/none"), 0);
    const int liveRow = test::GridOf(win_.get()).DispOne.Bottom() + 15;
    ASSERT_TRUE(WaitUntil([&] { return !TextAt(11, liveRow).empty(); }, 5000));
    EXPECT_EQ(TextAt(11, liveRow).rfind("直播连通: 否 连接: ", 0), 0u) << TextAt(11, liveRow);
    EXPECT_EQ(Status().TextAt(11, liveRow)->colour, kIdleColour);
    const QImage wide = Shot("k09-five-counters-1500");
    const QPoint wideOrigin = win_->mapToGlobal(QPoint(0, 0));
    EXPECT_GT(CountNear(wide, wideOrigin, QRect(11, liveRow, 200, 22), QColor(176, 176, 0), 30),
              40);
    EXPECT_GT(CountNear(wide, wideOrigin, QRect(1370, kStatusTop, 100, 22), QColor(10, 90, 10), 30),
              20);
    ASSERT_TRUE(win_->close());
    win_.reset();
    for (const auto& m : messages.Messages()) {
        ADD_FAILURE() << "unexpected message: " << m.text;
    }
}

// A lesson whose store is nearly full: the first tick in capture mode stops
// recording for it, says so once, and the record button cannot start it again.
TEST_F(KeyStatusWindowTest, LessonOutOfSpaceStopsRecordingOnce) {
    // A first run opens the lesson's store.
    win_ = std::make_unique<TFMain>(hooks_);
    ASSERT_TRUE(win_->Started());
    win_->show();
    ASSERT_TRUE(WaitUntil([&] { return win_->CurrentWorkMode() == kModeCapture; }, 8000));
    ASSERT_TRUE(win_->close());
    win_.reset();

    // Its one closed block ends 1851 MiB into the data file.
    std::string index;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir_.Path() + "/store")) {
        if (e.path().filename() == "index.dat") {
            index = e.path().string();
        }
    }
    ASSERT_FALSE(index.empty());
    {
        std::fstream f(index, std::ios::in | std::ios::out | std::ios::binary);
        TIndex_Count count{};
        f.seekg(std::streamoff(kIndexCountOffset));
        f.read(reinterpret_cast<char*>(&count), sizeof count);
        count.IBlockCount = 1;
        const TIndex_IBlock block{0, 0, 1851u * 1048576u, 0, 0, 0};
        f.seekp(std::streamoff(kIndexCountOffset));
        f.write(reinterpret_cast<const char*>(&count), sizeof count);
        f.seekp(std::streamoff(IBlockEntryOffset(0)));
        f.write(reinterpret_cast<const char*>(&block), sizeof block);
        ASSERT_TRUE(f.good());
    }

    TMessageRecorder messages;
    win_ = std::make_unique<TFMain>(hooks_);
    ASSERT_TRUE(win_->Started());
    win_->show();
    ASSERT_TRUE(WaitUntil([&] { return win_->CurrentWorkMode() == kModeCapture; }, 8000));
    const std::string stopped = "因录像大小或时长超标，录像已停止     ";
    ASSERT_TRUE(WaitUntil([&] { return TextAt(11, kStatusTop) == stopped; }, 8000))
        << TextAt(11, kStatusTop);
    EXPECT_EQ(Status().TextAt(11, kStatusTop)->colour, kIdleColour);
    EXPECT_TRUE(win_->Capture()->RecordingPrevented());
    EXPECT_FALSE(win_->Capture()->Recording());
    win_->DoAction(TMainAction::Record);
    EXPECT_FALSE(win_->Capture()->Recording());
    // Later ticks keep the line and say nothing more.
    Pump(2500);
    EXPECT_EQ(TextAt(11, kStatusTop), stopped);
    const QImage shot = Shot("k10-limit-stopped");
    EXPECT_GT(CountNear(shot, win_->mapToGlobal(QPoint(0, 0)), QRect(11, kStatusTop, 150, 22),
                        QColor(176, 176, 0), 30),
              40);
    ASSERT_TRUE(win_->close());
    win_.reset();
    int exhausted = 0;
    for (const auto& m : messages.Messages()) {
        if (m.text == kRecordingExhaustedMessage) {
            ++exhausted;
        } else {
            ADD_FAILURE() << "unexpected message: " << m.text;
        }
    }
    EXPECT_EQ(exhausted, 1);
}

} // namespace
} // namespace tavrin
