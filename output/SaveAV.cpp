#include "output/SaveAV.h"

#include "base/MediaFrame.h"
#include "base/Message.h"
#include "base/Trace.h"

#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>

namespace tavrin {

namespace {

bool Exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

} // namespace

std::string NewLessionFailureText(int result, const std::string& dir) {
    switch (result) {
    case TSaveAV::kDataFailed:
        return "录像数据文件打不开,请考虑退出本软件,或重启电脑,或者等几秒再试";
    case TSaveAV::kIndexFailed:
        return "录像索引文件打不开,请考虑退出本软件,或重启电脑,或者等几秒再试";
    case TSaveAV::kFolderFailed:
        return "无法生成录课文件目录,请查看一下路径是否合法：" + dir;
    default:
        return {};
    }
}

TSaveAV::TSaveAV() {
    std::lock_guard lock(FFrameLock);
    ResetLocked();
}

TSaveAV::~TSaveAV() {
    Destroy();
}

void TSaveAV::Create(const TGetLessionInfo& lessonPaths) {
    std::lock_guard lock(FFrameLock);
    paths = lessonPaths;
    ResetLocked();
}

void TSaveAV::Destroy() {
    // An owner that forgot EndLession still gets its open block saved.
    EndLession();
}

void TSaveAV::SetPrepareProgress(TPrepareProgress progress) {
    std::lock_guard lock(FFrameLock);
    prepareProgress = std::move(progress);
}

void TSaveAV::SetPrepareMode(TPrepareMode mode) {
    std::lock_guard lock(FFrameLock);
    prepareMode = mode;
}

void TSaveAV::SetStoreIO(TStoreIO& storeIO) {
    std::lock_guard lock(FFrameLock);
    ResetLocked();
    io = &storeIO;
    m_IndexFileHandle.SetIO(storeIO);
    m_AVFileHandle.SetIO(storeIO);
}

void TSaveAV::SetDurable(bool durable) {
    std::lock_guard lock(FFrameLock);
    bDurable = durable;
}

void TSaveAV::ResetLocked() {
    // Every closed block reaches the disk before the files close.
    syncer.End();
    bStoreBroken = false;
    bNeedIFrame = true;
    bCapture = false;
    LessionID = -1;
    m_IndexFileHandle.Close();
    m_AVFileHandle.Close();
    std::memset(&Index_Head, 0, sizeof Index_Head);
    std::memset(&Index_Count, 0, sizeof Index_Count);
    std::memset(&Index_IBlock, 0, sizeof Index_IBlock);
    Journal = TStoreJournal{};
    nBlockCrc = kBlockCrcStart;
    nOpenBlockErrorFlag = 0;
    PublishTotalsLocked();
}

void TSaveAV::PublishTotalsLocked() {
    nAudioTotal = Index_Count.AudioCount;
    nVideoTotal = Index_Count.VideoCount;
    nUsedBytes = uint64_t(Index_IBlock.pos) + Index_IBlock.Length;
}

int TSaveAV::NewLession(int32_t nLessionID, int32_t W, int32_t H) {
    std::lock_guard lock(FFrameLock);
    if (LessionID >= 0 && LessionID == nLessionID) {
        return kNewOK;
    }
    if (LessionID >= 0) {
        CloseBlockLocked();
    }
    ResetLocked();
    nYUVWidth = W;
    nYUVHeiht = H;
    LessionID = nLessionID;
    const int result = OpenStoreLocked();
    if (result != kNewOK) {
        ResetLocked();
    }
    return result;
}

bool TSaveAV::InitIndex() {
    if (!m_IndexFileHandle.FillZeros(kIndexFileSize, TPrepareMode::Allocate, nullptr)) {
        return false;
    }
    std::string userID;
    paths.Get_UserID(userID);
    Index_Head = MakeIndexHead(LessionID, userID.c_str(), nYUVWidth, nYUVHeiht, LocalDateTimeNow());
    std::memset(&Index_Count, 0, sizeof Index_Count);
    std::memset(&Index_IBlock, 0, sizeof Index_IBlock);
    return m_IndexFileHandle.WriteAt(&Index_Head, sizeof Index_Head, kIndexHeadOffset);
}

int TSaveAV::OpenStoreLocked() {
    std::string dir, index, av;
    paths.Get_CaptureDir(LessionID, dir);
    paths.Get_IndexFile(LessionID, index);
    paths.Get_AVDataFile(LessionID, av);

    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!std::filesystem::is_directory(dir, ec)) {
        return kFolderFailed;
    }

    if (!Exists(index) || !Exists(av)) {
        if (const int prepared = PrepareStoreLocked(dir, index, av); prepared != kNewOK) {
            return prepared;
        }
    }

    // Held exclusively until the lesson ends: no reader may see a half
    // written block, and no second recorder may write the same lesson.
    if (m_IndexFileHandle.Open(index, O_RDWR | O_CREAT, TStoreFile::TLock::Exclusive) !=
        TStoreFile::kOpened) {
        ShowMessage(kIndexOpenFailedExit, TMsgIcon::Error);
        EndProcess();
        return kIndexFailed;
    }
    bool indexSound =
        m_IndexFileHandle.Size() == int64_t(kIndexFileSize) &&
        m_IndexFileHandle.ReadExact(&Index_Head, sizeof Index_Head, kIndexHeadOffset) &&
        m_IndexFileHandle.ReadExact(&Index_Count, sizeof Index_Count, kIndexCountOffset) &&
        Index_Count.IBlockCount >= 0 && Index_Count.IBlockCount <= kMaxIBlockCount;
    if (indexSound && Index_Count.IBlockCount > 0) {
        indexSound = m_IndexFileHandle.ReadExact(&Index_IBlock, sizeof Index_IBlock,
                                                 IBlockEntryOffset(Index_Count.IBlockCount - 1));
    }
    if (!indexSound) {
        // Its old table is lost; av.dat is written again from the start.
        Trace("index.dat rebuilt");
        if (!InitIndex() || (bDurable && !m_IndexFileHandle.DataSync())) {
            return kIndexFailed;
        }
    }

    const bool avExisted = Exists(av);
    if (m_AVFileHandle.Open(av, O_RDWR | O_CREAT, TStoreFile::TLock::Exclusive) !=
        TStoreFile::kOpened) {
        ShowMessage(kDataOpenFailedExit, TMsgIcon::Error);
        EndProcess();
        return kDataFailed;
    }
    if (!avExisted && !m_AVFileHandle.FillZeros(kAVFileSize, prepareMode, prepareProgress)) {
        return kDataFailed;
    }

    // Blocks a killed run closed but whose counters it had not flushed yet.
    if (const int adopted =
            RollForward(m_IndexFileHandle, m_AVFileHandle, Index_Count, Index_IBlock);
        adopted > 0) {
        Trace("index.dat: " + std::to_string(adopted) + " noted blocks adopted");
        const bool flushed =
            (!bDurable || (m_AVFileHandle.DataSync() && m_IndexFileHandle.DataSync())) &&
            m_IndexFileHandle.WriteAt(&Index_Count, sizeof Index_Count, kIndexCountOffset) &&
            (!bDurable || m_IndexFileHandle.DataSync());
        if (!flushed) {
            return kIndexFailed;
        }
    }
    Journal = TStoreJournal{};
    Journal.magic = TStoreJournal::kMagic;
    Journal.nClosed = Index_Count.IBlockCount;

    // The next block starts right after the last closed one. Its error mark
    // starts clear like every other new block.
    Index_IBlock.pos += Index_IBlock.Length;
    Index_IBlock.Length = 0;
    Index_IBlock.VideoCount = 0;
    Index_IBlock.AudioCount = 0;
    Index_IBlock.DeleteFlag = 0;
    Index_IBlock.ErrorFlag = 0;
    nOpenBlockErrorFlag = 0;
    PublishTotalsLocked();
    if (bDurable) {
        syncer.Begin(m_AVFileHandle, m_IndexFileHandle, Index_Count.IBlockCount);
    }
    return kNewOK;
}

int TSaveAV::PrepareStoreLocked(const std::string& dir, const std::string& index,
                                const std::string& av) {
    // A lone index.dat or a lone av.dat is no lesson: both start afresh.
    // What a failed preparation made is removed again: an av.dat that could
    // not be allocated would otherwise be taken for a prepared one next time
    // and grow frame by frame on a full disk.
    const auto fail = [&](int result) {
        m_IndexFileHandle.Close();
        m_AVFileHandle.Close();
        std::error_code ec;
        std::filesystem::remove(av, ec);
        std::filesystem::remove(index, ec);
        return result;
    };
    if (m_IndexFileHandle.Open(index, O_RDWR | O_CREAT, TStoreFile::TLock::Exclusive) !=
            TStoreFile::kOpened ||
        !InitIndex() || (bDurable && !m_IndexFileHandle.DataSync())) {
        return fail(kIndexFailed);
    }
    m_IndexFileHandle.Close();
    if (m_AVFileHandle.Open(av, O_RDWR | O_CREAT, TStoreFile::TLock::Exclusive) !=
            TStoreFile::kOpened ||
        !m_AVFileHandle.FillZeros(kAVFileSize, prepareMode, prepareProgress) ||
        (bDurable && !m_AVFileHandle.DataSync())) {
        // A data file that cannot hold the lesson would lose every frame.
        return fail(kDataFailed);
    }
    m_AVFileHandle.Close();
    // The new files' names must survive a power cut as well as their bytes.
    if (bDurable && io->SyncDir(dir.c_str()) != 0) {
        return fail(kDataFailed);
    }
    return kNewOK;
}

int TSaveAV::EndLession() {
    std::lock_guard lock(FFrameLock);
    if (LessionID >= 0) {
        CloseBlockLocked();
    }
    ResetLocked();
    return 0;
}

bool TSaveAV::SetCaptureState(bool bC) {
    std::lock_guard lock(FFrameLock);
    bCapture = bC;
    if (LessionID >= 0) {
        CloseBlockLocked();
    }
    if (bC) {
        bNeedIFrame = true;
    }
    return bC;
}

void TSaveAV::CloseBlockLocked() {
    if (Index_IBlock.Length == 0) {
        return;
    }
    Index_Count.IBlockCount += 1;
    Index_Count.LastTime = double(LocalWallClockMicros());
    Index_IBlock.DeleteFlag = 0;
    Index_IBlock.ErrorFlag = nOpenBlockErrorFlag.exchange(0);
    const int32_t k = Index_Count.IBlockCount - 1;
    if (bDurable) {
        // The note keeps the last few blocks; one it would drop must count on
        // the disk first (only a disk many seconds behind ever waits here).
        syncer.WaitDurable(k - TStoreJournal::kSlots + 1);
    }
    Journal.nClosed = Index_Count.IBlockCount;
    Journal.slot[k % TStoreJournal::kSlots] = {k, nBlockCrc};
    if (!bStoreBroken) {
        // Entry and note at once, so a killed process loses no closed block;
        // the counters wait for the flushes (or, without them, follow at once).
        bool written =
            m_IndexFileHandle.WriteAt(&Index_IBlock, sizeof Index_IBlock, IBlockEntryOffset(k)) &&
            m_AVFileHandle.WriteAt(&Journal, sizeof Journal, kStoreJournalOffset);
        if (written && !bDurable) {
            written =
                m_IndexFileHandle.WriteAt(&Index_Count, sizeof Index_Count, kIndexCountOffset);
        }
        if (!written) {
            bStoreBroken = true;
            Trace("index.dat: block entry not written");
        } else if (bDurable) {
            syncer.BlockClosed(Index_Count);
        }
    }
    Index_IBlock.pos += Index_IBlock.Length;
    Index_IBlock.Length = 0;
    Index_IBlock.VideoCount = 0;
    Index_IBlock.AudioCount = 0;
    Index_IBlock.ErrorFlag = 0;
    nBlockCrc = kBlockCrcStart;
    PublishTotalsLocked();
}

void TSaveAV::WriteFrameLocked(uint8_t t, const uint8_t* payload, uint32_t n) {
    if (bPreventCapture || StoreBroken()) {
        return;
    }
    if (!bNeedIFrame && t == kFrameH264Key) {
        CloseBlockLocked();
    }
    if (bNeedIFrame) {
        if (t != kFrameH264Key) {
            return;
        }
        bNeedIFrame = false;
    }
    const uint64_t at = uint64_t(Index_IBlock.pos) + Index_IBlock.Length;
    // Offsets in the index are 32-bit, and a block beyond the table's room
    // could never be entered: such frames are dropped rather than corrupting
    // the lesson.
    if (at + kMediaFrameHeadSize + n > kStoreJournalOffset ||
        Index_Count.IBlockCount >= kMaxIBlockCount) {
        return;
    }
    uint8_t head[kMediaFrameHeadSize];
    WriteMediaFrameHead({t, n, LocalWallClockMicros()}, head);
    if (!m_AVFileHandle.WriteTwoAt(head, {payload, n}, at)) {
        // The pictures after this one would refer to it: the block ends with
        // the frames written so far, and the next key frame starts afresh.
        // The refused bytes lie beyond the block and are written over.
        Trace("av.dat: frame not written");
        CloseBlockLocked();
        bNeedIFrame = true;
        return;
    }
    nBlockCrc = BlockCrc(BlockCrc(nBlockCrc, head, sizeof head), payload, n);
    if (t == kFrameAAC) {
        Index_Count.AudioCount += 1;
        Index_IBlock.AudioCount += 1;
    } else {
        Index_Count.VideoCount += 1;
        Index_IBlock.VideoCount += 1;
    }
    Index_IBlock.Length += uint32_t(kMediaFrameHeadSize + n);
    PublishTotalsLocked();
}

int TSaveAV::PushH264(const uint8_t* PData, int nSize, int nType) {
    if (bPreventCapture || !bCapture || LessionID < 0) {
        return 0;
    }
    // Only pictures belong here; anything else would be counted as one.
    if ((nType != kFrameH264 && nType != kFrameH264Key) || nSize < 0 ||
        (PData == nullptr && nSize > 0)) {
        return 0;
    }
    std::lock_guard lock(FFrameLock);
    if (!bCapture || LessionID < 0 || (bNeedIFrame && nType != kFrameH264Key)) {
        return 0;
    }
    WriteFrameLocked(uint8_t(nType), PData, uint32_t(nSize));
    return 0;
}

int TSaveAV::PushAAC(const uint8_t* PData, int nSize) {
    if (bPreventCapture || !bCapture || LessionID < 0) {
        return 0;
    }
    if (nSize < 0 || (PData == nullptr && nSize > 0)) {
        return 0;
    }
    std::lock_guard lock(FFrameLock);
    if (!bCapture || LessionID < 0) {
        return 0;
    }
    WriteFrameLocked(kFrameAAC, PData, uint32_t(nSize));
    return 0;
}

int TSaveAV::SetThisPortInError(int /*nPort*/, int errorCode) {
    if (!bCapture || LessionID < 0) {
        return 0;
    }
    nOpenBlockErrorFlag = uint8_t(errorCode & 0xFF);
    return errorCode;
}

bool TSaveAV::Get_TotalCaptureSeconds(int& nT, int& nL) const {
    nT = AudioFramesToSeconds(nAudioTotal);
    nL = int(nUsedBytes / 1048576);
    return true;
}

void TSaveAV::PreventCapture() {
    bPreventCapture = true;
}

} // namespace tavrin
