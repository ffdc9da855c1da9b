// The finished-frame list of a file producer: complete media frame records
// appended by the producer thread and taken from the head by the runner.
#pragma once

#include "base/FrameQueue.h"

#include <mutex>
#include <span>
#include <vector>

namespace tavrin {

class TFrameList {
public:
    void Push(uint8_t nType, int64_t PTS, std::span<const uint8_t> payload) {
        std::lock_guard<std::mutex> lock(FFrameLock);
        pLink.Push(nType, PTS, payload);
    }
    // A record that already carries its head.
    void PushRecord(std::span<const uint8_t> rec) {
        std::lock_guard<std::mutex> lock(FFrameLock);
        pLink.PushRecord(rec);
    }
    // The head record, or null when the list is empty. It stays valid until
    // DeleteHead and is read by the runner thread only.
    const std::vector<uint8_t>* Head() {
        std::lock_guard<std::mutex> lock(FFrameLock);
        if (!bHeadOut && pLink.Pop(head)) {
            bHeadOut = true;
        }
        return bHeadOut ? &head : nullptr;
    }
    void DeleteHead() {
        std::lock_guard<std::mutex> lock(FFrameLock);
        if (bHeadOut) {
            bHeadOut = false; // its buffer returns to the queue with the next Head
        } else {
            pLink.DropFront(1);
        }
    }
    size_t Size() const {
        std::lock_guard<std::mutex> lock(FFrameLock);
        return pLink.Size() + (bHeadOut ? 1 : 0);
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(FFrameLock);
        pLink.Clear();
        bHeadOut = false;
    }

private:
    mutable std::mutex FFrameLock;
    TFrameQueue pLink;
    std::vector<uint8_t> head; // taken out of pLink by Head
    bool bHeadOut = false;
};

} // namespace tavrin
