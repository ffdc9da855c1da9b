// The channel worker of one slot: buffers the slot's media frames, plays
// them out at a pace set by the queue depth, decodes them, shows the
// preview with its cut overlays and levels, hands pictures and AAC frames
// to the output pipeline, and plays the channel on the speakers when it is
// monitored. It also holds the channel's cut state.
#pragma once

#include "base/FrameQueue.h"
#include "base/Thread.h"
#include "decode/DecodeAudio.h"
#include "decode/DecodeVideo.h"
#include "decode/TestRect.h"
#include "sources/SourceLinks.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace tavrin {

class TClientThread : public TThread {
public:
    // The queue's bound: a source that floods it loses whole groups of
    // pictures (and the sound between them) instead of exhausting memory.
    static constexpr int kMaxQueuedVideo = 250;  // ten seconds at 25 fps
    static constexpr int kMaxQueuedAudio = 1000; // about twenty seconds
    static constexpr size_t kMaxQueuedBytes = 64u << 20;

    TClientThread() = default;
    ~TClientThread() override { Destroy(); }

    // 0, or -1 when a decoder cannot be opened.
    int initialize(int nP, int nDisp, int nYUVWidth, int nYUVHeight);
    // Any link may be null: that output is then skipped.
    void SetLinks(IProgrammeLink* programme, IPreviewLink* preview, IMonitorLink* monitor);

    // Copies the record (head and payload) to the end of the queue; returns
    // the copied size, or 0 when the record was dropped by the bound.
    int PushFrame(const uint8_t* pData);
    void RealPlayYUV(const AVFrame* p);
    void RealPlayAudio(const uint8_t* p, int nType, int nSize);

    // A live source (a phone on the network) sends at its own pace, so a
    // backlog its queue keeps is only delay: one that lasts a second of
    // pictures is played down at the backlog pace. File sources deliver in
    // bursts and keep the plain pacing.
    void SetLiveSource(bool bLive) { bLiveSource = bLive; }
    // Due times in a row at which the live queue held a waiting picture
    // behind the due one, before the waiting one is played sooner.
    static constexpr uint32_t kLiveBacklogPlays = 25;

    void SetDispPortAndCH(int nP, int nDisp);
    void SetInCut(bool bEnable) { bCut = bEnable; }
    bool GetIfInCut() const { return bCut; }
    bool SetClipArea(int xStart, int yStart, int xEnd, int yEnd, int& xMiddleFocusPos,
                     int& yMiddleFocusPos, bool bTestDraw);
    bool ConvertTestRectToReal(int& xMiddleFocusPos, int& yMiddleFocusPos);
    void MoveCutArea(int incream_H, int incream_V);
    void StopMove() { bMoveRect = false; }
    void SetIsAudioMainPort(bool bIs) { bIsMainAudio = bIs; }
    bool GetIsAudioMainPort() const { return bIsMainAudio; }
    void EnablePlayAudio() { bPlayAudio = true; }
    void DisablePlayAudio() { bPlayAudio = false; }
    bool IsPlayingAudio() const { return bPlayAudio; }
    std::string GetPIX() const { return DecodeVideo.GetPIX(); }
    // Size of the source's pictures as last decoded; false before the first.
    bool GetWH(int& w, int& h) const { return DecodeVideo.GetWH(w, h); }
    // Preview pictures scaled for this channel so far.
    uint64_t PreviewsScaled() const { return DecodeVideo.PreviewsScaled(); }

    void Destroy();

    // One step of the thread loop, exposed so the pacing can be driven by
    // the test clock: is a video record due now (schedules the next one)?
    bool IsDue();
    // How long the loop may sleep when nothing is due: until the next
    // record's time when pictures are queued, else until a push wakes it
    // (bounded either way, so that Terminate is noticed). 0: due now.
    static uint32_t IdleWaitMs(uint32_t now, uint32_t needPlay, int queuedVideo);
    // Plays records from the head until one video record was played.
    void PlayNext();

    uint32_t NeedPlayCount() const { return iNeedPlayCount; }
    void ResetPacing() { iNeedPlayCount = 0; }
    int QueuedVideo() const;
    int QueuedAudio() const;
    // Records thrown away by the queue's bound since initialize.
    int64_t DroppedVideo() const { return nDroppedVideo; }
    int64_t DroppedAudio() const { return nDroppedAudio; }
    bool GetTestRect(TestRect& shown, TestRect& adjusted) const;
    // The cut area in use, in source pixels of a w x h picture.
    bool GetClipRect(SDL_Rect& sd, int& w, int& h) const {
        return DecodeVideo.GetClipRect(sd, w, h);
    }

    // Where a picture is on its way through the worker, for latency
    // measurements: queued, taken for decoding, out of the decoder, placed
    // in the programme. The observer gets the port, the stage and the
    // picture's stamp (the unit's PTS), on the calling thread.
    enum TStage : int { kStageQueued, kStagePlayed, kStageDecoded, kStageComposed };
    using TStageObserver = std::function<void(int nPort, TStage stage, int64_t pts)>;
    // Instrumentation only: settable on a worker seen as const.
    void SetStageObserver(TStageObserver observer) const;

protected:
    void Execute() override;

private:
    // One picture to play: an H.264 unit from the queue, or a picture a
    // local source has already decoded.
    struct TVideoInput {
        const uint8_t* data;
        int size;
        int nType;
        const AVFrame* decoded;
    };
    void VideoPath(const TVideoInput& in);
    void AudioPath(const uint8_t* data, int nType, int nSize);
    void Monitor(const uint8_t* pcm, int nBytes);
    // Under FFrameLock: makes room before a push; false when the record
    // must be dropped (waiting for a key frame after a trim).
    bool MakeRoom(uint8_t nType, size_t nBytes);
    void DropHead(size_t count);

    std::atomic<bool> bPlayAudio{false};
    bool bThrowAudio = false;
    std::atomic<int32_t> nPort{0};
    std::atomic<int32_t> nDispPort{0};
    uint32_t iNeedPlayCount = 0;
    std::atomic<bool> bLiveSource{false};
    uint32_t nBacklogPlays = 0;
    AVFrame* POutFrame = nullptr;
    AVFrame* pFrameYUV_Clip = nullptr;
    TFrameQueue Frame; // its counts are nVCount and nACount
    mutable std::mutex FFrameLock;
    std::condition_variable FFrameQueued; // a push, under FFrameLock
    TDecodeVideo DecodeVideo;
    TDecodeAudio DecodeAudio;
    // A channel plays from its own queue and, for a local device, from the
    // device's capture thread; a source being replaced and its successor
    // can overlap. The decoders and their scalers serve one caller at a time.
    std::mutex FVideoPathLock;
    std::mutex FAudioPathLock;
    std::atomic<bool> bCut{false};
    std::atomic<bool> bMoveRect{false};
    std::atomic<int32_t> nIncream_H{0};
    std::atomic<int32_t> nIncream_V{0};
    bool bHasTestRect = false;
    std::atomic<bool> bIsMainAudio{false};
    TestRect rTestRect;
    TestRect rTestRect_Adjust;

    IProgrammeLink* programme_ = nullptr;
    IPreviewLink* preview_ = nullptr;
    IMonitorLink* monitor_ = nullptr;
    bool bWaitKeyFrame = false;
    std::atomic<int64_t> nDroppedVideo{0};
    std::atomic<int64_t> nDroppedAudio{0};
    std::vector<uint8_t> playing; // the record being played
    bool bInitialized = false;
    void Observe(TStage stage, int64_t pts);
    mutable std::atomic<bool> bObserved{false};
    mutable std::mutex FObserverLock;
    mutable TStageObserver StageObserver;
};

} // namespace tavrin
