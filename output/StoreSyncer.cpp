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
    pending_ = false;
    stopping_ = false;
    nDurable = nDurableBlocks;
    bBroken = false;
    Start();
}

void TStoreSyncer::BlockClosed(const TIndex_Count& counts) {
    std::lock_guard lock(lock_);
    if (!Running() || stopping_) {
        return;
    }
    latest_ = counts;
    pending_ = true;
    work_.notify_one();
}

void TStoreSyncer::WaitDurable(int32_t n) {
    std::unique_lock lock(lock_);
    done_.wait(lock, [this, n] { return nDurable >= n || bBroken || !Running(); });
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
        work_.wait(lock, [this] { return pending_ || stopping_; });
        if (!pending_) {
            done_.notify_all();
            return; // stopping with nothing left
        }
        const TIndex_Count counts = latest_;
        pending_ = false;
        lock.unlock();
        const bool ok = !bBroken && Flush(counts);
        lock.lock();
        if (ok) {
            nDurable = counts.IBlockCount;
        } else if (!bBroken) {
            bBroken = true;
            Trace("index.dat: closed blocks could not be made durable");
        }
        done_.notify_all();
    }
}

bool TStoreSyncer::Flush(const TIndex_Count& counts) {
    // The counters must not reach the disk before the bytes and entries they cover.
    return av_->DataSync() && index_->DataSync() &&
           index_->WriteAt(&counts, sizeof counts, kIndexCountOffset) && index_->DataSync();
}

} // namespace tavrin
