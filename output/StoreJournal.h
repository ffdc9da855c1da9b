// The recorder's note of its most recent closed blocks, kept in the last
// bytes of av.dat, which frames never reach (recording stops at its limits
// long before). When a block closes its table entry and this note are
// written at once (so a killed process, whose writes all reach the
// disk, loses no closed block), while the counters follow only once the
// block's bytes and entry are flushed (so a power cut never leaves counters
// over bytes that are not on the disk). Opening a store adopts, after the
// counters, every noted block whose entry follows on and whose bytes match
// the noted CRC; a block half written back by a power cut does not match.
#pragma once

#include "output/LessonStoreFormat.h"
#include "output/StoreFile.h"

#include <cstddef>
#include <cstdint>

namespace tavrin {

#pragma pack(push, 1)
struct TStoreJournal {
    static constexpr uint32_t kMagic = 0x4C4E4A54; // "TJNL"
    static constexpr int kSlots = 8;
    uint32_t magic = 0;
    int32_t nClosed = 0; // blocks closed so far
    struct TSlot {
        int32_t k = -1;   // block index
        uint32_t crc = 0; // CRC-32 of the block's bytes in av.dat
    } slot[kSlots];
};
#pragma pack(pop)
static_assert(sizeof(TStoreJournal) == 72);
// Frames stay below this offset of av.dat; the note lies beyond it.
constexpr uint64_t kStoreJournalOffset = kAVFileSize - 4096;

// Running CRC-32 of a block's bytes; start from kBlockCrcStart.
constexpr uint32_t kBlockCrcStart = 0xFFFFFFFFu;
uint32_t BlockCrc(uint32_t crc, const uint8_t* data, size_t size);

// Adopts the noted blocks after count (see above) into count; last is the
// entry of the last block counted (in: as read, out: the last adopted).
// Returns how many were adopted.
int RollForward(const TStoreFile& index, const TStoreFile& av, TIndex_Count& count,
                TIndex_IBlock& last);

} // namespace tavrin
