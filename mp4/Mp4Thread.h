// Turns one recorded lesson into an MP4: the kept I-blocks in recorded
// order, optionally re-encoded, between a title and a tail card. Pass 1
// writes the video and the audio into two elementary-stream files and notes
// the order; pass 2 muxes them with fresh timestamps. Runs on its own thread;
// the dialog polls the progress figures.
#pragma once

#include "base/GetLessionInfo.h"
#include "base/LessionInfo.h"
#include "base/Thread.h"
#include "output/ReadAV.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace tavrin {

struct TConvertMode {
    int nMode = 0; // 0 copy; 1 copy, cards at nW x nH; 2 re-encode to nW x nH
    int nSrcW = 0;
    int nSrcH = 0;
    int nW = 1920; // 1280x720 or 1920x1080
    int nH = 1080;
    uint32_t nBitbrate = 2000000;
};

// An image card: the JPEG (nNameLength 0 = none chosen) and the lesson.
struct TheadInfo {
    int nNameLength = 0;
    std::string sImageName;
    const TLessionInfo* vo = nullptr;
};

// What the operator is told when the builder ends with a failure code.
std::string Mp4FailureText(int result);

class TMp4Thread : public TThread {
public:
    // Pass-2 results besides 0.
    enum {
        kOpenH264 = -1,
        kH264Info = -2,
        kOpenAAC = -3,
        kAACInfo = -4,
        kOutputContext = -5,
        kVideoStream = -6,
        kVideoParams = -7,
        kAudioStream = -8,
        kAudioParams = -9,
        kOpenOutput = -10,
        kWriteHeader = -11,
        kWritePacket = -12,
        kWriteTrailer = -13, // also: the finished file could not take its name
        kDividePass = -20,   // pass 1 could not write its stream files
        // initialize: mode 0 copies the recording, so its size must be the
        // recording's (cards of another size would change the picture size
        // inside the MP4).
        kSizeNotRecorded = -30,
        kStopped = -21, // terminated by its owner; no MP4 is left
    };

    explicit TMp4Thread(const TGetLessionInfo& paths);
    ~TMp4Thread() override;

    // nType 0: standard cards from lesson and maker; 1: image cards head and
    // tail (lesson from head.vo); 2: no cards. 0, the store's open error, or
    // kSizeNotRecorded for mode 0 with a size other than the recording's.
    int initialize(int nType, const TLessionInfo& lesson, const TMakerInfo& maker,
                   const TheadInfo& head, const TheadInfo& tail, int nSecondHead, int nSecondTrail,
                   int AudiooffSet, const TConvertMode& rConvertMode, std::string& sFileName);
    // Writes the MP4 elsewhere than the lesson's output folder (before Start).
    void SetMp4File(const std::string& sFile) { sMp4 = sFile; }

    // 0..100 while working, -1 once done.
    int GetCurrentPos() const;
    int GetTotalMp4Frames() const { return nMp4TotalFrame.load(); }
    // After completion: 0, or the first failure (codes above).
    int GetResult() const { return nResult.load(); }
    // Runs both passes and the clean-up on the calling thread.
    int RunTask();

protected:
    void Execute() override;

private:
    int DivideFrames();
    int MakeMp4();
    void CleanUp();
    // Builds the card picture into YUVBUF; false when the card is left out.
    bool PrepareCard(bool bTail, int cardW, int cardH);
    bool WriteCard(bool bTail, int nSeconds, int cardW, int cardH, int nProgressBase,
                   int& nProgressOut);
    bool WriteFrame(FILE* f, uint8_t nType, const uint8_t* data, size_t size);

    TGetLessionInfo paths;
    TReadAV ReadAV;
    std::atomic<bool> bIniOK{false};
    std::atomic<bool> bTaskEndOK{false};
    int nSecondFilter_head = 0;
    int nSecondFilter_trail = 0;
    TConvertMode ConvertMode;
    int nAudiooffSet = 0;
    int nHeadType = 0;
    TLessionInfo LessionInfo;
    TMakerInfo MakerInfo;
    TheadInfo pImageHead;
    TheadInfo pImageLast;
    std::string sMp4;
    std::string sTemp;
    std::string sAACFile;
    std::string sH264File;
    FILE* hAACFile = nullptr;
    FILE* hH264File = nullptr;
    std::vector<uint8_t> aAVLinkBuf;
    // Byte size of each unit in aAVLinkBuf: pass 2 reads the stream files
    // back unit by unit without parsing them.
    std::vector<uint32_t> aUnitSizes;
    // Pass 1 writes its stream files through these large buffers.
    std::unique_ptr<char[]> aacFileBuffer;
    std::unique_ptr<char[]> h264FileBuffer;
    std::atomic<int> nCurrentPos_DivideFrame{0};
    std::atomic<int> nCurrentPos_MakeMP4{0};
    std::atomic<int> nMp4TotalFrame{0};
    std::atomic<int> nResult{0};
    std::vector<uint8_t> YUVBUF;
};

} // namespace tavrin
