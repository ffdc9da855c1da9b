// A microphone capture thread: decodes the sound card's 16-bit stereo and
// either keeps its peak level (device dialog) or encodes it to AAC and hands
// each frame to the channel worker at once, queueing a marker for the
// runner's bookkeeping.
#pragma once

#include "av/AvPtr.h"
#include "output/EncodeAudio.h"
#include "sources/CaptureSink.h"
#include "sources/CaptureThread.h"
#include "sources/NativeDevice.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace tavrin {

// Largest absolute sample value of a decoded frame, as 16-bit.
int16_t PeakPCM(const AVFrame* frame);

// Peak 0..32767 as a level 0..100.
int VolumeFromPeak(int16_t peak);

class TAudioClient : public TCaptureThread {
public:
    static constexpr int kTypeLevel = 0;
    static constexpr int kTypeChannel = 1;

    TAudioClient() = default;
    ~TAudioClient() override;

    // Opens the microphone; 0, or -1..-5 as the device open failed (-6: the
    // AAC encoder could not be set up).
    int initialize(int ownerType, const TNativeDeviceInfo_Audio& device, ICaptureSink* TC);

    // Peak level 0..100 since the previous call.
    int GetMaxVolume();
    void Destroy();

    int64_t AacFrames() const { return nAacFrames.load(); }

protected:
    void OnFrame(AVFrame* frame) override;

private:
    int OpenAudioDevice();

    std::unique_ptr<TEncodeAudio> EncodeAudio;
    int nType = kTypeChannel;
    TNativeDeviceInfo_Audio device;
    std::atomic<int16_t> MaxPCM{0};
    std::atomic<int64_t> nAacFrames{0};
    std::vector<uint8_t> aac; // reused record buffer of the encoder
    ICaptureSink* ClientThread = nullptr;
};

} // namespace tavrin
