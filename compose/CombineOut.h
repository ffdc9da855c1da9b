// The output pipeline: once every 40 ms by the global count it takes the
// composed canvas, shows it in the programme preview, runs it through the
// lesson-name caption, encodes it and hands the unit to the live sender and,
// while recording, to the lesson recorder. Sound is not mixed: the AAC
// frames of the main audio channel pass straight through to the live
// sender; the recorder gets them paced on the programme's clock (see
// TRecordAudioPacer), so a stalled sound source neither stops the pictures
// nor shifts the sound against them.
//
// A recording run starts with an IDR picture and forces one at every 25th
// recorded picture from there, so every block of the store is one second
// long whatever the live sender or a busy machine does to the encoder's
// rhythm. The run waits only until the sound channel has delivered a
// frame (since the pipeline started), because its silence must match that
// frame's format. When a starved machine makes the tick miss its time, the
// recording still gets a picture for every tick of wall time (the last one
// again, up to a second's worth at once); previews and the live push just
// skip.
#pragma once

#include "av/AvPtr.h"
#include "base/AudioChannel.h"
#include "base/LessionInfo.h"
#include "base/Thread.h"
#include "compose/AVFilter.h"
#include "compose/CombineVideo.h"
#include "compose/RecordAudioPacer.h"
#include "decode/Display.h"
#include "output/EncodeVideo.h"

#include <SDL2/SDL_rect.h>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace tavrin {

class TDispManager;
class TRtmpSend;
class TSaveAV;

class TCombineOut : public TThread {
public:
    static constexpr int kNoPipeline = -2;

    TCombineOut() = default;
    ~TCombineOut() override;

    // The live sender (may be absent) and the recorder of the lesson; both
    // outlive the pipeline. Set before Start.
    void SetOutputs(TRtmpSend* sender, TSaveAV* recorder);

    // Builds the canvas, the programme encoder (nBitrate bit/s, high
    // profile), the caption for lesson l (none when l is null) and the
    // programme preview port on xHandle (offscreen without one). Returns the
    // preview port, -1 when there is none (no display manager given), or
    // kNoPipeline when the canvas or the encoder cannot be made.
    int initialize(TDispManager* disp, TNativeWindow xHandle, int nYUVWidth, int nYUVHeight,
                   int64_t nBitrate, const SDL_Rect& xr, const TLessionInfo* l);

    int PushYUVtoCombine(const AVFrame* PYUVData, int nPort, int nCount, int nIndex);
    int GetIfNeedPushYUV_EX(int nPort, int& DstW, int& DstH, int& nCount);
    int SetCombinePorts(const int32_t* portsArr, int nPortCounts);
    int GetCombinePorts(std::vector<int32_t>& portsArr);
    int SetCombArea_EX(const TCombArea_Ext& p);
    void SetOneCHFullScreen(bool bFullScreen);
    int LoadYUVBikImage(const std::string& sFile);
    int SetMainPortForAudio(int nPort);
    int GetMainPortForAudio() const { return MainPort; }
    // One AAC frame (ADTS header included) of channel nPort; always -1.
    int PushAAC(const uint8_t* PData, int nSize, int nPort, const rAudioChannel* pAudioVolume);
    bool SetCaptureState(bool bC);
    int SetThisPortInError(int nPort);
    // Programme rates of the period just ended: 0, -1 (a rate is 0) or -2
    // (more than 60 audio frames a second).
    int GetAVCounterThisperiod(uint32_t& VCount, uint32_t& ACount, bool& VideoOK, bool& AudioOK);

    // The tick rule: whether a tick runs at now, moving last on. Missed ticks
    // are dropped, not caught up (while recording, the recording gets the
    // last picture again for them; see kMaxRepeatedTicks).
    static bool TickDue(uint32_t now, uint32_t& last);
    // Milliseconds from now until the tick after last is due (0: due now).
    // The loop sleeps that long instead of polling the count.
    static uint32_t TickWaitMs(uint32_t now, uint32_t last);
    // One tick of the loop; public so that tests can drive ticks exactly.
    void Tick(uint32_t now);

    // How punctual the ticks were: lateness of each tick after its due time
    // (the last kLatenessKept ticks), ticks dropped by resynchronising and,
    // of those, ticks the recording got the last picture again for.
    static constexpr size_t kLatenessKept = 8192;
    struct TTickStats {
        uint64_t ticks = 0;
        uint64_t missed = 0;
        uint64_t repeated = 0;
        std::vector<uint16_t> lateness; // milliseconds, oldest first
    };
    // While recording, the ticks a starved thread missed are made up with
    // the last picture, at most this many at once (a second): a long stall
    // must not bury the encoder, and its sound could not be kept anyway.
    static constexpr uint32_t kMaxRepeatedTicks = 25;
    void GetTickStats(TTickStats& stats);

    // Called on the pipeline's thread with every tick's programme picture
    // before it is encoded (for measurements); may be set while it runs.
    using TTickObserver = std::function<void(const AVFrame* programme)>;
    void SetTickObserver(TTickObserver observer);

    // The recorded sound's pacing so far (frames of the channel, silent
    // frames, frames dropped as late).
    TRecordAudioPacer::TStats RecordAudioStats() const { return Pacer.Stats(); }

    int PreviewPort() const { return nDispPort; }
    // The programme picture of the last tick (W x H YUV420P, one buffer).
    const AVFrame* ProgrammeFrame() const { return pFrame.get(); }

protected:
    void Execute() override;

private:
    void NewPeriod();
    // Encodes the programme picture and hands the unit on (recording it
    // when record is set).
    void EncodeProgramme(bool record);
    // Gives the recording the last picture again for ticks a starved thread
    // missed; returns how many.
    uint32_t RepeatForRecording(uint32_t missed);
    bool LendPicture();
    void FindCaptionBand();
    void CopyCaptionBand(bool bSave);
    static void PictureReturned(void* opaque, uint8_t* data);
    void RecordAudio(const uint8_t* data, int size);

    TCombineVideo CombineVideo;
    std::mutex FComLock;
    std::atomic<int> MainPort{0};
    std::atomic<uint32_t> nLastAudioIn{0};
    TRecordAudioPacer Pacer{[this](const uint8_t* data, int size) { RecordAudio(data, size); }};
    // Each switch-on starts a new run; the tick notices by the number.
    std::atomic<uint32_t> nCaptureRun{0};
    uint32_t nTickRun = 0; // the run the tick is recording (0: none)
    int64_t nRunFrom = 0;  // the encoder's number of the run's first picture
    int nDispPort = -1;
    std::atomic<bool> bCapture{false};
    std::atomic<int> nCombine_Delay{0};
    TEncodeVideo EncodeVideo;
    AvFramePtr pFrame;                 // wraps pFrameBuffer
    std::vector<uint8_t> pFrameBuffer; // Y, U, V one after the other, as the ports want it
    // The tick picture lent by reference to the caption and the encoder: the
    // caption is drawn into pFrameBuffer itself and the rows it covers are
    // put back afterwards, so the picture is never copied whole a second
    // time and stays the preview's uncaptioned picture.
    AvFramePtr pLent;
    std::atomic<bool> bLent{false}; // a reference to pFrameBuffer is out
    int nBandFirst = 0;             // luma rows the caption draws into
    int nBandRows = 0;
    std::vector<uint8_t> captionBand; // those rows (and their chroma) before drawing
    std::unique_ptr<TAVFilter> Filter;
    std::mutex FLevelLock;
    rAudioChannel AudioChannel;
    std::atomic<uint32_t> nTimeCounterBegin{0};
    std::atomic<uint32_t> nVideoCounter{0};
    std::atomic<uint32_t> nAudioCounter{0};

    TDispManager* Disp = nullptr;
    std::atomic<TRtmpSend*> Sender{nullptr};
    TSaveAV* Recorder = nullptr;
    std::vector<uint8_t> unit; // the encoded picture, reused every tick
    bool first = true;
    std::mutex FObserverLock;
    TTickObserver TickObserver;

    std::mutex FStatsLock;
    std::vector<uint16_t> latenessRing = std::vector<uint16_t>(kLatenessKept);
    uint64_t nTicks = 0;
    uint64_t nMissedTicks = 0;
    uint64_t nRepeatedTicks = 0;
};

} // namespace tavrin
