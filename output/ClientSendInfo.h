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
};

} // namespace tavrin
