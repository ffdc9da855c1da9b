// The per-lesson recording limits: a lesson's store holds at most an hour
// and 1850 MiB, so recording stops itself before either runs out, after one
// last warning per run of the program.
#pragma once

namespace tavrin {

inline constexpr int kStopAboveMiB = 1850;
inline constexpr int kWarnAboveMiB = 1800;
inline constexpr int kStopAtSeconds = 3600;
inline constexpr int kWarnAfterMinute = 57;

inline constexpr const char* kRecordingExhaustedMessage =
    "本课程专用录像时间或空间已耗尽，录像已停止！";
inline constexpr const char* kSpaceWarningMessage =
    "本课程专用录像空间即将耗尽，请务必在【两分钟】内结束，届时录像会停止！\n\r\n\r"
    "请注意：这是系统最后一次提醒！";
inline constexpr const char* kTimeWarningMessage =
    "本课程专用录像时间即将耗尽，请务必在【两分钟】内结束，届时录像会停止！\n\r\n\r"
    "请注意：这是系统最后一次提醒！";

class TRecordingLimits {
public:
    enum class TVerdict { None, Stop, WarnSpace, WarnTime };

    // One tick: answered is false when the recorder could not give its
    // totals (T seconds, L MiB), and then nothing is decided.
    TVerdict Tick(bool answered, int T, int L);
    // Entering capture mode lets the next lesson record again.
    void EnterCapture() { bPreventCapture = false; }

    bool PreventCapture() const { return bPreventCapture; }
    bool WarningShown() const { return bTimeOverlay; }

private:
    bool bPreventCapture = false;
    bool bTimeOverlay = false; // one warning per run of the program
};

// The message the window shows for a verdict, or null.
const char* RecordingLimitMessage(TRecordingLimits::TVerdict verdict);

} // namespace tavrin
