// The lesson recorder: appends every programme picture and audio frame to
// av.dat, cuts the stream into I-blocks at key frames and enters each
// closed block in index.dat. A lesson recorded in several runs continues
// after its last closed block.
#pragma once

#include "base/GetLessionInfo.h"
#include "output/LessonStoreFormat.h"
#include "output/StoreFile.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>

namespace tavrin {

inline constexpr char kIndexOpenFailedExit[] = "索引文件打不开，请重启软件或电脑，系统即将退出";
inline constexpr char kDataOpenFailedExit[] = "数据文件打不开，请重启电脑，系统即将退出";

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
    int32_t OpenLessionID() const { return LessionID; }

private:
    void ResetLocked();
    int OpenStoreLocked();
    bool InitIndex();
    void CloseBlockLocked();
    void WriteFrameLocked(uint8_t t, const uint8_t* payload, uint32_t n);
    void PublishTotalsLocked();

    TGetLessionInfo paths;
    TPrepareProgress prepareProgress;
    TPrepareMode prepareMode = TPrepareMode::Allocate;

    std::atomic<int32_t> LessionID{-1};
    int32_t nYUVWidth = 0;
    int32_t nYUVHeiht = 0;
    TStoreFile m_IndexFileHandle;
    TStoreFile m_AVFileHandle;
    TIndex_Head Index_Head{};
    TIndex_Count Index_Count{};
    TIndex_IBlock Index_IBlock{};
    bool bNeedIFrame = true;
    std::atomic<bool> bCapture{false};
    std::atomic<bool> bPreventCapture{false};
    // Set without the lock by the error marks; taken into the block at close.
    std::atomic<uint8_t> nOpenBlockErrorFlag{0};
    // Copies of the totals for readers that do not take the lock.
    std::atomic<int32_t> nAudioTotal{0};
    std::atomic<int32_t> nVideoTotal{0};
    std::atomic<uint64_t> nUsedBytes{0};
    std::mutex FFrameLock;
};

} // namespace tavrin
