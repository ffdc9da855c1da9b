// The capture-mode tick's decisions: recording limits, status texts and the
// keyboard map.
#include "app/CaptureKeys.h"
#include "app/RecordingLimits.h"
#include "app/StatusLines.h"

#include <QtCore/qnamespace.h>
#include <gtest/gtest.h>

namespace tavrin {
namespace {

using TVerdict = TRecordingLimits::TVerdict;

TEST(RecordingLimits, StopsAtTheHourOnceAndStaysStopped) {
    TRecordingLimits limits;
    EXPECT_EQ(limits.Tick(true, 3599, 10), TVerdict::WarnTime); // minute 59: last warning
    EXPECT_FALSE(limits.PreventCapture());
    EXPECT_EQ(limits.Tick(true, 3600, 10), TVerdict::Stop);
    EXPECT_TRUE(limits.PreventCapture());
    EXPECT_STREQ(RecordingLimitMessage(TVerdict::Stop),
                 "本课程专用录像时间或空间已耗尽，录像已停止！");
    EXPECT_EQ(limits.Tick(true, 3601, 10), TVerdict::None);
    EXPECT_EQ(RecordingLine(limits.PreventCapture(), false, 3601, 10, "").text,
              "因录像大小或时长超标，录像已停止     ");
    limits.EnterCapture();
    EXPECT_EQ(limits.Tick(true, 3600, 10), TVerdict::Stop);
}

TEST(RecordingLimits, OneWarningPerRunAndSpaceStopsAbove1850) {
    TRecordingLimits limits;
    EXPECT_EQ(limits.Tick(true, 600, 1800), TVerdict::None);
    EXPECT_EQ(limits.Tick(true, 600, 1801), TVerdict::WarnSpace);
    EXPECT_NE(std::string(RecordingLimitMessage(TVerdict::WarnSpace)).find("\n\r\n\r请注意"),
              std::string::npos);
    EXPECT_EQ(limits.Tick(true, 58 * 60, 1801), TVerdict::None); // already warned this run
    EXPECT_EQ(limits.Tick(true, 58 * 60, 1850), TVerdict::None);
    EXPECT_EQ(limits.Tick(false, 4000, 1900), TVerdict::None); // recorder did not answer
    EXPECT_EQ(limits.Tick(true, 58 * 60, 1851), TVerdict::Stop);
    limits.EnterCapture();
    EXPECT_EQ(limits.Tick(true, 58 * 60, 1801), TVerdict::None); // still one warning per run
}

TEST(StatusLines, RecordingLineShowsTimeSizeAndPicture) {
    const TStatusText line = RecordingLine(false, true, 3725, 642, "1080P, 2.0Mbps");
    EXPECT_EQ(line.text, "录像时长：01:02:05   体积：642M  码流：1080P, 2.0Mbps");
    EXPECT_EQ(line.x, 11);
    EXPECT_EQ(line.y, 15);
    EXPECT_EQ(line.colour, kNormalColour);
    EXPECT_EQ(RecordingLine(false, false, 0, 0, "").colour, kIdleColour);
    // Only the last two digits of the hours fit.
    EXPECT_EQ(RecordingLine(false, true, 100 * 3600, 0, "x").text,
              "录像时长：00:00:00   体积：0M  码流：x");
}

TEST(StatusLines, CountersShowLastTwoDigitsSelectionAndColour) {
    const TStatusText ch = ChannelCounter(2, 1, 123, 47, false, true, true);
    EXPECT_EQ(ch.text, "  23:47   ");
    EXPECT_EQ(ch.x, 1010);
    EXPECT_EQ(ch.colour, kNormalColour);
    const TStatusText sel = ChannelCounter(1, 3, 5, 0, true, true, false);
    EXPECT_EQ(sel.text, ">05:00   ");
    EXPECT_EQ(sel.colour, kIdleColour);
    EXPECT_EQ(ChannelCounter(5, 0, 0, 0, false, false, false).text, "          ");

    EXPECT_EQ(ProgrammeCounter(0, 250, 234, true, true, true)->text, ">250:234   ");
    EXPECT_EQ(ProgrammeCounter(-2, 0, 0, false, true, true)->colour, kAlertColour);
    EXPECT_EQ(ProgrammeCounter(-1, 1, 2, false, false, true)->colour, kIdleColour);
    EXPECT_FALSE(ProgrammeCounter(3, 1, 2, false, true, true).has_value());
    EXPECT_EQ(FrameCounterLabel().text, "  各通道视频帧:音频帧");
}

TEST(StatusLines, CounterRowNarrowsToStayInsideTheWindow) {
    // Wide enough: the usual places, 890, 1010, ... for channel 1, 2, ...
    EXPECT_EQ(CounterPitch(1400, 3, 55), 120);
    EXPECT_EQ(ChannelCounter(3, 1, 1, 1, false, true, true, CounterPitch(1400, 3, 55)).x, 1130);
    // The default 1150-pixel window: every counter ends inside it.
    for (int n : {3, 5}) {
        const int pitch = CounterPitch(1150, n, 55);
        EXPECT_LT(pitch, 120) << n;
        EXPECT_GE(pitch, 55) << n;
        const int last = ChannelCounter(n, 1, 1, 1, false, true, true, pitch).x;
        EXPECT_LE(last + 55, 1150 - kCounterRightMargin) << n;
        EXPECT_GT(last + 55 + n, 1150 - kCounterRightMargin) << n; // and no closer than needed
    }
    // Narrower still: neighbours keep apart, the last ones are cut off.
    EXPECT_EQ(CounterPitch(900, 5, 55), 55);
    EXPECT_EQ(CounterPitch(1150, 0, 55), 120);
}

TEST(StatusLines, LiveLineAndErrorNotice) {
    TClientSendInfo info;
    EXPECT_FALSE(LiveLine(info, 700).has_value());
    info.bSetURL = true;
    info.bConnectOK = true;
    info.bPause = false;
    info.nReconnectCount = 2;
    info.nAcceptTotalFrames = 900;
    info.nHasSendFrames = 890;
    info.nRemainFrames = 10;
    info.nThrowFrames = 0;
    const auto live = LiveLine(info, 700);
    ASSERT_TRUE(live.has_value());
    EXPECT_EQ(live->text,
              "直播连通: 是 连接: 2次 总帧数: 900 发送: 890 缓冲区: 10 丢弃: 0         ");
    EXPECT_EQ(live->y, 715);
    EXPECT_EQ(live->colour, kNormalColour);
    info.bPause = true;
    EXPECT_EQ(LiveLine(info, 700)->colour, kIdleColour);
    // Groups dropped to stay live after a stall are named as such.
    info.bPause = false;
    info.nThrowFrames = 144;
    info.bDroppingToStayLive = true;
    EXPECT_EQ(LiveLine(info, 700)->text, "直播连通: 是 连接: 2次 总帧数: 900 发送: 890 缓冲区: 10 "
                                         "丢弃: 144 正在丢弃积压画面以保持直播         ");

    // The notice shows for three ticks, the fourth erases it.
    EXPECT_EQ(ErrorMarkNotice(4, 3, 700)->text, "已在录像中设定标记：3  ");
    EXPECT_EQ(ErrorMarkNotice(2, 3, 700)->x, 800);
    EXPECT_EQ(ErrorMarkNotice(1, 3, 700)->text, std::string(47, ' '));
    EXPECT_FALSE(ErrorMarkNotice(0, 3, 700).has_value());
}

TEST(CaptureKeys, CutMovesBySteppedPixelsAndShortcutsMapToActions) {
    const TKeyCommand left = DoRealKeyCommand(Qt::Key_Left, false);
    EXPECT_EQ(left.action, TMainAction::MoveCut);
    EXPECT_EQ(left.dx, -5);
    EXPECT_EQ(DoRealKeyCommand(Qt::Key_Left, true).dx, -8);
    const TKeyCommand m = DoRealKeyCommand(Qt::Key_M, true);
    EXPECT_EQ(m.dx, 8);
    EXPECT_EQ(m.dy, -8);
    const TKeyCommand comma = DoRealKeyCommand(Qt::Key_Comma, false);
    EXPECT_EQ(comma.dx, -5);
    EXPECT_EQ(comma.dy, -5);
    EXPECT_EQ(DoRealKeyCommand(Qt::Key_G, false).action, TMainAction::RecentFullScreen);
    EXPECT_EQ(DoRealKeyCommand(Qt::Key_Space, false).action, TMainAction::RecentFullScreen);
    const TKeyCommand mark = DoRealKeyCommand(Qt::Key_3, false);
    EXPECT_EQ(mark.action, TMainAction::ErrorMark);
    EXPECT_EQ(mark.digit, 3);
    EXPECT_EQ(DoRealKeyCommand(Qt::Key_6, false).action, TMainAction::None);
    EXPECT_EQ(DoReplayKeyCommand(Qt::Key_Up).action, TMainAction::PreviousPage);
    EXPECT_EQ(DoReplayKeyCommand(Qt::Key_PageDown).action, TMainAction::NextPage);
    EXPECT_EQ(DoReplayKeyCommand(Qt::Key_G).action, TMainAction::None);
}

TEST(CaptureKeys, CtrlReleaseConvertsOtherChannelsFirstThenTheSelected) {
    EXPECT_EQ(TrialRectConversionOrder(3, 3), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(TrialRectConversionOrder(5, 1), (std::vector<int>{2, 3, 4, 5, 1}));
    EXPECT_EQ(TrialRectConversionOrder(3, 0), (std::vector<int>{1, 2, 3})); // programme selected
}

} // namespace
} // namespace tavrin
