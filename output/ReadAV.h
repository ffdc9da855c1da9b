// The reader of a recorded lesson: hands out its frames block by block for
// replay and MP4 production, and keeps the block table whose delete marks
// the cut editor toggles. One reader belongs to one thread.
#pragma once

#include "base/GetLessionInfo.h"
#include "output/LessonStoreFormat.h"
#include "output/StoreFile.h"

#include <cstdint>
#include <vector>

namespace tavrin {

class TReadAV {
public:
    // OpenLession results.
    enum {
        kOpenOK = 0,
        kNotRecorded = -1,    // capture folder, index.dat or av.dat missing
        kIndexNotOpened = -2, // e.g. the lesson is being recorded
        kDataNotOpened = -3,
        kNoBlocks = -4, // no closed block, or the index cannot be read
    };

    TReadAV();
    ~TReadAV();
    TReadAV(const TReadAV&) = delete;
    TReadAV& operator=(const TReadAV&) = delete;

    // The lesson path object says where a lesson's files are.
    void initialize(const TGetLessionInfo& lessonPaths);

    int OpenLession(int32_t nLessionID);
    void EndLession();

    // Hands out the oldest queued frame's payload in PData (its capacity is
    // reused) and returns its size; -1 when the lesson is exhausted.
    int GetFrame(std::vector<uint8_t>& PData, int& nSize, int& nType, int& nIPos,
                 bool bIncludeDelete);
    // As GetFrame, but PData points at the payload inside the reader's
    // block buffer instead of receiving a copy; valid until the next call.
    int GetFrameInPlace(const uint8_t*& PData, int& nType, int& nIPos, bool bIncludeDelete);
    // Stamp of the frame GetFrame handed out last.
    int64_t LastFramePTS() const { return nLastPTS; }

    int MoveToIPos(int nPos, bool bIncludeDelete);

    int GetDeleteBlockState_I(int nPos) const;
    int DeleteIBlock_I(int nPos);
    int RecoveryAllDeleteIBlock();
    int Save();

    // The caller reads but must not free or keep these past EndLession.
    int GetLessionInfo_struc(const TIndex_Head*& PH, const TIndex_Count*& PC,
                             const TIndex_IBlock*& Index_IBlock_Array) const;

    bool Get_TotalCaptureSeconds(int& nT) const;
    bool Get_TotalFileInfo(int& nMBytes, int& nSec, int& nBitrate) const;

    int32_t LessionID = -1;
    int32_t nCurrentIBlockIndexPos = -1;

private:
    struct TQueuedFrame {
        uint32_t offset; // of the payload inside blockBytes
        uint32_t size;
        uint8_t type;
        int64_t PTS;
    };

    void Reset();
    int32_t BlockCount() const { return int32_t(Index_IBlock_A.size()); }
    bool Acceptable(const TIndex_IBlock& block, bool bIncludeDelete) const;
    void LoadNextBlock(bool bIncludeDelete);
    void LoadBlock(int32_t nIndex);
    void ClearQueue();

    TGetLessionInfo paths;
    TStoreFile m_IndexFileHandle;
    TStoreFile m_AVFileHandle;
    int64_t nAVFileSize = 0;
    TIndex_Head Index_Head{};
    TIndex_Count Index_Count{};
    std::vector<TIndex_IBlock> Index_IBlock_A;

    // The frames of the current block: its bytes read in one piece, and the
    // frames inside them not yet handed out (from frameNext on).
    std::vector<uint8_t> blockBytes;
    std::vector<TQueuedFrame> Frame;
    size_t frameNext = 0;
    int64_t nLastPTS = 0;
};

} // namespace tavrin
