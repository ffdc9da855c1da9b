// Makes the recorder's closed blocks count on the disk, on its own thread, so
// the disk's flush time never holds up the thread that hands over pictures.
// The recorder has already written each closed block's frames, table entry
// and journal note (StoreJournal.h); for the latest counters handed over:
//   1. fdatasync av.dat    - the blocks' frames are on the disk;
//   2. fdatasync index.dat - their entries are;
//   3. write the counters, fdatasync index.dat - now the blocks count.
// Counters that reach the disk therefore never cover a block whose bytes or
// entry are not there. Blocks closed while a round runs go into the next
// round. Once a write or sync fails nothing more is written: the counters on
// the disk stay as the last good round left them.
#pragma once

#include "base/Thread.h"
#include "output/LessonStoreFormat.h"
#include "output/StoreFile.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace tavrin {

class TStoreSyncer final : public TThread {
public:
    ~TStoreSyncer() override;

    // Starts the thread over the recorder's open files (they stay open until End).
    void Begin(TStoreFile& av, TStoreFile& index, int32_t nDurableBlocks);
    // A block was closed; counts are the counters with it. Never waits.
    void BlockClosed(const TIndex_Count& counts);
    // Waits until n blocks count on the disk (or flushing has failed).
    void WaitDurable(int32_t n);
    // Returns once everything handed over is durable or has failed, and stops the thread.
    void End();

    // Blocks whose frames, entries and counters are on the disk.
    int32_t DurableBlocks() const { return nDurable.load(); }
    // A write or sync failed; the counters on the disk stay at DurableBlocks.
    bool Broken() const { return bBroken.load(); }

protected:
    void Execute() override;

private:
    bool Flush(const TIndex_Count& counts);

    TStoreFile* av_ = nullptr;
    TStoreFile* index_ = nullptr;
    std::mutex lock_;
    std::condition_variable work_;
    std::condition_variable done_;
    TIndex_Count latest_{};
    bool pending_ = false;
    bool stopping_ = false;
    std::atomic<int32_t> nDurable{0};
    std::atomic<bool> bBroken{false};
};

} // namespace tavrin
