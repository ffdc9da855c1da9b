// Capture mode's core objects, owned by one controller: the live sender, the
// lesson recorder and the channel manager with its panes' display ports.
// Destroying it leaves capture mode in the fixed order (manager, then the
// lesson's end in the recorder, then the sender).
#pragma once

#include "base/GetLessionInfo.h"
#include "base/LessionInfo.h"
#include "decode/Display.h"
#include "sources/CManager.h"

#include <SDL2/SDL_rect.h>
#include <memory>
#include <string>
#include <vector>

namespace tavrin {

class TRtmpSend;
class TSaveAV;

struct TCaptureConfig {
    int32_t nLession = -1;
    int nYUVWidth = 1280;
    int nYUVHeight = 720;
    int nAudioDelay = 0;
    uint32_t videobitrate = 0; // in units of 1024 bit/s
    TLessionInfo lesson;
    TNativeWindow programmeWindow = 0;
    SDL_Rect programmeRect{};
    std::vector<int> channelTags; // channel numbers 1 ... N
    std::vector<TNativeWindow> channelWindows;
    std::vector<SDL_Rect> channelRects;
    std::vector<bool> autoAdjust; // by channel number, entry 0 unused
};

class TCaptureMode {
public:
    // Result of Open when the programme encoder could not be opened.
    static constexpr int kManagerFailed = -10;

    explicit TCaptureMode(const TGetLessionInfo& paths);
    ~TCaptureMode();
    TCaptureMode(const TCaptureMode&) = delete;
    TCaptureMode& operator=(const TCaptureMode&) = delete;

    // Starts the sender and opens the lesson's store: 0, or NewLession's
    // negative result (its message already shown).
    int OpenStore(const TCaptureConfig& config);
    // Creates the channel manager on the panes: 0 or kManagerFailed.
    int StartChannels(const TCaptureConfig& config);

    TCManager& Manager() { return *manager; }
    TRtmpSend* Sender() { return sender.get(); }
    TSaveAV* Recorder() { return recorder.get(); }
    bool HasManager() const { return manager != nullptr; }

    // Stops and frees the channels (recording off first); the store and the
    // sender stay until the controller goes.
    void FreeManager();
    // Recording on or off; false when the recorder refused.
    bool StartCapture(bool on);

private:
    const TGetLessionInfo& paths;
    std::unique_ptr<TRtmpSend> sender;
    std::unique_ptr<TSaveAV> recorder;
    std::unique_ptr<TCManager> manager;
};

} // namespace tavrin
