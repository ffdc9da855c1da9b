#include "output/StoreSyncer.h"

#include "base/Trace.h"

namespace tavrin {

TStoreSyncer::~TStoreSyncer() {
    End();
}

void TStoreSyncer::Begin(TStoreFile& av, TStoreFile& index, int32_t nDurableBlocks) {
    End();
    std::lock_guard lock(lock_);
    av_ = &av;
    index_ = &index;
    first_ = 0;
    count_ = 0;
    stopping_ = false;
    nDurable = nDurableBlocks;
    bBroken = false;
    Start();
}

void TStoreSyncer::BlockClosed(int32_t k, const TIndex_IBlock& entry, const TIndex_Count& counts) {
    std::unique_lock lock(lock_);
    if (!Running() || stopping_) {
        return;
    }
    // A disk slower than a block per second for a whole minute: the recorder
    // waits rather than forgetting a block.
    room_.wait(lock, [this] { return count_ < kQueue || bBroken; });
    if (bBroken) {
        return;
    }
    queue_[(first_ + count_) % kQueue] = {k, entry};
    ++count_;
    latest_ = counts;
    work_.notify_one();
}

void TStoreSyncer::End() {
    {
        std::lock_guard lock(lock_);
        stopping_ = true;
        work_.notify_one();
    }
    WaitFor();
}

void TStoreSyncer::Execute() {
    std::unique_lock lock(lock_);
    for (;;) {
        work_.wait(lock, [this] { return count_ > 0 || stopping_; });
        if (count_ == 0) {
            return; // stopping with nothing left
        }
        const size_t n = count_;
        for (size_t i = 0; i < n; ++i) {
            batch_[i] = queue_[(first_ + i) % kQueue];
        }
        const TIndex_Count counts = latest_;
        lock.unlock();
        const bool ok = !bBroken && WriteBatch(batch_.data(), n, counts);
        lock.lock();
        first_ = (first_ + n) % kQueue;
        count_ -= n;
        if (ok) {
            nDurable = counts.IBlockCount;
        } else if (!bBroken) {
            bBroken = true;
            Trace("index.dat: closed blocks could not be made durable");
        }
        room_.notify_all();
    }
}

bool TStoreSyncer::WriteBatch(const TPending* batch, size_t n, const TIndex_Count& counts) {
    if (!av_->DataSync()) {
        return false;
    }
    for (size_t i = 0; i < n; ++i) {
        if (!index_->WriteAt(&batch[i].entry, sizeof batch[i].entry,
                             IBlockEntryOffset(batch[i].k))) {
            return false;
        }
    }
    // The entries must be on the disk before counters that cover them.
    return index_->DataSync() && index_->WriteAt(&counts, sizeof counts, kIndexCountOffset) &&
           index_->DataSync();
}

} // namespace tavrin
