// Stream timestamps of the live FLV stream. The frames' wall-clock stamps are
// not used: every picture advances 40 ms and every audio frame 21 or 22 ms
// (three frames make 64 ms, i.e. 3 x 1024 samples at 48 kHz), pictures are
// kept within 80 ms of the audio, and the audio offset delays one track.
#pragma once

#include <cstdint>

namespace tavrin {

struct TRtmpStamp {
    int64_t pts = 0;       // milliseconds, also the dts
    int64_t duration = 0;  // milliseconds
    bool adjusted = false; // the stamp would have gone backwards
};

class TRtmpStamper {
public:
    static constexpr int64_t kTimebase = 1000; // ticks per second on both tracks

    void Reset();

    // fresh: a new frame (false: the same frame written again after a failure,
    // which keeps its clock). nAudiooffSet is in milliseconds.
    TRtmpStamp StampAudio(bool fresh, uint64_t nACount_inner, int32_t nAudiooffSet);
    TRtmpStamp StampVideo(bool fresh, int32_t nAudiooffSet);

private:
    uint64_t nLastAudioPTS = 0;
    int64_t nLastAudioDuring = 0;
    int64_t nLastAudioPTS_AVPacket = 0;
    uint64_t nLastVideoPTS = 0;
    int64_t nLastVideoDuring = 0;
    int64_t nLastVideoPTS_AVPacket = 0;
};

} // namespace tavrin
