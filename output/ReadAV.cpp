#include "output/ReadAV.h"

#include "base/MediaFrame.h"
#include "output/StoreJournal.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <filesystem>

namespace tavrin {

namespace {

// Bytes of one audio frame at 131,072 bit/s: the audio share that the bit
// rate estimate takes off before it reports the video rate.
constexpr double kAudioFrameBytes = 349.5253333;

bool Exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

} // namespace

TReadAV::TReadAV() {
    Reset();
}

TReadAV::~TReadAV() {
    EndLession();
}

void TReadAV::initialize(const TGetLessionInfo& lessonPaths) {
    paths = lessonPaths;
    Frame.reserve(128);
    Reset();
}

void TReadAV::Reset() {
    m_IndexFileHandle.Close();
    m_AVFileHandle.Close();
    nAVFileSize = 0;
    LessionID = -1;
    nCurrentIBlockIndexPos = -1;
    std::memset(&Index_Head, 0, sizeof Index_Head);
    std::memset(&Index_Count, 0, sizeof Index_Count);
    Index_IBlock_A.clear();
    ClearQueue();
}

void TReadAV::EndLession() {
    Reset();
}

void TReadAV::ClearQueue() {
    Frame.clear();
    frameNext = 0;
}

int TReadAV::OpenLession(int32_t nLessionID) {
    Reset();
    LessionID = nLessionID;

    std::string dir, index, av;
    paths.Get_CaptureDir(nLessionID, dir);
    paths.Get_IndexFile(nLessionID, index);
    paths.Get_AVDataFile(nLessionID, av);
    if (!Exists(dir) || !Exists(index) || !Exists(av)) {
        Reset();
        return kNotRecorded;
    }
    // Shared locks: other readers may hold the lesson too, the recorder not.
    if (m_IndexFileHandle.Open(index, O_RDWR, TStoreFile::TLock::Shared) != TStoreFile::kOpened) {
        Reset();
        return kIndexNotOpened;
    }
    if (m_AVFileHandle.Open(av, O_RDONLY, TStoreFile::TLock::Shared) != TStoreFile::kOpened) {
        Reset();
        return kDataNotOpened;
    }
    nAVFileSize = m_AVFileHandle.Size();

    if (!m_IndexFileHandle.ReadExact(&Index_Head, sizeof Index_Head, kIndexHeadOffset) ||
        !m_IndexFileHandle.ReadExact(&Index_Count, sizeof Index_Count, kIndexCountOffset)) {
        Reset();
        return kNoBlocks;
    }
    // Blocks a killed recorder closed but whose counters it had not flushed.
    if (Index_Count.IBlockCount >= 0 && Index_Count.IBlockCount <= kMaxIBlockCount) {
        TIndex_IBlock last{};
        if (Index_Count.IBlockCount == 0 ||
            m_IndexFileHandle.ReadExact(&last, sizeof last,
                                        IBlockEntryOffset(Index_Count.IBlockCount - 1))) {
            RollForward(m_IndexFileHandle, m_AVFileHandle, Index_Count, last);
        }
    }
    const int32_t count = Index_Count.IBlockCount;
    // A count the table cannot hold comes from a damaged index: unreadable.
    if (count <= 0 || count > kMaxIBlockCount) {
        Reset();
        return kNoBlocks;
    }
    Index_IBlock_A.resize(size_t(count));
    if (!m_IndexFileHandle.ReadExact(Index_IBlock_A.data(), size_t(count) * sizeof(TIndex_IBlock),
                                     kIndexTableOffset)) {
        Reset();
        return kNoBlocks;
    }
    LessionID = nLessionID;
    LoadNextBlock(false);
    return kOpenOK;
}

bool TReadAV::Acceptable(const TIndex_IBlock& block, bool bIncludeDelete) const {
    return block.DeleteFlag == 0 || (block.DeleteFlag == 1 && bIncludeDelete);
}

void TReadAV::LoadNextBlock(bool bIncludeDelete) {
    const int32_t last = BlockCount() - 1;
    if (nCurrentIBlockIndexPos >= last) {
        return; // exhausted
    }
    do {
        ++nCurrentIBlockIndexPos;
    } while (nCurrentIBlockIndexPos < last &&
             !Acceptable(Index_IBlock_A[size_t(nCurrentIBlockIndexPos)], bIncludeDelete));
    // The search ends at the last block even when that one is to be skipped.
    if (!Acceptable(Index_IBlock_A[size_t(nCurrentIBlockIndexPos)], bIncludeDelete)) {
        return;
    }
    LoadBlock(nCurrentIBlockIndexPos);
}

void TReadAV::LoadBlock(int32_t nIndex) {
    ClearQueue();
    const TIndex_IBlock block = Index_IBlock_A[size_t(nIndex)];
    // Only the bytes that are really in av.dat: a damaged index or a short
    // file ends the block early instead of yielding made-up frames.
    const uint64_t inFile =
        uint64_t(nAVFileSize) > block.pos ? uint64_t(nAVFileSize) - block.pos : 0;
    const size_t want = size_t(std::min<uint64_t>(block.Length, inFile));
    blockBytes.resize(want);
    const size_t got = m_AVFileHandle.ReadAt({blockBytes.data(), want}, block.pos);

    const int32_t video = block.VideoCount;
    const int32_t audio = block.AudioCount;
    const int64_t promised = int64_t(std::max(video, 0)) + std::max(audio, 0);
    size_t at = 0;
    TZeroMediaFrameHead head{};
    for (int64_t n = 0; n < promised; ++n) {
        if (!ReadMediaFrameHead({blockBytes.data() + at, got - at}, head)) {
            break;
        }
        // A frame that runs past the block's bytes is dropped, not cut short.
        if (uint64_t(head.nFrameSize) > got - at - kMediaFrameHeadSize) {
            break;
        }
        Frame.push_back(
            {uint32_t(at + kMediaFrameHeadSize), head.nFrameSize, head.nFrameType, head.PTS});
        at += kMediaFrameHeadSize + head.nFrameSize;
    }
}

int TReadAV::GetFrame(std::vector<uint8_t>& PData, int& nSize, int& nType, int& nIPos,
                      bool bIncludeDelete) {
    const uint8_t* data = nullptr;
    nSize = GetFrameInPlace(data, nType, nIPos, bIncludeDelete);
    if (nSize < 0) {
        return -1;
    }
    PData.assign(data, data + nSize);
    return nSize;
}

int TReadAV::GetFrameInPlace(const uint8_t*& PData, int& nType, int& nIPos, bool bIncludeDelete) {
    // A block whose bytes hold no frame is passed over, not taken for the end.
    while (frameNext >= Frame.size()) {
        if (LessionID < 0 || nCurrentIBlockIndexPos >= BlockCount() - 1) {
            return -1;
        }
        LoadNextBlock(bIncludeDelete);
    }
    const TQueuedFrame& f = Frame[frameNext++];
    PData = blockBytes.data() + f.offset;
    nType = f.type;
    nIPos = nCurrentIBlockIndexPos;
    nLastPTS = f.PTS;
    return int(f.size);
}

int TReadAV::MoveToIPos(int nPos, bool bIncludeDelete) {
    if (BlockCount() == 0) {
        return -1;
    }
    nPos = std::clamp(nPos, 0, BlockCount() - 1);
    ClearQueue();
    nCurrentIBlockIndexPos = nPos - 1;
    LoadNextBlock(bIncludeDelete);
    return nPos;
}

int TReadAV::GetDeleteBlockState_I(int nPos) const {
    if (nPos < 0 || nPos >= BlockCount()) {
        return -1;
    }
    return Index_IBlock_A[size_t(nPos)].DeleteFlag;
}

int TReadAV::DeleteIBlock_I(int nPos) {
    if (nPos < 0 || nPos >= BlockCount()) {
        return -1;
    }
    uint8_t& flag = Index_IBlock_A[size_t(nPos)].DeleteFlag;
    flag = flag == 1 ? 0 : 1;
    return flag;
}

int TReadAV::RecoveryAllDeleteIBlock() {
    int cleared = 0;
    for (TIndex_IBlock& block : Index_IBlock_A) {
        cleared += block.DeleteFlag == 1 ? 1 : 0;
        block.DeleteFlag = 0;
    }
    return cleared;
}

int TReadAV::Save() {
    if (BlockCount() == 0) {
        return 0;
    }
    // The head and the counters belong to the recorder; only the table
    // with its marks is written back.
    const bool written = m_IndexFileHandle.WriteAt(
        Index_IBlock_A.data(), Index_IBlock_A.size() * sizeof(TIndex_IBlock), kIndexTableOffset);
    return written ? 0 : -1;
}

int TReadAV::GetLessionInfo_struc(const TIndex_Head*& PH, const TIndex_Count*& PC,
                                  const TIndex_IBlock*& Index_IBlock_Array) const {
    PH = &Index_Head;
    PC = &Index_Count;
    Index_IBlock_Array = Index_IBlock_A.data();
    return BlockCount();
}

bool TReadAV::Get_TotalCaptureSeconds(int& nT) const {
    nT = AudioFramesToSeconds(Index_Count.AudioCount);
    return true;
}

bool TReadAV::Get_TotalFileInfo(int& nMBytes, int& nSec, int& nBitrate) const {
    double bytes = 0;
    double audioFrames = 0;
    for (const TIndex_IBlock& block : Index_IBlock_A) {
        if (block.DeleteFlag == 0) {
            bytes += block.Length;
            audioFrames += block.AudioCount;
        }
    }
    nMBytes = int(std::ceil(bytes * 1.05 / 1048576.0));
    nSec = int(std::ceil(audioFrames * kAudioFrameMs / 1000.0));

    nBitrate = 10; // when the estimate cannot be made
    if (!Index_IBlock_A.empty()) {
        const TIndex_IBlock& last = Index_IBlock_A.back();
        const double total = double(last.pos) + double(last.Length);
        const double audio = Index_Count.AudioCount;
        const double rate =
            (total - audio * kAudioFrameBytes) / (audio * kAudioFrameMs) * 8.0 / 100.0;
        if (std::isfinite(rate) && std::fabs(rate) < double(INT_MAX)) {
            nBitrate = int(RoundTiesToEven(rate));
        }
    }
    return true;
}

} // namespace tavrin
