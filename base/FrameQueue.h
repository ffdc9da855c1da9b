// A queue of media frame records (13-byte head + payload), oldest first, for
// every hand-over between threads: a channel worker's input, the live
// senders' output and a file source's finished frames. Records are copied
// into buffers that earlier records left behind, so a steady stream does not
// allocate; owners bound the queue by trimming it at key frames. The queue
// has no lock of its own: its owner holds one around every call.
#pragma once

#include "base/MediaFrame.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tavrin {

class TFrameQueue {
public:
    using TRecord = std::vector<uint8_t>;
    static constexpr size_t npos = size_t(-1);

    // Records thrown away by a trim, by kind.
    struct TDropped {
        size_t video = 0;
        size_t audio = 0;
        size_t Total() const { return video + audio; }
    };

    // Type 9 and above is video (H.264 units and the video markers).
    static bool IsVideo(uint8_t nType) { return nType >= kFrameH264; }
    static uint8_t TypeOf(const TRecord& r) { return r.empty() ? 0 : r[0]; }

    // Copies head and payload to the end.
    void Push(uint8_t nType, int64_t PTS, std::span<const uint8_t> payload);
    // Copies a complete record (head and payload) to the end.
    void PushRecord(std::span<const uint8_t> record);
    // Moves the oldest record into out. The buffer out held before is kept
    // for a later push. False when the queue is empty.
    bool Pop(TRecord& out);
    // Moves the oldest record to the end of other without copying.
    bool MoveFrontTo(TFrameQueue& other);

    const TRecord& operator[](size_t i) const { return ring_[Slot(i)]; }
    size_t Size() const { return count_; }
    bool Empty() const { return count_ == 0; }
    size_t VideoCount() const { return video_; }
    size_t AudioCount() const { return count_ - video_; }
    size_t Bytes() const { return bytes_; }

    // Position of the nth (1-based) key frame at or after from; npos when
    // there are fewer.
    size_t FindKey(size_t from, int nth = 1) const;
    // Drops the count oldest records.
    TDropped DropFront(size_t count);
    TDropped Clear() { return DropFront(count_); }

    // Bytes held by the queue's buffers, records and spares together.
    size_t CapacityBytes() const;
    // Buffers of records that left are kept for reuse up to this many; more
    // are freed. Slots beyond the records hold no buffer: a ring that grew
    // once in a burst would otherwise keep a buffer in every slot, each
    // growing in turn to the largest record it ever carried.
    static constexpr size_t kSpareBuffers = 8;

private:
    size_t Slot(size_t i) const { return (head_ + i) % ring_.size(); }
    TRecord& NewTail(); // the slot behind the last record, grown when full
    void Counted(const TRecord& r, bool added);
    // Keeps a buffer that left the queue for reuse, or frees it.
    void Spare(TRecord& r);

    std::vector<TRecord> ring_;
    std::vector<TRecord> spare_; // buffers for the next records
    size_t head_ = 0;
    size_t count_ = 0;
    size_t video_ = 0;
    size_t bytes_ = 0;
};

} // namespace tavrin
