// The lesson recorder: appends every programme picture and audio frame to
// av.dat, cuts the stream into I-blocks at key frames and enters each
// closed block in index.dat. A lesson recorded in several runs continues
// after its last closed block.
//
// What survives: a new store's two files (and their folder entries) are
// flushed before recording starts. Frames go to av.dat through the page
// cache as they come. When a block closes, its table entry and a journal
// note (its index and the CRC of its bytes, at the end of av.dat,
// StoreJournal.h) are written at once, and the store syncer's thread then flushes the frames,
// the entry and finally the counters, in that order (StoreSyncer.h). So:
// - a killed process loses only the open block: every write it made reaches
//   the disk, and opening the store adopts the noted blocks after the
//   counters whose bytes match their CRC;
// - a power cut loses the open block and at most the block closed during
//   the flush round under way (milliseconds each second); counters on the
//   disk never cover bytes that are not there, and a noted block only half
//   written back fails its CRC and is not adopted.
// Frames are never flushed one by one: three flushes per block, about one
// a second, off the thread that hands the frames over.
//
// When the disk refuses a frame (full, or failing), the open block is closed
// with the frames written so far, which are a whole prefix of its pictures,
// and nothing more is written until the next key frame. When the index can
// no longer be written or flushed, recording into this store stops: the
// index keeps every block closed before.
#pragma once

#include "base/GetLessionInfo.h"
#include "output/LessonStoreFormat.h"
#include "output/StoreFile.h"
#include "output/StoreIO.h"
#include "output/StoreJournal.h"
#include "output/StoreSyncer.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>

namespace tavrin {

inline constexpr char kIndexOpenFailedExit[] = "索引文件打不开，请重启软件或电脑，系统即将退出";
inline constexpr char kDataOpenFailedExit[] = "数据文件打不开，请重启电脑，系统即将退出";

// What the operator is told when NewLession fails (dir: the capture folder);
// empty for a result that is not a failure.
std::string NewLessionFailureText(int result, const std::string& dir);

class TSaveAV {
public:
    // NewLession results.
    enum {
        kNewOK = 0,
        kFolderFailed = -1, // the capture folder cannot be created
        kIndexFailed = -2,  // index.dat cannot be opened or created
        kDataFailed = -3,   // av.dat cannot be opened or created
    };

    TSaveAV();
    ~TSaveAV();
    TSaveAV(const TSaveAV&) = delete;
    TSaveAV& operator=(const TSaveAV&) = delete;

    // The lesson path object says where the lesson's files are and gives the
    // user ID for the index head.
    void Create(const TGetLessionInfo& lessonPaths);
    void Destroy();

    // Preparing a new av.dat takes a while without a fast allocation; the
    // GUI shows a progress window, the CLI a bar.
    void SetPrepareProgress(TPrepareProgress progress);
    // Allocate (the default) or write every zero byte of a new av.dat.
    void SetPrepareMode(TPrepareMode mode);
    // The file system calls of the store go through io (before NewLession).
    void SetStoreIO(TStoreIO& io);
    // Off: closed blocks are entered in the index at once and never flushed
    // (for measuring what durability costs).
    void SetDurable(bool bDurable);

    int NewLession(int32_t nLessionID, int32_t W, int32_t H);
    int EndLession();
    bool SetCaptureState(bool bC);
    int PushH264(const uint8_t* PData, int nSize, int nType);
    int PushAAC(const uint8_t* PData, int nSize);
    int SetThisPortInError(int nPort, int errorCode);
    bool Get_TotalCaptureSeconds(int& nT, int& nL) const;
    void PreventCapture();

    // Pictures and audio frames written to the store of the open lesson,
    // earlier runs included; read without the lock.
    void GetRecordedFrames(int& nPictures, int& nAudioFrames) const {
        nPictures = nVideoTotal;
        nAudioFrames = nAudioTotal;
    }

    bool Capturing() const { return bCapture; }
    // The index can no longer be written: nothing more is recorded.
    // Closed blocks whose frames, entry and counters are on the disk.
    int32_t DurableBlocks() const { return syncer.DurableBlocks(); }
    bool StoreBroken() const { return bStoreBroken || syncer.Broken(); }
    int32_t OpenLessionID() const { return LessionID; }

private:
    void ResetLocked();
    int OpenStoreLocked();
    int PrepareStoreLocked(const std::string& dir, const std::string& index, const std::string& av);
    bool InitIndex();
    void CloseBlockLocked();
    void WriteFrameLocked(uint8_t t, const uint8_t* payload, uint32_t n);
    void PublishTotalsLocked();

    TGetLessionInfo paths;
    TPrepareProgress prepareProgress;
    TPrepareMode prepareMode = TPrepareMode::Allocate;
    TStoreIO* io = &PosixStoreIO();
    bool bDurable = true;

    std::atomic<int32_t> LessionID{-1};
    int32_t nYUVWidth = 0;
    int32_t nYUVHeiht = 0;
    TStoreFile m_IndexFileHandle;
    TStoreFile m_AVFileHandle;
    TIndex_Head Index_Head{};
    TIndex_Count Index_Count{};
    TIndex_IBlock Index_IBlock{};
    TStoreJournal Journal;
    // CRC of the open block's bytes so far.
    uint32_t nBlockCrc = kBlockCrcStart;
    bool bNeedIFrame = true;
    std::atomic<bool> bCapture{false};
    std::atomic<bool> bPreventCapture{false};
    std::atomic<bool> bStoreBroken{false};
    // Set without the lock by the error marks; taken into the block at close.
    std::atomic<uint8_t> nOpenBlockErrorFlag{0};
    // Copies of the totals for readers that do not take the lock.
    std::atomic<int32_t> nAudioTotal{0};
    std::atomic<int32_t> nVideoTotal{0};
    std::atomic<uint64_t> nUsedBytes{0};
    std::mutex FFrameLock;
    // Declared after the files it flushes, so it stops before they close.
    TStoreSyncer syncer;
};

} // namespace tavrin
