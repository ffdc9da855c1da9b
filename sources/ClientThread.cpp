#include "sources/ClientThread.h"

#include "base/GloTimer.h"
#include "base/MediaFrame.h"
#include "output/Adts.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace tavrin {

int TClientThread::initialize(int nP, int nDisp, int nYUVWidth, int nYUVHeight) {
    nPort = nP;
    nDispPort = nDisp;
    bPlayAudio = false;
    bThrowAudio = false;
    bCut = false;
    bMoveRect = false;
    bHasTestRect = false;
    bIsMainAudio = false;
    iNeedPlayCount = 0;
    nBacklogPlays = 0;
    if (DecodeVideo.initialize(nYUVWidth, nYUVHeight, true) != 0) {
        return -1;
    }
    if (DecodeAudio.initialize(nullptr) != 0) {
        return -1;
    }
    bInitialized = true;
    return 0;
}

void TClientThread::SetLinks(IProgrammeLink* programme, IPreviewLink* preview,
                             IMonitorLink* monitor) {
    programme_ = programme;
    preview_ = preview;
    monitor_ = monitor;
}

void TClientThread::Execute() {
    iNeedPlayCount = 0;
    nBacklogPlays = 0;
    while (!Terminated()) {
        if (IsDue()) {
            PlayNext();
            continue;
        }
        // Asleep until the next record is due or one arrives, instead of
        // polling every 2 ms: five phones' workers woke 2500 times a second.
        std::unique_lock<std::mutex> lock(FFrameLock);
        const uint32_t wait = IdleWaitMs(GetGlobeCount(), iNeedPlayCount, int(Frame.VideoCount()));
        if (wait > 0) {
            FFrameQueued.wait_for(lock, std::chrono::milliseconds(wait));
        }
    }
}

uint32_t TClientThread::IdleWaitMs(uint32_t now, uint32_t needPlay, int queuedVideo) {
    constexpr uint32_t kLongestWaitMs = 40;
    if (queuedVideo <= 0) {
        return kLongestWaitMs;
    }
    // IsDue plays at needPlay (and at once after a stall, when needPlay lies behind).
    const int32_t ahead = int32_t(needPlay - now);
    if (ahead <= 0) {
        return 0;
    }
    return std::min(uint32_t(ahead), kLongestWaitMs);
}

bool TClientThread::IsDue() {
    const uint32_t now = GetGlobeCount();
    // After a stall the clock restarts instead of bursting.
    if (int32_t(now - (iNeedPlayCount + 100)) > 0) {
        iNeedPlayCount = now;
    }
    int queued = 0;
    {
        std::lock_guard<std::mutex> lock(FFrameLock);
        queued = int(Frame.VideoCount());
    }
    if (queued == 0 || int32_t(now - iNeedPlayCount) < 0) {
        return false;
    }
    // A short queue plays at 25 frames per second, a backlog drains faster.
    uint32_t step = queued < 5 ? 40 : queued < 12 ? 30 : 25;
    nBacklogPlays = queued >= 2 ? nBacklogPlays + 1 : 0;
    if (bLiveSource && step == 40 && nBacklogPlays > kLiveBacklogPlays) {
        step = 30;
    }
    iNeedPlayCount += step;
    return true;
}

int TClientThread::QueuedVideo() const {
    std::lock_guard<std::mutex> lock(FFrameLock);
    return int(Frame.VideoCount());
}

int TClientThread::QueuedAudio() const {
    std::lock_guard<std::mutex> lock(FFrameLock);
    return int(Frame.AudioCount());
}

void TClientThread::DropHead(size_t count) {
    const TFrameQueue::TDropped dropped = Frame.DropFront(count);
    nDroppedVideo += int64_t(dropped.video);
    nDroppedAudio += int64_t(dropped.audio);
}

bool TClientThread::MakeRoom(uint8_t nType, size_t nBytes) {
    if (bWaitKeyFrame) {
        if (nType == kFrameH264) {
            ++nDroppedVideo;
            return false;
        }
        if (nType == kFrameH264Key) {
            bWaitKeyFrame = false;
        }
    }
    const bool full = Frame.VideoCount() >= size_t(kMaxQueuedVideo) ||
                      Frame.AudioCount() >= size_t(kMaxQueuedAudio) ||
                      Frame.Bytes() + nBytes > kMaxQueuedBytes;
    if (!full) {
        return true;
    }
    // Drop from the head up to the next key frame: the rest of the group
    // being played and the sound in between. Never half a group.
    const size_t nextKey = Frame.FindKey(1);
    if (nextKey != TFrameQueue::npos) {
        DropHead(nextKey);
        return true;
    }
    // No later key frame queued: everything goes, and pictures are refused
    // until the source sends its next key frame.
    DropHead(Frame.Size());
    if (nType == kFrameH264) {
        bWaitKeyFrame = true;
        ++nDroppedVideo;
        return false;
    }
    return true;
}

int TClientThread::PushFrame(const uint8_t* pData) {
    if (pData == nullptr) {
        return 0;
    }
    TZeroMediaFrameHead head{};
    ReadMediaFrameHead({pData, kMediaFrameHeadSize}, head);
    const size_t total = kMediaFrameHeadSize + head.nFrameSize;
    std::lock_guard<std::mutex> lock(FFrameLock);
    if (!MakeRoom(head.nFrameType, total)) {
        return 0;
    }
    Frame.PushRecord({pData, total});
    if (bObserved && TFrameQueue::IsVideo(head.nFrameType)) {
        Observe(kStageQueued, head.PTS);
    }
    if (TFrameQueue::IsVideo(head.nFrameType)) {
        FFrameQueued.notify_one();
    }
    return static_cast<int>(total);
}

void TClientThread::PlayNext() {
    for (;;) {
        {
            // The buffer of the record played before goes back to the queue.
            std::lock_guard<std::mutex> lock(FFrameLock);
            if (!Frame.Pop(playing)) {
                return;
            }
        }
        // Decoding runs outside the lock so the feeder is never held up.
        TZeroMediaFrameHead head{};
        ReadMediaFrameHead(playing, head);
        const uint8_t* payload = playing.data() + kMediaFrameHeadSize;
        const int size = static_cast<int>(head.nFrameSize);
        if (!TFrameQueue::IsVideo(head.nFrameType)) {
            if (head.nFrameType != kFrameMarkerAudio) {
                AudioPath(payload, head.nFrameType, size);
            }
            continue;
        }
        if (head.nFrameType == kFrameH264 || head.nFrameType == kFrameH264Key) {
            if (bObserved) {
                Observe(kStagePlayed, head.PTS);
            }
            DecodeVideo.SetPacketPts(head.PTS);
            VideoPath(TVideoInput{payload, size, head.nFrameType, nullptr});
        }
        return; // one video record (or video marker) per step
    }
}

void TClientThread::RealPlayYUV(const AVFrame* p) {
    if (p != nullptr) {
        VideoPath(TVideoInput{nullptr, 0, kFrameDecoded, p});
    }
}

void TClientThread::RealPlayAudio(const uint8_t* p, int nType, int nSize) {
    AudioPath(p, nType, nSize);
}

void TClientThread::VideoPath(const TVideoInput& in) {
    std::lock_guard<std::mutex> path(FVideoPathLock);
    const int port = nPort;
    const int disp = nDispPort;
    SDL_Rect portRect{0, 0, 0, 0};
    if (preview_ != nullptr) {
        preview_->GetRect(disp, portRect);
    }
    DecodeVideo.SetPreviewSize(portRect.w, portRect.h);
    // Without a preview link nobody sees the channel: no preview is scaled.
    DecodeVideo.SetPreviewWanted(preview_ != nullptr);
    int dstW = 0;
    int dstH = 0;
    int nCount = 0;
    const int nIndex =
        programme_ != nullptr ? programme_->GetIfNeedPushYUV_EX(port, dstW, dstH, nCount) : 0;

    bool hasTest = false;
    TestRect shownTest;
    TestRect adjustedTest;
    {
        std::lock_guard<std::mutex> lock(FFrameLock);
        if (bHasTestRect) {
            rTestRect_Adjust = rTestRect;
            DecodeVideo.GetCovertRectFromInterfaceToDisp(rTestRect_Adjust, portRect.w, portRect.h);
            shownTest = rTestRect;
            adjustedTest = rTestRect_Adjust;
            hasTest = true;
        }
    }

    const bool cut = bCut;
    if (nIndex >= 1) {
        DecodeVideo.SetClipWH(dstW, dstH);
        const int produced =
            in.decoded != nullptr
                ? DecodeVideo.GetFrame_includeClip(!cut, in.decoded, POutFrame, pFrameYUV_Clip)
                : DecodeVideo.GetFrame_includeClip(!cut, in.data, in.size, POutFrame,
                                                   pFrameYUV_Clip, in.nType);
        if (produced == 0) {
            return;
        }
        if (bObserved) {
            Observe(kStageDecoded, DecodeVideo.PicturePts());
        }
        if (cut && bMoveRect) {
            DecodeVideo.MoveCutArea(nIncream_H, nIncream_V);
        }
        if (pFrameYUV_Clip != nullptr &&
            programme_->PushYUVtoCombine(pFrameYUV_Clip, port, nCount, nIndex) > 0 && bObserved) {
            Observe(kStageComposed, DecodeVideo.PicturePts());
        }
    } else if ((in.decoded != nullptr
                    ? DecodeVideo.GetFrame(in.decoded, POutFrame)
                    : DecodeVideo.GetFrame(in.data, in.size, POutFrame, in.nType)) == 0) {
        return;
    }

    SDL_Rect cutOverlay{0, 0, 0, 0};
    bool hasCut = false;
    if (cut) {
        SDL_Rect sd{0, 0, 0, 0};
        int w = 0;
        int h = 0;
        if (DecodeVideo.GetClipRect(sd, w, h) && w > 0 && h > 0) {
            cutOverlay = {int(int64_t(portRect.w) * sd.x / w), int(int64_t(portRect.h) * sd.y / h),
                          int(int64_t(portRect.w) * sd.w / w), int(int64_t(portRect.h) * sd.h / h)};
            hasCut = true;
        }
    }
    rAudioChannel levels;
    DecodeAudio.GetMaxPCMVolume(levels);
    levels.bMainAudioCH = bIsMainAudio;
    levels.nPosition = 0;
    if (preview_ != nullptr && POutFrame != nullptr) {
        preview_->pushFrame(disp, POutFrame, hasCut ? &cutOverlay : nullptr,
                            hasTest ? &shownTest.Rect : nullptr,
                            hasTest ? &adjustedTest.Rect : nullptr, &levels);
    }
}

void TClientThread::AudioPath(const uint8_t* data, int nType, int nSize) {
    if (data == nullptr || nSize <= 0) {
        return;
    }
    std::lock_guard<std::mutex> path(FAudioPathLock);
    const uint8_t* pcm = nullptr;
    int pcmBytes = 0;
    if (nType == kFramePCM) {
        pcm = data;
        pcmBytes = nSize;
    } else {
        rAudioChannel levels;
        DecodeAudio.GetMaxPCMVolume(levels);
        levels.bMainAudioCH = bIsMainAudio;
        levels.nPosition = 0;
        if (programme_ != nullptr) {
            programme_->PushAAC(data, nSize, nPort, &levels);
        }
        if (nSize <= int(kAdtsHeaderSize) ||
            DecodeAudio.GetPCM(data + kAdtsHeaderSize, nSize - int(kAdtsHeaderSize), pcm,
                               pcmBytes) <= 0) {
            pcm = nullptr;
            pcmBytes = 0;
        }
    }
    if (bPlayAudio) {
        Monitor(pcm, pcmBytes);
    }
}

void TClientThread::Monitor(const uint8_t* pcm, int nBytes) {
    if (monitor_ == nullptr) {
        return;
    }
    // Keeps the speaker latency bounded: past 10 waiting blocks frames are
    // dropped until the player has caught up to fewer than 5.
    const int remain = monitor_->GetRemainCount();
    if (remain > 10) {
        bThrowAudio = true;
    }
    bool play = false;
    if (!bThrowAudio && remain < 10) {
        play = true;
    } else if (bThrowAudio && remain < 5) {
        play = true;
        bThrowAudio = false;
    }
    if (play && pcm != nullptr && nBytes > 0) {
        monitor_->PushStreamData(pcm, nBytes);
    }
}

void TClientThread::SetDispPortAndCH(int nP, int nDisp) {
    nPort = nP;
    nDispPort = nDisp;
}

bool TClientThread::SetClipArea(int xStart, int yStart, int xEnd, int yEnd, int& xMiddleFocusPos,
                                int& yMiddleFocusPos, bool bTestDraw) {
    if (!DecodeVideo.GetifHasDecode()) {
        return false;
    }
    if (!bTestDraw) {
        return DecodeVideo.SetClipArea(xStart, yStart, xEnd, yEnd, xMiddleFocusPos,
                                       yMiddleFocusPos);
    }
    SDL_Rect portRect{0, 0, 0, 0};
    if (preview_ != nullptr) {
        preview_->GetRect(nDispPort, portRect);
    }
    std::lock_guard<std::mutex> lock(FFrameLock);
    bHasTestRect = true;
    rTestRect.xStart = xStart;
    rTestRect.yStart = yStart;
    rTestRect.xEnd = xEnd;
    rTestRect.yEnd = yEnd;
    rTestRect.Rect = {portRect.w * xStart / 1000, portRect.h * yStart / 1000,
                      portRect.w * (xEnd - xStart) / 1000, portRect.h * (yEnd - yStart) / 1000};
    return true;
}

bool TClientThread::ConvertTestRectToReal(int& xMiddleFocusPos, int& yMiddleFocusPos) {
    std::lock_guard<std::mutex> lock(FFrameLock);
    if (!bHasTestRect) {
        return false;
    }
    const bool ok = DecodeVideo.SetClipArea(rTestRect.xStart, rTestRect.yStart, rTestRect.xEnd,
                                            rTestRect.yEnd, xMiddleFocusPos, yMiddleFocusPos);
    bHasTestRect = false;
    return ok;
}

bool TClientThread::GetTestRect(TestRect& shown, TestRect& adjusted) const {
    std::lock_guard<std::mutex> lock(FFrameLock);
    shown = rTestRect;
    adjusted = rTestRect_Adjust;
    return bHasTestRect;
}

void TClientThread::MoveCutArea(int incream_H, int incream_V) {
    nIncream_H = incream_H;
    nIncream_V = incream_V;
    bMoveRect = true;
}

void TClientThread::SetStageObserver(TStageObserver observer) const {
    std::lock_guard<std::mutex> lock(FObserverLock);
    StageObserver = std::move(observer);
    bObserved = bool(StageObserver);
}

void TClientThread::Observe(TStage stage, int64_t pts) {
    std::lock_guard<std::mutex> lock(FObserverLock);
    if (StageObserver) {
        StageObserver(nPort, stage, pts);
    }
}

void TClientThread::Destroy() {
    Terminate();
    WaitFor();
    {
        std::lock_guard<std::mutex> lock(FFrameLock);
        Frame.Clear();
    }
    if (bInitialized) {
        DecodeVideo.Destroy();
        DecodeAudio.Destroy();
        bInitialized = false;
    }
}

} // namespace tavrin
