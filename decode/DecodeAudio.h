// Audio decoder of a source stream: compressed frames (AAC from the network
// and the store, the audio of MP4 and MP3 files) become interleaved s16
// stereo PCM, with the mean level of each channel as a side product.
#pragma once

#include "av/AvPtr.h"
#include "base/AudioChannel.h"

#include <array>
#include <cstdint>
#include <mutex>

namespace tavrin {

// A float sample as s16: clamped to -1..1, scaled by 32767, rounded.
int16_t FloatSampleToS16(float sample);

class TDecodeAudio {
public:
    static constexpr int kMaxSamples = 65001;

    TDecodeAudio() = default;
    ~TDecodeAudio() { Destroy(); }
    TDecodeAudio(const TDecodeAudio&) = delete;
    TDecodeAudio& operator=(const TDecodeAudio&) = delete;

    // Opens the decoder for a demuxed stream's parameters, or AAC-LC 48 kHz
    // stereo when none are given. 0, or -3 when the decoder cannot be
    // opened; without a decoder for the codec GetPCM never yields samples.
    int initialize(const AVCodecParameters* pSrcAudioCodecPar = nullptr);

    // Decodes one compressed frame (without ADTS header). Returns the samples
    // per channel, 0 when none came out; pPCMData then points at nPCMBytes
    // bytes of interleaved s16 stereo, valid until the next call.
    int GetPCM(const uint8_t* pAACData, int nAACSize, const uint8_t*& pPCMData, int& nPCMBytes);

    // Levels of the last decoded frame as 0 ... 100, then resets them.
    void GetMaxPCMVolume(rAudioChannel& AudioVolume);

    void Destroy();

    int SampleRate() const { return g_samplerate; }

private:
    struct TSamplePair {
        int16_t L;
        int16_t R;
    };

    AvPacketPtr AVPackets;
    AvCodecContextPtr pAudioCodecCtx;
    const AVCodec* pAudioCodec = nullptr;
    AvFramePtr pAudioFrame;
    int g_samplerate = 0;
    std::array<TSamplePair, kMaxSamples> SampBuf{};
    // Written by the sound's thread, read and reset by the picture's.
    rAudioChannel AChannel;
    std::mutex FLevelLock;
};

} // namespace tavrin
