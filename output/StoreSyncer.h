// Makes the recorder's closed blocks durable on its own thread, so the disk's
// flush time never holds up the thread that hands over pictures. For every
// batch of closed blocks, in this order:
//   1. fdatasync av.dat       - the blocks' frames are on the disk;
//   2. write the table entries, fdatasync index.dat - the entries are;
//   3. write the counters,    fdatasync index.dat - now the blocks count.
// A power cut at any moment leaves counters that cover only entries and
// frames already on the disk, so the store opens and records on, losing at
// most the open block and a block closed within the last sync round (a few
// milliseconds on a healthy disk). Once a write or sync fails nothing more is
// written to the index: the store stays as it was after the last good round.
#pragma once

#include "base/Thread.h"
#include "output/LessonStoreFormat.h"
#include "output/StoreFile.h"

#include <array>
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
    // Block k was closed; counts are the counters with it. Waits only when a
    // whole queue of blocks is still waiting for the disk.
    void BlockClosed(int32_t k, const TIndex_IBlock& entry, const TIndex_Count& counts);
    // Returns once everything handed over is durable or has failed, and stops the thread.
    void End();

    // Blocks whose entries and counters are on the disk.
    int32_t DurableBlocks() const { return nDurable.load(); }
    // A write or sync failed; the index on the disk stays at DurableBlocks.
    bool Broken() const { return bBroken.load(); }

protected:
    void Execute() override;

private:
    struct TPending {
        int32_t k;
        TIndex_IBlock entry;
    };
    static constexpr size_t kQueue = 64;
    bool WriteBatch(const TPending* batch, size_t n, const TIndex_Count& counts);

    TStoreFile* av_ = nullptr;
    TStoreFile* index_ = nullptr;
    std::mutex lock_;
    std::condition_variable work_;
    std::condition_variable room_;
    std::array<TPending, kQueue> queue_{};
    size_t first_ = 0;
    size_t count_ = 0;
    TIndex_Count latest_{};
    bool stopping_ = false;
    std::array<TPending, kQueue> batch_{};
    std::atomic<int32_t> nDurable{0};
    std::atomic<bool> bBroken{false};
};

} // namespace tavrin
