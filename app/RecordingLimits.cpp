#include "app/RecordingLimits.h"

namespace tavrin {

TRecordingLimits::TVerdict TRecordingLimits::Tick(bool answered, int T, int L) {
    if (bPreventCapture || !answered) {
        return TVerdict::None;
    }
    if (L > kStopAboveMiB || T >= kStopAtSeconds) {
        bPreventCapture = true;
        return TVerdict::Stop;
    }
    if (L > kWarnAboveMiB && !bTimeOverlay) {
        bTimeOverlay = true;
        return TVerdict::WarnSpace;
    }
    if (T / 60 > kWarnAfterMinute && !bTimeOverlay) {
        bTimeOverlay = true;
        return TVerdict::WarnTime;
    }
    return TVerdict::None;
}

const char* RecordingLimitMessage(TRecordingLimits::TVerdict verdict) {
    switch (verdict) {
    case TRecordingLimits::TVerdict::Stop:
        return kRecordingExhaustedMessage;
    case TRecordingLimits::TVerdict::WarnSpace:
        return kSpaceWarningMessage;
    case TRecordingLimits::TVerdict::WarnTime:
        return kTimeWarningMessage;
    case TRecordingLimits::TVerdict::None:
        break;
    }
    return nullptr;
}

} // namespace tavrin
