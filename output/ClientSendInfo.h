// Statistics of a live sender, read by the main window's timer.
#pragma once

#include <cstdint>
#include <string>

namespace tavrin {

struct TClientSendInfo {
    std::string rtmpURL;
    bool bConnectOK = false;
    bool bSetURL = false;
    bool bPause = true;
    uint32_t nReconnectCount = 0;
    uint32_t nAcceptTotalFrames = 0;
    uint32_t nHasSendFrames = 0;
    uint32_t nThrowFrames = 0;
    uint32_t nRemainFrames = 0;
    // The queue in bytes now and at its largest since initialize.
    uint64_t nRemainBytes = 0;
    uint64_t nPeakBytes = 0;
    // How long the oldest queued frame has waited (ms): what viewers lag
    // behind the classroom on top of the encoder and the network.
    uint32_t nLiveDelayMs = 0;
    // Groups of pictures dropped because they had waited too long, and
    // whether that happened in the last few seconds.
    uint32_t nLiveDropGroups = 0;
    bool bDroppingToStayLive = false;
};

} // namespace tavrin
