#include "cli/LiveLine.h"

namespace tavrin::cli {

std::string LiveLine(int second, const TClientSendInfo& info) {
    std::string line =
        "t=" + std::to_string(second) + "s  live " +
        (info.bConnectOK ? "connected" : "not connected") + "  connects " +
        std::to_string(info.nReconnectCount) + "  accepted " +
        std::to_string(info.nAcceptTotalFrames) + "  sent " + std::to_string(info.nHasSendFrames) +
        "  queued " + std::to_string(info.nRemainFrames) + " (" +
        std::to_string(info.nRemainBytes) + " bytes, peak " + std::to_string(info.nPeakBytes) +
        ")  dropped " + std::to_string(info.nThrowFrames) + "  delay " +
        std::to_string(info.nLiveDelayMs) + " ms";
    if (info.bDroppingToStayLive) {
        line += "  dropping to stay live";
    }
    return line;
}

} // namespace tavrin::cli
