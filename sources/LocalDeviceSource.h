// The camera-and-microphone side of a slot's source runner: starts the two
// capture threads for the devices a connection names, takes their marker
// records (audio, audio, video per turn) and restarts a capture thread that
// has delivered nothing for more than 3 seconds.
#pragma once

#include "base/MediaFrame.h"
#include "sources/AudioClient.h"
#include "sources/CaptureSink.h"
#include "sources/NativeDevice.h"
#include "sources/VideoClient.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace tavrin {

class TLocalDeviceSource {
public:
    static constexpr uint32_t kRestartAfterMs = 3000;
    static constexpr int kWantedFrameCount = 25;

    // Receives every record taken from a capture thread's queue (13-byte
    // marker records: type 16 video, type 1 audio).
    using TForward = std::function<void(const uint8_t* pData)>;

    explicit TLocalDeviceSource(TNativeDevice& devices = TNativeDevice::Instance());
    ~TLocalDeviceSource();
    TLocalDeviceSource(const TLocalDeviceSource&) = delete;
    TLocalDeviceSource& operator=(const TLocalDeviceSource&) = delete;

    // Looks both devices up by name and starts a capture thread for each one
    // found (a missing device starts nothing for its kind). Returns the
    // number of threads started.
    int initialize(const std::string& sCamera, const std::string& sMicrophone, ICaptureSink* TC,
                   TForward forward);

    // One runner turn: restarts, then up to three takes.
    void Step();

    void RestartVideoClient();
    void RestartAudioClient();
    void Destroy();

    bool HasCamera() const { return bHasCamera; }
    bool HasMicrophone() const { return bHasMicrophone; }
    int VideoRestarts() const { return nVideoRestarts; }
    int AudioRestarts() const { return nAudioRestarts; }
    uint32_t VideoForwarded() const { return nVideoForwarded; }
    uint32_t AudioForwarded() const { return nAudioForwarded; }
    TVideoClient* Video() { return VideoClient.get(); }
    TAudioClient* Audio() { return AudioClient.get(); }

private:
    bool TakeVideo();
    bool TakeAudio();

    TNativeDevice& devices;
    ICaptureSink* ClientThread = nullptr;
    TForward forward;
    TNativeDeviceInfo_Video pV;
    TNativeDeviceInfo_Audio pA;
    bool bHasCamera = false;
    bool bHasMicrophone = false;
    std::unique_ptr<TVideoClient> VideoClient;
    std::unique_ptr<TAudioClient> AudioClient;
    uint32_t nVTime = 0; // global count of the last video record forwarded
    uint32_t nATime = 0;
    int nVideoRestarts = 0;
    int nAudioRestarts = 0;
    uint32_t nVideoForwarded = 0;
    uint32_t nAudioForwarded = 0;
};

// Splits a type-4 connection text "camera|microphone" at the first "|".
// False when the text ends in "|" (nothing to connect).
bool SplitDeviceConnection(const std::string& text, std::string& sCamera, std::string& sMicrophone);

} // namespace tavrin
