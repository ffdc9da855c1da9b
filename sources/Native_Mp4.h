// The file source of a slot: plays an MP4 (or MKV, or any container with one
// H.264 video and one audio stream) once or in a loop, paced by its audio.
// Every 128 ms it queues six 48 kHz stereo AAC frames and the video that
// belongs to them, as media frame records.
#pragma once

#include "av/AvPtr.h"
#include "base/Thread.h"
#include "decode/DecodeAudio.h"
#include "output/Adts.h"
#include "output/EncodeAudio.h"
#include "sources/AacRelay.h"
#include "sources/FrameList.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

struct AVBSFContext;

namespace tavrin {

class TNative_Mp4 : public TThread {
public:
    static constexpr uint32_t kChunkMs = 128;
    static constexpr int kChunkAudioFrames = 6;

    TNative_Mp4() = default;
    ~TNative_Mp4() override;

    // 0, -1 cannot open, -2 no stream information, -3 a video or an audio
    // stream is missing (or its decoder / the bitstream filter is unusable).
    int initialize(const std::string& pFileName);

    // The head record, 0; -1 when the queue is empty.
    int GetPackage(const std::vector<uint8_t>*& pHead);
    void DeleteHead() { pLink.DeleteHead(); }
    size_t Queued() const { return pLink.Size(); }

    bool GetCycle() const { return bCyclePlay; }
    bool SetCycle(bool bCycle);
    bool SetPause();
    void GetCurrentPos(int& CurrentSec, int& TotalSec);
    void SetCurrentPos(int nSec);

    bool PassesAudioThrough() const { return bIsSameAudioFMT; }
    bool HasDone() const { return bHasDone; }

    // One turn of the thread loop: produces the chunks that are due. Public
    // so the pacing can be driven by the test clock.
    void RunTurn();
    // Reads one chunk; 0, or -1 when the end or a read error came first.
    int ReadChunk();

protected:
    void Execute() override;

private:
    int OpenFile(const std::string& name);
    int SetupBitstreamFilter();
    void QueueAudioPacket(const AVPacket* pkt, int& queued);
    void QueueVideoPacket(AVPacket* pkt);
    int64_t ToMicros(int64_t pts, int streamIndex) const;

    TFrameList pLink;
    AvInputFormatContextPtr pAVFormatCtx;
    AvPacketPtr PAVPackets;
    int videoStreamIndex = -1;
    int audioStreamIndex = -1;
    int64_t nCurrentFrames = 0;
    std::atomic<bool> bHasDone{false};
    std::atomic<bool> bPause{false};
    bool bNeedStartPlayAnyFrame = true;
    AVBSFContext* bsf_ctx = nullptr;
    bool bsfINI = false;
    uint8_t ADTSHEAD[kAdtsHeaderSize] = {};
    TDecodeAudio DecodeAudio;
    TEncodeAudio EncodeAudio;
    bool bIsSameAudioFMT = false;
    uint32_t iNeedPlayCount = 0;
    int bytesPersample = 4;
    std::atomic<int64_t> nLastAudioPTS{0};
    std::atomic<bool> bCyclePlay{false};
    // Seeking from the GUI thread and reading here share the container.
    std::mutex FReadLock;
    std::vector<uint8_t> aacScratch;
    TAacRelay AacRelay{DecodeAudio, EncodeAudio, pLink, /*endOnFrameError=*/false};
};

} // namespace tavrin
