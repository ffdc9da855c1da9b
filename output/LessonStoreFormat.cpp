#include "output/LessonStoreFormat.h"

#include "base/MediaFrame.h"

#include <cmath>
#include <cstring>

namespace tavrin {

TIndex_Head MakeIndexHead(int32_t nLessionID, const char* sUserID, int32_t nWidth, int32_t nHeight,
                          double createtionTime) {
    TIndex_Head h;
    std::memset(&h, 0, sizeof h);
    h.sysFlag = kIndexSysFlag;
    h.sysVer = kIndexSysVer;
    h.LessionID = nLessionID;
    // Short IDs stay zero-filled; an ID of 11 digits or more fills the field
    // without a terminator.
    for (int i = 0; i < kUserIDBytes && sUserID[i] != '\0'; ++i) {
        h.UserID[i] = sUserID[i];
    }
    h.createtionTime = createtionTime;
    h.videoType = 1;
    h.audioType = 1;
    h.videoWidth = uint16_t(nWidth & 0xFFFF);
    h.videoHeight = uint16_t(nHeight & 0xFFFF);
    h.audioSamples = 48000;
    h.audioCH = 2;
    return h;
}

int32_t AudioFramesToSeconds(int32_t nAudioFrames) {
    // Integer division truncates toward zero, as the lesson clock always has.
    return int32_t(int64_t(RoundTiesToEven(double(nAudioFrames) * kAudioFrameMs)) / 1000);
}

double LocalDateTimeNow() {
    constexpr double kMicrosPerDay = 86400.0 * 1e6;
    constexpr double kDaysFrom1899To1970 = 25569.0;
    return double(LocalWallClockMicros()) / kMicrosPerDay + kDaysFrom1899To1970;
}

} // namespace tavrin
