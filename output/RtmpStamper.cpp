#include "output/RtmpStamper.h"

namespace tavrin {

void TRtmpStamper::Reset() {
    *this = TRtmpStamper();
}

TRtmpStamp TRtmpStamper::StampAudio(bool fresh, uint64_t nACount_inner, int32_t nAudiooffSet) {
    if (fresh) {
        nLastAudioPTS += kTimebase * 1024 / 48000; // 21
        if (nACount_inner % 3 == 0) {
            nLastAudioPTS += 1;
            nLastAudioDuring = 22;
        } else {
            nLastAudioDuring = 21;
        }
    }
    TRtmpStamp s;
    s.pts = int64_t(nLastAudioPTS);
    if (nAudiooffSet > 0) {
        s.pts += int64_t(nAudiooffSet) * kTimebase / 1000;
    }
    if (s.pts < nLastAudioPTS_AVPacket || s.pts < 0) {
        s.pts = nLastAudioPTS_AVPacket + 5;
        s.adjusted = true;
    }
    nLastAudioPTS_AVPacket = s.pts;
    s.duration = nLastAudioDuring;
    return s;
}

TRtmpStamp TRtmpStamper::StampVideo(bool fresh, int32_t nAudiooffSet) {
    if (fresh) {
        const int64_t d = kTimebase / 25; // 40
        nLastVideoPTS += d;
        nLastVideoDuring = d;
        const double a = double(nLastAudioPTS) / double(kTimebase);
        const double v = double(nLastVideoPTS) / double(kTimebase);
        if (a + 0.08 < v) {
            nLastVideoPTS -= d / 4;
            nLastVideoDuring -= 10;
        } else if (v < a - 0.08) {
            nLastVideoPTS += 10;
            nLastVideoDuring += 10;
        }
    }
    TRtmpStamp s;
    s.pts = int64_t(nLastVideoPTS);
    if (nAudiooffSet < 0) {
        s.pts += -int64_t(nAudiooffSet) * kTimebase / 1000;
    }
    if (s.pts < nLastVideoPTS_AVPacket || s.pts < 0) {
        s.pts = nLastVideoPTS_AVPacket + 5;
        s.adjusted = true;
    }
    nLastVideoPTS_AVPacket = s.pts;
    s.duration = nLastVideoDuring;
    return s;
}

} // namespace tavrin
