// Pushes the programme live to an RTMP server as one FLV stream with an H.264
// and an AAC track. The output pipeline queues encoded pictures and the main
// channel's AAC frames; this thread stamps and writes them, reconnecting
// whenever the server has accepted nothing for a second.
#pragma once

#include "av/AvPtr.h"
#include "base/FrameQueue.h"
#include "base/MediaFrame.h"
#include "base/Thread.h"
#include "output/ClientSendInfo.h"
#include "output/RtmpStamper.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace tavrin {

class TRtmpSend : public TThread {
public:
    // Connection results.
    enum : int {
        kConnectOK = 0,
        kNoOutputContext = -1002,
        kCannotOpen = -1000,
        kNoHeader = -1001,
        kWriteException = -9,
    };
    static constexpr size_t kQueueLimit = 600;
    // A live stream is worth little late: a group of pictures that waited
    // longer than this is dropped whole, so after a stall the viewers get
    // the classroom as it is now rather than a replay of the backlog.
    static constexpr uint32_t kLiveDelayLimitMs = 1500;
    // How long the live line keeps saying that groups are being dropped.
    static constexpr uint32_t kDroppingShownMs = 3000;
    // A push stopped normally first sends what is queued, for at most this
    // long: on a healthy uplink that is a fraction of it, and a dead one
    // must not hold up the end of the lesson.
    static constexpr uint32_t kFinalSendMs = 1000;

    TRtmpSend();
    ~TRtmpSend() override;

    // Created paused and without an address. The video track is described
    // with the parameter sets our programme encoder emits at nW x nH.
    int initialize(int nW, int nH, int AudioDelay);
    // The same with the parameter sets given (Annex B SPS + PPS), for an
    // owner that already has them from its encoder.
    int initialize(int nW, int nH, int AudioDelay, std::span<const uint8_t> spsPps);

    void addPackage_IncludeHead(const TZeroMediaFrameHead& head, const uint8_t* pData);
    int refreshURL(const std::string& l_rtmpURL);
    int SetPause(bool pause);
    int SetAudioDelay(int AudioDelay);
    // The audio delay in effect, in milliseconds.
    int AudioDelayMs() const { return nAudiooffSet; }
    int GetClientInfo(TClientSendInfo& info);
    // Stops the thread, sends what is queued when the stream is live (for
    // at most kFinalSendMs), closes the output and empties the queue.
    void Destroy();

protected:
    void Execute() override;

private:
    int OpenConnection();
    void CloseOutput();
    int WriteFrame(const std::vector<uint8_t>& frame, bool fresh);
    void ClearAll();                // under FFrameLock
    void ClearToSecondKey();        // under FFrameLock
    void SkipToKeyFrame();          // takes FFrameLock
    void DropStaleGroups();         // under FFrameLock
    uint32_t AgeOf(size_t i) const; // under FFrameLock
    // After a normal stop: writes the held frame and the queue until the
    // connection fails or kFinalSendMs has passed.
    void SendQueuedOnStop(std::vector<uint8_t>& held, bool holding, bool fresh);
    bool FinalSendAllowed() const;
    static int InterruptRTMPIO(void* opaque);
    void BeginBlockingCall(uint32_t limitMs);

    AvOutputFormatContextPtr ofmt_ctx;
    AvPacketPtr AVPackets;
    int nWidth = 1280;
    int nHeight = 720;
    std::vector<uint8_t> videoExtradata;
    int streamIndex_V = 0;
    int streamIndex_A = 1;
    const uint8_t dsi[2] = {0x11, 0x80 | (2 << 3)}; // AAC-LC, 48 kHz, stereo

    TRtmpStamper stamper;
    uint64_t nACount_inner = 0;
    uint64_t nVCount_inner = 0;

    std::atomic<int32_t> nAudiooffSet{0}; // milliseconds
    std::atomic<uint32_t> ioStart{0};     // when the current blocking call began
    std::atomic<uint32_t> ioLimit{0};     // how long it may block
    std::string rtmpURL;
    std::atomic<int> nErrorCode{kCannotOpen};
    std::atomic<bool> bHasRtmpIni{false};
    std::atomic<bool> bNeedIFrame{true};
    std::atomic<bool> bChangeURL{false};
    std::atomic<bool> bPause{true};
    std::atomic<bool> bFinalSend{false}; // stopping, with a connection to send the queue on
    std::atomic<uint32_t> nStopAt{0};

    TFrameQueue pLink;
    std::mutex FFrameLock;
    std::condition_variable FFrameQueued; // a frame queued, under FFrameLock
    std::mutex FSetLock;
    TClientSendInfo ClientSendInfo; // address and pause, under FSetLock
    // Counters of the statistics, written by several threads.
    std::atomic<uint32_t> nReconnectCount{0};
    std::atomic<uint32_t> nAcceptTotalFrames{0};
    std::atomic<uint32_t> nHasSendFrames{0};
    std::atomic<uint32_t> nThrowFrames{0};
    // Under FFrameLock.
    uint64_t nPeakBytes = 0;
    uint32_t nLiveDropGroups = 0;
    uint32_t nLastLiveDrop = 0; // when a group was last dropped to stay live
};

} // namespace tavrin
