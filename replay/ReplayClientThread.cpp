#include "replay/ReplayClientThread.h"

#include "base/GloTimer.h"
#include "base/GuiHandOver.h"
#include "base/MediaFrame.h"
#include "output/Adts.h"

#include <QGuiApplication>
#include <algorithm>
#include <cstdio>

namespace tavrin {

TLessionLength LessionLengthOf(int32_t nAudioCount) {
    TLessionLength l;
    l.nS_Total = int(RoundTiesToEven(double(nAudioCount) / 46.875));
    l.nH_Total = l.nS_Total / 3600;
    l.nM_Total = l.nS_Total / 60;
    const auto two = [](int n) {
        const std::string s = "00" + std::to_string(n);
        return s.substr(s.size() - 2);
    };
    l.sTotalTime =
        two(l.nH_Total) + ":" + two((l.nS_Total % 3600) / 60) + ":" + two(l.nS_Total % 60);
    return l;
}

TReplayClientThread::TReplayClientThread(const TGetLessionInfo& paths) {
    ReadAV.initialize(paths);
}

TReplayClientThread::~TReplayClientThread() {
    Destroy();
}

int TReplayClientThread::initialize(int nLession, TNativeWindow xHandle, const SDL_Rect& xr,
                                    int rulerX, int rulerY, int rulerW, int rulerH) {
    bPause = false;
    bNeedClear = false;
    bFirstFrameDone = false;
    VideoWidth_FirstFrame = 0;
    VideoHeight_FirstFrame = 0;
    std::vector<TIndex_IBlock> table;
    {
        std::lock_guard lock(FLock);
        const int opened = ReadAV.OpenLession(nLession);
        if (opened != TReadAV::kOpenOK) {
            return opened;
        }
        dispManager.initialize();
        wavePlayer.Create(25);
        wavePlayer.OpenWaveDev(2, 16, 48000, 1024);
        const TIndex_Head* head = nullptr;
        const TIndex_Count* count = nullptr;
        const TIndex_IBlock* blocks = nullptr;
        const int n = ReadAV.GetLessionInfo_struc(head, count, blocks);
        PH = *head;
        PC = *count;
        table.assign(blocks, blocks + n);
        length = LessionLengthOf(PC.AudioCount);
        bPlayAudio = true;
        nDispPort = dispManager.createNewPort(xHandle, 1920, 1080, xr);
        DecodeVideo.initialize(1920, 1080);
        DecodeAudio.initialize();
        bOpen = true;
    }
    ruler.SetLession(table, length.nM_Total, [this](int nBlock) {
        std::lock_guard lock(FLock);
        return ReadAV.DeleteIBlock_I(nBlock);
    });
    // Text needs a GUI application; a headless player keeps the marks only.
    ruler.EnableDrawing(qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr);
    Resize_ruler(rulerX, rulerY, rulerW, rulerH);
    return 0;
}

void TReplayClientThread::Destroy() {
    Terminate();
    WaitFor();
    std::lock_guard lock(FLock);
    DecodeVideo.Destroy();
    DecodeAudio.Destroy();
    if (bOpen) {
        ReadAV.EndLession();
        bOpen = false;
    }
    wavePlayer.Destroy();
    dispManager.Destroy();
    audioBufList.clear();
    videoBufList.clear();
    spare.clear();
}

int TReplayClientThread::EnablePlayAudio() {
    std::lock_guard lock(FLock);
    bPlayAudio = true;
    return 1;
}

int TReplayClientThread::DisablePlayAudio() {
    std::lock_guard lock(FLock);
    bPlayAudio = false;
    return 0;
}

void TReplayClientThread::SetAudioDelayFrameCount(int DelayCount) {
    nAudioDelayCount = DelayCount;
    bNeedClear = true;
}

void TReplayClientThread::Execute() {
    iNeedPlayCount = 0;
    while (!Terminated()) {
        SleepMs(2);
        if (!bPause && PacingGateOpen()) {
            PlayStep();
        }
    }
}

bool TReplayClientThread::PacingGateOpen() {
    const uint32_t c = GetGlobeCount();
    // A backlog of more than 100 ms is dropped, not caught up.
    if (iNeedPlayCount + 100 < c) {
        iNeedPlayCount = c;
    }
    if (c < iNeedPlayCount) {
        return false;
    }
    iNeedPlayCount += 21;
    return true;
}

bool TReplayClientThread::ReadNext(int& nType, int& nIPos) {
    int nSize = 0;
    return ReadAV.GetFrame(readBuf, nSize, nType, nIPos, false) >= 0;
}

void TReplayClientThread::Hold(std::deque<std::vector<uint8_t>>& list, int nType) {
    std::vector<uint8_t> packet;
    if (!spare.empty()) {
        packet = std::move(spare.back());
        spare.pop_back();
    }
    AssignMediaFrame(packet, uint8_t(nType), ReadAV.LastFramePTS(), readBuf);
    list.push_back(std::move(packet));
}

void TReplayClientThread::Recycle(std::deque<std::vector<uint8_t>>& list) {
    spare.push_back(std::move(list.front()));
    list.pop_front();
}

void TReplayClientThread::ClearHeld() {
    while (!audioBufList.empty()) {
        Recycle(audioBufList);
    }
    while (!videoBufList.empty()) {
        Recycle(videoBufList);
    }
}

void TReplayClientThread::PlayOldestAudio() {
    const std::vector<uint8_t>& packet = audioBufList.front();
    size_t skip = kMediaFrameHeadSize + kAdtsHeaderSize;
    if (packet.size() > kMediaFrameHeadSize + 1 && (packet[kMediaFrameHeadSize + 1] & 1) == 0) {
        skip += kAdtsCrcSize;
    }
    if (packet.size() > skip) {
        const uint8_t* pcm = nullptr;
        int bytes = 0;
        if (DecodeAudio.GetPCM(packet.data() + skip, int(packet.size() - skip), pcm, bytes) > 0 &&
            bytes > 0) {
            wavePlayer.PushStreamData(pcm, uint32_t(bytes));
            ++nAudioPlayed;
        }
    }
    Recycle(audioBufList);
}

void TReplayClientThread::ShowOldestVideo() {
    const std::vector<uint8_t>& packet = videoBufList.front();
    // The picture is scaled once, straight to the size the port shows; a
    // resize meanwhile only costs the port one scaling of its own.
    SDL_Rect portRect{};
    dispManager.GetRect(nDispPort, portRect);
    DecodeVideo.SetPreviewSize(portRect.w, portRect.h);
    AVFrame* picture = nullptr;
    if (packet.size() > kMediaFrameHeadSize &&
        DecodeVideo.GetFrame_Replay(packet.data() + kMediaFrameHeadSize,
                                    int(packet.size() - kMediaFrameHeadSize), picture, packet[0],
                                    0) &&
        picture != nullptr) {
        if (!bFirstFrameDone) {
            int w = 0;
            int h = 0;
            DecodeVideo.GetWH(w, h);
            VideoWidth_FirstFrame = w;
            VideoHeight_FirstFrame = h;
            bFirstFrameDone = true;
        }
        dispManager.pushPicture(nDispPort, YuvPictureOf(picture), nullptr, nullptr, nullptr,
                                nullptr);
        ++nPicturesShown;
    }
    Recycle(videoBufList);
}

int TReplayClientThread::PlayStep() {
    if (bNeedClear) {
        ClearHeld();
    }
    if (wavePlayer.GetRemainCount() > 5) {
        return 0;
    }
    for (;;) {
        int nType = 0;
        int nIPos = 0;
        {
            std::lock_guard lock(FLock);
            bool got = false;
            if (bNeedClear.exchange(false)) {
                // Resynchronise on the next key frame.
                while ((got = ReadNext(nType, nIPos)) && nType != kFrameH264Key) {
                }
            } else {
                got = ReadNext(nType, nIPos);
            }
            bAtEnd = !got;
            if (!got) {
                return -1;
            }
            nCurrentIBlock = nIPos;
            if (IsAudioFrameType(nType)) {
                if (bPlayAudio) {
                    Hold(audioBufList, nType);
                }
            } else {
                Hold(videoBufList, nType);
            }
        }
        if (nType == kFrameH264Key && guiContext != nullptr) {
            RunOnThreadOf(
                guiContext,
                [this] {
                    _LockDrawRuler();
                    if (rulerDrawn) {
                        rulerDrawn();
                    }
                },
                [this] { return Terminated(); });
        }
        const int queued = wavePlayer.GetRemainCount();
        if (IsAudioFrameType(nType)) {
            if (!bPlayAudio) {
                return 1;
            }
            const int d = std::max(nAudioDelayCount.load(), 0);
            if (queued + int(audioBufList.size()) < d) {
                continue;
            }
            PlayOldestAudio();
            return 1;
        }
        const int v = std::max(-nAudioDelayCount.load(), 0);
        if (queued + 40 * int(videoBufList.size()) < 21 * v) {
            continue;
        }
        ShowOldestVideo();
    }
}

int TReplayClientThread::MoveTo(int x, int y) {
    const int page = ruler.HitPageButton(x, y);
    if (page != 0) {
        ruler._ChangePage(page < 0);
        return 0;
    }
    int block = ruler.HitBlock(x, y);
    if (block < 0) {
        const int minute = ruler.HitMinute(x, y);
        block = minute >= 0 ? ruler.minuteBlocks(minute).first : -1;
    }
    if (block < 0) {
        return 0;
    }
    std::lock_guard lock(FLock);
    ReadAV.MoveToIPos(block, false);
    bAtEnd = false;
    return 1;
}

void TReplayClientThread::Resize_disp(const SDL_Rect& xr) {
    dispManager.ResizeTo(nDispPort, xr);
}

int TReplayClientThread::GetLessionInfo_struc(TIndex_Head& head) {
    std::lock_guard lock(FLock);
    head = PH;
    if (bFirstFrameDone) {
        head.videoWidth = uint16_t(VideoWidth_FirstFrame.load());
        head.videoHeight = uint16_t(VideoHeight_FirstFrame.load());
    }
    return PC.IBlockCount;
}

bool TReplayClientThread::Get_TotalFileInfo(int& nMBytes, int& nSec, int& nBitrate) {
    std::lock_guard lock(FLock);
    return ReadAV.Get_TotalFileInfo(nMBytes, nSec, nBitrate);
}

bool TReplayClientThread::Get_TotalCaptureSeconds(int& nT) {
    std::lock_guard lock(FLock);
    return ReadAV.Get_TotalCaptureSeconds(nT);
}

int TReplayClientThread::SetDropIblock(int x, int y) {
    ruler.SetCurrentIBlock(nCurrentIBlock);
    return ruler.SetDropIblock(x, y);
}

int TReplayClientThread::SetDropIblock_EX(int x, int y, int x1, int y1) {
    ruler.SetCurrentIBlock(nCurrentIBlock);
    return ruler.SetDropIblock_EX(x, y, x1, y1);
}

int TReplayClientThread::QueryDeletedBlockSeconds() {
    return ruler.QueryDeletedBlockSeconds();
}

int TReplayClientThread::RecoveryAllDeleteIBlock() {
    std::lock_guard lock(FLock);
    const int marked = ruler.ClearMarks();
    ReadAV.RecoveryAllDeleteIBlock();
    return marked;
}

int TReplayClientThread::Save() {
    std::lock_guard lock(FLock);
    ReadAV.Save();
    return 0;
}

int TReplayClientThread::_ChangePage(bool bPre) {
    return ruler._ChangePage(bPre);
}

void TReplayClientThread::_LockDrawRuler() {
    ruler.SetCurrentIBlock(nCurrentIBlock);
    ruler._DrawRuler();
}

int TReplayClientThread::Resize_ruler(int x, int y, int w, int h) {
    ruler.SetCurrentIBlock(nCurrentIBlock);
    return ruler.Resize_ruler(x, y, w, h);
}

void TReplayClientThread::repaintReplayArea() {
    ruler.repaintReplayArea();
}

} // namespace tavrin
