#include "base/FrameQueue.h"

#include <algorithm>
#include <utility>

namespace tavrin {

namespace {
constexpr size_t kFirstSlots = 64;
} // namespace

TFrameQueue::TRecord& TFrameQueue::NewTail() {
    if (count_ == ring_.size()) {
        // Grow in order; the buffers move with their records.
        std::vector<TRecord> grown(std::max(kFirstSlots, ring_.size() * 2));
        for (size_t i = 0; i < count_; ++i) {
            grown[i] = std::move(ring_[Slot(i)]);
        }
        ring_ = std::move(grown);
        head_ = 0;
    }
    TRecord& r = ring_[Slot(count_)];
    if (r.capacity() == 0 && !spare_.empty()) {
        r = std::move(spare_.back());
        spare_.pop_back();
    }
    return r;
}

void TFrameQueue::Spare(TRecord& r) {
    if (spare_.size() < kSpareBuffers) {
        spare_.push_back(std::move(r));
    }
    // Moved from or not kept: the slot holds no buffer either way.
    TRecord().swap(r);
}

size_t TFrameQueue::CapacityBytes() const {
    size_t n = 0;
    for (const TRecord& r : ring_) {
        n += r.capacity();
    }
    for (const TRecord& r : spare_) {
        n += r.capacity();
    }
    return n;
}

void TFrameQueue::Counted(const TRecord& r, bool added) {
    const size_t v = IsVideo(TypeOf(r)) ? 1 : 0;
    if (added) {
        ++count_;
        video_ += v;
        bytes_ += r.size();
    } else {
        --count_;
        video_ -= v;
        bytes_ -= r.size();
    }
}

void TFrameQueue::Push(uint8_t nType, int64_t PTS, std::span<const uint8_t> payload) {
    TRecord& r = NewTail();
    AssignMediaFrame(r, nType, PTS, payload);
    Counted(r, true);
}

void TFrameQueue::PushRecord(std::span<const uint8_t> record) {
    TRecord& r = NewTail();
    r.assign(record.begin(), record.end());
    Counted(r, true);
}

bool TFrameQueue::Pop(TRecord& out) {
    if (count_ == 0) {
        return false;
    }
    TRecord& r = ring_[head_];
    std::swap(out, r);
    head_ = (head_ + 1) % ring_.size();
    Counted(out, false);
    // out's old buffer serves a later push.
    Spare(r);
    return true;
}

bool TFrameQueue::MoveFrontTo(TFrameQueue& other) {
    if (count_ == 0) {
        return false;
    }
    TRecord& from = ring_[head_];
    TRecord& to = other.NewTail();
    std::swap(from, to);
    head_ = (head_ + 1) % ring_.size();
    Counted(to, false);
    other.Counted(to, true);
    Spare(from);
    return true;
}

size_t TFrameQueue::FindKey(size_t from, int nth) const {
    int seen = 0;
    for (size_t i = from; i < count_; ++i) {
        if (TypeOf((*this)[i]) == kFrameH264Key && ++seen == nth) {
            return i;
        }
    }
    return npos;
}

TFrameQueue::TDropped TFrameQueue::DropFront(size_t count) {
    TDropped dropped;
    for (size_t i = 0; i < count && count_ > 0; ++i) {
        TRecord& r = ring_[head_];
        (IsVideo(TypeOf(r)) ? dropped.video : dropped.audio) += 1;
        Counted(r, false);
        Spare(r);
        head_ = (head_ + 1) % ring_.size();
    }
    return dropped;
}

} // namespace tavrin
