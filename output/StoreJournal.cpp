#include "output/StoreJournal.h"

#include "base/MediaFrame.h"

extern "C" {
#include <libavutil/crc.h>
}

#include <cstring>
#include <vector>

namespace tavrin {

namespace {
// A noted block larger than this is not believed (a damaged entry).
constexpr uint32_t kMaxNotedBlock = 256u << 20;
// The block's frames fill its bytes exactly and number what its entry says
// (an entry torn by a power cut may hold the new position with old counts).
bool FramesMatchEntry(const std::vector<uint8_t>& bytes, const TIndex_IBlock& entry) {
    int32_t video = 0;
    int32_t audio = 0;
    size_t at = 0;
    while (at + kMediaFrameHeadSize <= bytes.size()) {
        const uint8_t type = bytes[at];
        uint32_t size = 0;
        std::memcpy(&size, bytes.data() + at + 1, 4);
        if (type == kFrameAAC) {
            ++audio;
        } else if (type == kFrameH264 || type == kFrameH264Key) {
            ++video;
        } else {
            return false;
        }
        at += kMediaFrameHeadSize + size_t(size);
    }
    return at == bytes.size() && video == entry.VideoCount && audio == entry.AudioCount;
}

} // namespace

uint32_t BlockCrc(uint32_t crc, const uint8_t* data, size_t size) {
    static const AVCRC* table = av_crc_get_table(AV_CRC_32_IEEE_LE);
    return av_crc(table, crc, data, size);
}

int RollForward(const TStoreFile& index, const TStoreFile& av, TIndex_Count& count,
                TIndex_IBlock& last) {
    TStoreJournal journal;
    if (!av.ReadExact(&journal, sizeof journal, kStoreJournalOffset) ||
        journal.magic != TStoreJournal::kMagic) {
        return 0;
    }
    uint64_t end = count.IBlockCount > 0 ? uint64_t(last.pos) + last.Length : 0;
    const int64_t avSize = av.Size();
    std::vector<uint8_t> bytes;
    int adopted = 0;
    while (count.IBlockCount >= 0 && count.IBlockCount < journal.nClosed &&
           count.IBlockCount < kMaxIBlockCount) {
        const int32_t k = count.IBlockCount;
        const TStoreJournal::TSlot& slot = journal.slot[k % TStoreJournal::kSlots];
        TIndex_IBlock entry{};
        if (slot.k != k || !index.ReadExact(&entry, sizeof entry, IBlockEntryOffset(k)) ||
            entry.pos != end || entry.Length <= kMediaFrameHeadSize ||
            entry.Length > kMaxNotedBlock || int64_t(entry.pos) + entry.Length > avSize) {
            break;
        }
        bytes.resize(entry.Length);
        if (!av.ReadExact(bytes.data(), bytes.size(), entry.pos) || bytes[0] != kFrameH264Key ||
            BlockCrc(kBlockCrcStart, bytes.data(), bytes.size()) != slot.crc ||
            !FramesMatchEntry(bytes, entry)) {
            break;
        }
        count.IBlockCount += 1;
        count.VideoCount += entry.VideoCount;
        count.AudioCount += entry.AudioCount;
        end += entry.Length;
        last = entry;
        ++adopted;
    }
    return adopted;
}

} // namespace tavrin
