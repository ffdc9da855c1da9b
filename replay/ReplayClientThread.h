// Plays a recorded lesson back: reads the store's frames in order (cut
// blocks skipped), shows the pictures on a display port and plays the sound
// on the wave player, paced by the audio device and the global clock. The
// operator can shift audio against video and jump on the timeline ruler,
// which lives here too and shares the lock.
#pragma once

#include "base/GetLessionInfo.h"
#include "base/Thread.h"
#include "decode/DecodeAudio.h"
#include "decode/DecodeVideo.h"
#include "decode/DispManager.h"
#include "decode/WavePlayer.h"
#include "output/ReadAV.h"
#include "replay/Ruler.h"

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class QObject;

namespace tavrin {

// Lesson length from its audio frames: whole seconds, hours, minutes and
// the hh:mm:ss text.
struct TLessionLength {
    int nS_Total = 0;
    int nH_Total = 0;
    int nM_Total = 0;
    std::string sTotalTime;
};
TLessionLength LessionLengthOf(int32_t nAudioCount);

class TReplayClientThread : public TThread {
public:
    explicit TReplayClientThread(const TGetLessionInfo& paths);
    ~TReplayClientThread() override;

    // Opens the lesson, the wave device, a 1920x1080 display port on xHandle
    // (0: offscreen) and lays the ruler out. 0, or the store's open error.
    int initialize(int nLession, TNativeWindow xHandle, const SDL_Rect& xr, int rulerX, int rulerY,
                   int rulerW, int rulerH);
    void Destroy();

    void Pause(bool PauseState) { bPause = PauseState; }
    int EnablePlayAudio();
    int DisablePlayAudio();
    void SetAudioDelayFrameCount(int DelayCount);
    int MoveTo(int x, int y);
    void Resize_disp(const SDL_Rect& xr);
    int GetLessionInfo_struc(TIndex_Head& PH);
    bool Get_TotalFileInfo(int& nMBytes, int& nSec, int& nBitrate);
    bool Get_TotalCaptureSeconds(int& nT);

    // Ruler and cut marks; GUI thread only.
    int SetDropIblock(int x, int y);
    int SetDropIblock_EX(int x, int y, int x1, int y1);
    int QueryDeletedBlockSeconds();
    int RecoveryAllDeleteIBlock();
    int Save();
    int _ChangePage(bool bPre);
    void _LockDrawRuler();
    int Resize_ruler(int x, int y, int w, int h);
    void repaintReplayArea();
    const QImage& RulerImage() const { return ruler.Image(); }
    // The object whose thread (the GUI thread) redraws the ruler; set by the
    // main window before Start. The replay thread hands it a redraw at every
    // key frame and waits for it; onRulerDrawn then runs there too (the
    // window repaints the ruler).
    void SetGuiContext(QObject* context, std::function<void()> onRulerDrawn = {}) {
        guiContext = context;
        rulerDrawn = std::move(onRulerDrawn);
    }

    // One play step: 1 when an audio frame was handled, 0 when the wave
    // player is still full, -1 at the end of the lesson.
    int PlayStep();
    // The pacing gate on the global clock: true at most once per 21 ms.
    bool PacingGateOpen();

    const TLessionLength& Length() const { return length; }
    // The last step found the end of the lesson (until a jump).
    bool AtEnd() const { return bAtEnd; }
    int CurrentIBlock() const { return nCurrentIBlock; }
    // Counters for diagnosis: audio frames sent to the wave player, pictures
    // shown, packets held back for the audio shift.
    int64_t AudioFramesPlayed() const { return nAudioPlayed; }
    int64_t PicturesShown() const { return nPicturesShown; }
    size_t HeldAudio() const { return audioBufList.size(); }
    size_t HeldVideo() const { return videoBufList.size(); }
    TWavePlayer& WavePlayer() { return wavePlayer; }
    TDispManager& DispManager() { return dispManager; }

protected:
    void Execute() override;

private:
    bool ReadNext(int& nType, int& nIPos);
    void Hold(std::deque<std::vector<uint8_t>>& list, int nType);
    void Recycle(std::deque<std::vector<uint8_t>>& list);
    void ClearHeld();
    void PlayOldestAudio();
    void ShowOldestVideo();

    TReadAV ReadAV;
    TIndex_Head PH{};
    TIndex_Count PC{};
    TLessionLength length;
    std::atomic<int> nCurrentIBlock{-1};
    std::atomic<bool> bPause{false};
    std::atomic<bool> bPlayAudio{true};
    std::atomic<int> nAudioDelayCount{0};
    std::atomic<bool> bNeedClear{false};
    std::atomic<bool> bAtEnd{false};
    std::deque<std::vector<uint8_t>> audioBufList;
    std::deque<std::vector<uint8_t>> videoBufList;
    std::vector<std::vector<uint8_t>> spare; // packet buffers for reuse
    std::vector<uint8_t> readBuf;
    TDecodeVideo DecodeVideo;
    TDecodeAudio DecodeAudio;
    TDispManager dispManager;
    TWavePlayer wavePlayer;
    int nDispPort = -1;
    uint32_t iNeedPlayCount = 0;
    std::atomic<bool> bFirstFrameDone{false};
    std::atomic<int> VideoWidth_FirstFrame{0};
    std::atomic<int> VideoHeight_FirstFrame{0};
    std::atomic<int64_t> nAudioPlayed{0};
    std::atomic<int64_t> nPicturesShown{0};
    bool bOpen = false;
    std::mutex FLock;
    TReplayRuler ruler;
    QObject* guiContext = nullptr;
    std::function<void()> rulerDrawn;
};

} // namespace tavrin
