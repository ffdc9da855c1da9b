#include "sources/AacRelay.h"

#include "base/MediaFrame.h"
#include "base/Trace.h"
#include "decode/DecodeAudio.h"
#include "output/EncodeAudio.h"
#include "sources/FrameList.h"
#include "sources/SilentAAC.h"

#include <string>

namespace tavrin {

int TAacRelay::Relay(const uint8_t* data, int size, int bytesPerSampleFrame, int queued,
                     int limit) {
    const uint8_t* pcm = nullptr;
    int pcmBytes = 0;
    if (Decoder.GetPCM(data, size, pcm, pcmBytes) > 0 && pcmBytes > 0) {
        Encoder.addPCM(nullptr, pcmBytes / bytesPerSampleFrame, pcm);
    }
    for (int fetch = 0; fetch < 2 && queued < limit; ++fetch) {
        if (fetch == 1 && queued >= 2) {
            break;
        }
        bool frameError = false;
        const int got = Encoder.GetAAC(encoded, frameError);
        if (frameError) {
            Trace("add  silenceAudioAAC ret= " + std::to_string(got));
            Out.Push(kFrameAAC, 0, kSilentAACFrame);
            ++queued;
            if (bEndOnFrameError) {
                break;
            }
        } else if (got > 0) {
            Out.PushRecord(encoded);
            ++queued;
        }
    }
    return queued;
}

} // namespace tavrin
