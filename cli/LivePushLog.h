// The record command's lines about its live push: one line whenever the
// push changes state (connected, slowed, caught up, lost, back), read from
// the sender's statistics once a second. The words are the window's live
// line's ("直播连通: 是", "缓冲区", "丢弃", "连接: N次"), so an operator reads the
// same thing in both.
#pragma once

#include "output/ClientSendInfo.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tavrin::cli {

class TLivePushLog {
public:
    // More queued frames than this (about two seconds of pictures and sound)
    // means the server takes less than is sent; the push has caught up again
    // once fewer than kCaughtUpFrames wait.
    static constexpr uint32_t kSlowQueueFrames = 150;
    static constexpr uint32_t kCaughtUpFrames = 50;

    enum class TState { Waiting, Connected, Slowed, Lost };

    // Appends the lines for what changed since the last sample. Nothing while
    // there is no push address or the push is paused.
    void Update(const TClientSendInfo& info, std::vector<std::string>& lines);

    TState State() const { return state_; }

private:
    TState state_ = TState::Waiting;
    bool everConnected_ = false;
    uint32_t reconnects_ = 0;  // connection attempts at the last sample
    uint32_t thrown_ = 0;      // frames thrown away by the last sample
    uint32_t connectedAt_ = 0; // connection attempts at the last connected sample
};

} // namespace tavrin::cli
