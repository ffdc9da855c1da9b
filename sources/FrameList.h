// The finished-frame list of a file producer: complete media frame records
// appended by the producer thread and taken from the head by the runner.
#pragma once

#include "base/MediaFrame.h"

#include <deque>
#include <mutex>
#include <span>
#include <vector>

namespace tavrin {

class TFrameList {
public:
    void Push(uint8_t nType, int64_t PTS, std::span<const uint8_t> payload) {
        std::vector<uint8_t> rec;
        AssignMediaFrame(rec, nType, PTS, payload);
        std::lock_guard<std::mutex> lock(FFrameLock);
        pLink.push_back(std::move(rec));
    }
    // A record that already carries its head.
    void PushRecord(std::vector<uint8_t> rec) {
        std::lock_guard<std::mutex> lock(FFrameLock);
        pLink.push_back(std::move(rec));
    }
    // The head record (valid until DeleteHead: appending does not move it),
    // or null when the list is empty.
    const std::vector<uint8_t>* Head() const {
        std::lock_guard<std::mutex> lock(FFrameLock);
        return pLink.empty() ? nullptr : &pLink.front();
    }
    void DeleteHead() {
        std::lock_guard<std::mutex> lock(FFrameLock);
        if (!pLink.empty()) {
            pLink.pop_front();
        }
    }
    size_t Size() const {
        std::lock_guard<std::mutex> lock(FFrameLock);
        return pLink.size();
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(FFrameLock);
        pLink.clear();
    }

private:
    mutable std::mutex FFrameLock;
    std::deque<std::vector<uint8_t>> pLink;
};

} // namespace tavrin
