#include "cli/LivePushLog.h"

namespace tavrin::cli {

namespace {

const std::string kLine = "live: ";
const std::string kUp = "直播连通: 是  ";
const std::string kDown = "直播连通: 否  ";

std::string Queue(const TClientSendInfo& info) {
    return "缓冲区: " + std::to_string(info.nRemainFrames) +
           " 丢弃: " + std::to_string(info.nThrowFrames);
}

} // namespace

void TLivePushLog::Update(const TClientSendInfo& info, std::vector<std::string>& lines) {
    if (!info.bSetURL || info.bPause) {
        return;
    }
    // The counters only grow while the sender lives.
    const uint32_t attempts = info.nReconnectCount - reconnects_;
    const uint32_t thrown = info.nThrowFrames - thrown_;
    const uint32_t connectedBefore = connectedAt_;
    reconnects_ = info.nReconnectCount;
    thrown_ = info.nThrowFrames;

    const auto lost = [&] {
        lines.push_back(kLine + kDown +
                        (everConnected_ ? "connection lost, retrying"
                                        : info.rtmpURL + " cannot be reached, retrying"));
        state_ = TState::Lost;
    };
    const auto connected = [&] {
        if (everConnected_) {
            lines.push_back(kLine + kUp + "back after " +
                            std::to_string(info.nReconnectCount - connectedBefore) +
                            " attempts  连接: " + std::to_string(info.nReconnectCount) + "次");
        } else {
            lines.push_back(kLine + kUp + "connected to " + info.rtmpURL);
        }
        everConnected_ = true;
        state_ = TState::Connected;
    };

    if (!info.bConnectOK) {
        // Before the first attempt has ended there is nothing to say yet.
        if (state_ != TState::Lost && info.nReconnectCount > 0) {
            lost();
        }
        return;
    }
    connectedAt_ = info.nReconnectCount;
    if (state_ == TState::Waiting || state_ == TState::Lost) {
        connected();
        return;
    }
    if (attempts > 0) {
        // Dropped and connected again between two samples.
        lost();
        connected();
        return;
    }
    if (state_ == TState::Connected && (thrown > 0 || info.nRemainFrames > kSlowQueueFrames)) {
        lines.push_back(kLine + "slowed, the server takes less than is sent  " + Queue(info));
        state_ = TState::Slowed;
    } else if (state_ == TState::Slowed && thrown == 0 && info.nRemainFrames < kCaughtUpFrames) {
        lines.push_back(kLine + "caught up  " + Queue(info));
        state_ = TState::Connected;
    }
}

} // namespace tavrin::cli
