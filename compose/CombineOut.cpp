#include "compose/CombineOut.h"

#include <algorithm>
#include <cstring>
#include <string>

extern "C" {
#include <libavutil/imgutils.h>
}

#include "base/GetLessionInfo.h"
#include "base/GloTimer.h"
#include "base/MediaFrame.h"
#include "base/Trace.h"
#include "decode/DispManager.h"
#include "output/RtmpSend.h"
#include "output/SaveAV.h"

namespace tavrin {

namespace {

constexpr uint32_t kTickMs = 40;
constexpr uint32_t kResyncMs = 100;    // more than 60 ms late: drop the missed ticks
constexpr int64_t kRecordedGroup = 25; // pictures of a recorded block, from a forced IDR
constexpr int kLayoutHoldTicks = 2;    // ticks the old picture stays after a layout change

} // namespace

TCombineOut::~TCombineOut() {
    Terminate();
    WaitFor();
}

void TCombineOut::SetOutputs(TRtmpSend* sender, TSaveAV* recorder) {
    Sender = sender;
    Recorder = recorder;
}

int TCombineOut::initialize(TDispManager* disp, TNativeWindow xHandle, int nYUVWidth,
                            int nYUVHeight, int64_t nBitrate, const SDL_Rect& xr,
                            const TLessionInfo* l) {
    bCapture = false;
    {
        std::lock_guard<std::mutex> lock(FLevelLock);
        AudioChannel = rAudioChannel();
    }
    nCombine_Delay = 0;
    NewPeriod();

    pFrameBuffer.assign(
        size_t(av_image_get_buffer_size(AV_PIX_FMT_YUV420P, nYUVWidth, nYUVHeight, 1)), 0);
    pFrame.reset(av_frame_alloc());
    if (!pFrame || pFrameBuffer.empty()) {
        return kNoPipeline;
    }
    pFrame->format = AV_PIX_FMT_YUV420P;
    pFrame->width = nYUVWidth;
    pFrame->height = nYUVHeight;
    av_image_fill_arrays(pFrame->data, pFrame->linesize, pFrameBuffer.data(), AV_PIX_FMT_YUV420P,
                         nYUVWidth, nYUVHeight, 1);

    if (l != nullptr) {
        TGetLessionInfo names;
        std::string caption;
        names.Get_WaterMark_inCapture(*l, nYUVWidth == 1280 ? 0 : 1, caption);
        Filter = std::make_unique<TAVFilter>();
        Filter->initialize(caption, nYUVWidth, nYUVHeight);
        FindCaptionBand();
    }
    pLent.reset(av_frame_alloc());
    if (!pLent) {
        return kNoPipeline;
    }
    if (CombineVideo.initialize(nYUVWidth, nYUVHeight) != 0 ||
        EncodeVideo.initialize(nYUVWidth, nYUVHeight, nBitrate, false) != 0) {
        return kNoPipeline;
    }
    Disp = disp;
    nDispPort = Disp != nullptr ? Disp->createNewPort(xHandle, nYUVWidth, nYUVHeight, xr) : -1;
    return nDispPort;
}

bool TCombineOut::TickDue(uint32_t now, uint32_t& last) {
    const int32_t since = int32_t(now - last);
    if (since < int32_t(kTickMs)) {
        return false;
    }
    last = since > int32_t(kResyncMs) ? now : last + kTickMs;
    return true;
}

uint32_t TCombineOut::TickWaitMs(uint32_t now, uint32_t last) {
    const int32_t since = int32_t(now - last);
    if (since >= int32_t(kTickMs)) {
        return 0;
    }
    // A count behind the last tick (a clock set back) waits one period.
    return since < 0 ? kTickMs : kTickMs - uint32_t(since);
}

void TCombineOut::Execute() {
    uint32_t last = 0;
    bool started = false;
    while (!Terminated()) {
        const uint32_t now = GetGlobeCount();
        const uint32_t due = last + kTickMs;
        if (!TickDue(now, last)) {
            // Asleep until the due millisecond: polling every 2 ms cost CPU
            // and made each tick up to 2 ms late.
            SleepMs(TickWaitMs(now, last));
            continue;
        }
        const uint32_t late = now - due;
        const uint32_t missed = started && late > kResyncMs - kTickMs ? late / kTickMs : 0;
        const uint32_t repeated = missed > 0 ? RepeatForRecording(missed) : 0;
        Tick(now);
        if (started) {
            // Counted once the tick is done, so a reader of the counts sees
            // whole ticks.
            std::lock_guard<std::mutex> lock(FStatsLock);
            latenessRing[nTicks % kLatenessKept] = uint16_t(std::min<uint32_t>(late, 65535));
            ++nTicks;
            nMissedTicks += missed;
            nRepeatedTicks += repeated;
        }
        started = true;
    }
}

void TCombineOut::GetTickStats(TTickStats& stats) {
    std::lock_guard<std::mutex> lock(FStatsLock);
    stats.ticks = nTicks;
    stats.missed = nMissedTicks;
    stats.repeated = nRepeatedTicks;
    const size_t kept = size_t(std::min<uint64_t>(nTicks, kLatenessKept));
    stats.lateness.resize(kept);
    for (size_t i = 0; i < kept; ++i) {
        stats.lateness[i] = latenessRing[(nTicks - kept + i) % kLatenessKept];
    }
}

void TCombineOut::Tick(uint32_t /*now*/) {
    if (!pFrame) {
        return;
    }
    // After a layout change the programme repeats its last picture while
    // the channels start delivering at their new sizes.
    if (nCombine_Delay > 0 && !first) {
        --nCombine_Delay;
    } else {
        CombineVideo.GetFrame(pFrame.get());
        first = false;
        nCombine_Delay = 0;
    }
    {
        std::lock_guard<std::mutex> lock(FObserverLock);
        if (TickObserver) {
            TickObserver(pFrame.get());
        }
    }

    if (Disp != nullptr && nDispPort >= 0) {
        rAudioChannel levels;
        {
            std::lock_guard<std::mutex> lock(FLevelLock);
            AudioChannel.bMainAudioCH = false;
            AudioChannel.nPosition = 1;
            levels = AudioChannel;
        }
        Disp->pushFrame(nDispPort, pFrame->data[0], pFrame->linesize[0], nullptr, nullptr, nullptr,
                        &levels);
    }
    ++nVideoCounter;

    // While recording every picture goes to the recorder, once the sound
    // channel's format is known (its silence must match it).
    const bool capture = bCapture;
    const bool record = capture && Pacer.FormatKnown();
    if (record) {
        if (const uint32_t run = nCaptureRun; run != nTickRun) {
            nTickRun = run;
            nRunFrom = EncodeVideo.NextPictureIndex();
        }
    } else if (!capture) {
        nTickRun = 0;
    }
    EncodeProgramme(record);
}

uint32_t TCombineOut::RepeatForRecording(uint32_t missed) {
    // Only a run under way (its first picture already taken) loses time.
    if (first || !bCapture || nTickRun == 0 || nTickRun != nCaptureRun) {
        return 0;
    }
    const uint32_t repeats = std::min(missed, kMaxRepeatedTicks);
    // The sound that came in meanwhile is spread over the stall's pictures
    // rather than held against the picture before it (and dropped as late).
    Pacer.Spread(repeats);
    // The live sender gets them too: its stream shares the encoder, whose
    // later pictures refer to these.
    for (uint32_t i = 0; i < repeats; ++i) {
        EncodeProgramme(true);
    }
    Trace("repeated for the recording =" + std::to_string(repeats) + " of " +
          std::to_string(missed) + " missed");
    return repeats;
}

void TCombineOut::EncodeProgramme(bool record) {
    TRtmpSend* sender = Sender;
    if (sender == nullptr && !record) {
        return; // nobody takes the picture: nothing is encoded
    }

    // The encoder and the caption take the tick picture by reference rather
    // than copying it. A picture the caption filter did not deliver goes out
    // without caption rather than not at all.
    const bool lent = LendPicture();
    const AVFrame* picture = lent ? pLent.get() : pFrame.get();
    AVFrame* captioned = nullptr;
    if (Filter) {
        if (lent) {
            CopyCaptionBand(true);
            if (Filter->PushFrameInPlace(pLent.get(), captioned) == 0 && captioned != nullptr) {
                picture = captioned;
            } else if (pLent->buf[0] == nullptr) {
                picture = pFrame.get(); // the graph kept the reference
            }
        } else if (Filter->PushFrame(pFrame.get(), captioned) == 0 && captioned != nullptr) {
            picture = captioned;
        }
    }
    if (record) {
        // Key pictures are counted from the run's first picture, not left to
        // the encoder's rhythm, which the live push set going earlier.
        const int64_t k = EncodeVideo.NextPictureIndex() - nRunFrom;
        if (k % kRecordedGroup == 0) {
            EncodeVideo.ForceKeyPicture();
        }
        Pacer.Composed(uint32_t(k + 1));
    }
    int type = 0;
    const int size = EncodeVideo.GetPackage(picture, unit, type);
    if (captioned != nullptr) {
        av_frame_unref(captioned);
    }
    if (lent) {
        av_frame_unref(pLent.get());
        if (Filter) {
            CopyCaptionBand(false); // the preview picture is uncaptioned again
        }
    }
    if (size <= 0) {
        return;
    }
    if (sender != nullptr) {
        const TZeroMediaFrameHead head{uint8_t(type), uint32_t(size), LocalWallClockMicros()};
        sender->addPackage_IncludeHead(head, unit.data());
    }
    // Units come out a few pictures late; those from before the run are
    // not part of the recording.
    if (const int64_t k = EncodeVideo.LastUnitPicture() - nRunFrom;
        record && k >= 0 && Recorder != nullptr) {
        Recorder->PushH264(unit.data(), size, type);
        Pacer.Release(uint32_t(k));
    }
}

bool TCombineOut::LendPicture() {
    // Still held from an earlier tick (nothing here keeps it): then the
    // picture is copied as before rather than written under a reader.
    if (bLent || !pLent || pFrameBuffer.empty()) {
        return false;
    }
    AVBufferRef* ref = av_buffer_create(pFrameBuffer.data(), pFrameBuffer.size(),
                                        &TCombineOut::PictureReturned, this, 0);
    if (ref == nullptr) {
        return false;
    }
    bLent = true;
    AVFrame* f = pLent.get();
    f->buf[0] = ref;
    for (int i = 0; i < 3; ++i) {
        f->data[i] = pFrame->data[i];
        f->linesize[i] = pFrame->linesize[i];
    }
    f->width = pFrame->width;
    f->height = pFrame->height;
    f->format = pFrame->format;
    return true;
}

void TCombineOut::PictureReturned(void* opaque, uint8_t* /*data*/) {
    static_cast<TCombineOut*>(opaque)->bLent = false;
}

void TCombineOut::FindCaptionBand() {
    nBandFirst = 0;
    nBandRows = 0;
    int first = 0;
    int last = 0;
    const int H = pFrame->height;
    if (!Filter->DrawnRows(first, last)) {
        return;
    }
    // A margin of whole chroma rows: antialiased edges that happened to
    // leave both probes unchanged still lie inside.
    first = std::max(0, (first - 2) & ~1);
    last = std::min(H - 1, (last + 2) | 1);
    nBandFirst = first;
    nBandRows = last - first + 1;
    const size_t W = size_t(pFrame->width);
    captionBand.resize(W * size_t(nBandRows) + 2 * ((W + 1) / 2) * size_t((nBandRows + 1) / 2));
}

void TCombineOut::CopyCaptionBand(bool bSave) {
    uint8_t* band = captionBand.data();
    for (int plane = 0; plane < 3 && nBandRows > 0; ++plane) {
        const int shift = plane == 0 ? 0 : 1;
        const size_t rowBytes = size_t((pFrame->width + shift) >> shift);
        const int rows = (nBandRows + shift) >> shift;
        uint8_t* at =
            pFrame->data[plane] + size_t(nBandFirst >> shift) * size_t(pFrame->linesize[plane]);
        for (int r = 0; r < rows; ++r, at += pFrame->linesize[plane], band += rowBytes) {
            if (bSave) {
                std::memcpy(band, at, rowBytes);
            } else {
                std::memcpy(at, band, rowBytes);
            }
        }
    }
}

void TCombineOut::SetTickObserver(TTickObserver observer) {
    std::lock_guard<std::mutex> lock(FObserverLock);
    TickObserver = std::move(observer);
}

int TCombineOut::PushYUVtoCombine(const AVFrame* PYUVData, int nPort, int nCount, int nIndex) {
    return CombineVideo.PushYUVtoCombine(PYUVData, nPort, nCount, nIndex);
}

int TCombineOut::GetIfNeedPushYUV_EX(int nPort, int& DstW, int& DstH, int& nCount) {
    std::lock_guard<std::mutex> lock(FComLock);
    return CombineVideo.GetSlotSize(nPort, DstW, DstH, nCount);
}

int TCombineOut::SetCombinePorts(const int32_t* portsArr, int nPortCounts) {
    std::lock_guard<std::mutex> lock(FComLock);
    const int result = CombineVideo.SetCombinePorts(portsArr, nPortCounts);
    nCombine_Delay = kLayoutHoldTicks;
    return result;
}

int TCombineOut::GetCombinePorts(std::vector<int32_t>& portsArr) {
    std::lock_guard<std::mutex> lock(FComLock);
    int32_t ports[TCombineVideo::kMaxPorts] = {};
    const int count = CombineVideo.GetCombinePorts(ports);
    portsArr.assign(ports, ports + std::clamp(count, 0, TCombineVideo::kMaxPorts));
    return count;
}

int TCombineOut::SetCombArea_EX(const TCombArea_Ext& p) {
    std::lock_guard<std::mutex> lock(FComLock);
    CombineVideo.SetCombArea_Ext(p);
    nCombine_Delay = kLayoutHoldTicks;
    return 0;
}

void TCombineOut::SetOneCHFullScreen(bool bFullScreen) {
    CombineVideo.SetOneCHFullScreen(bFullScreen);
}

int TCombineOut::LoadYUVBikImage(const std::string& sFile) {
    return CombineVideo.LoadYUVBikImage(sFile);
}

int TCombineOut::SetMainPortForAudio(int nPort) {
    MainPort = nPort;
    return nPort;
}

int TCombineOut::PushAAC(const uint8_t* PData, int nSize, int nPort,
                         const rAudioChannel* pAudioVolume) {
    if (nPort != MainPort || PData == nullptr || nSize <= 0) {
        return -1;
    }
    if (TRtmpSend* sender = Sender; sender != nullptr) {
        const TZeroMediaFrameHead head{kFrameAAC, uint32_t(nSize), LocalWallClockMicros()};
        sender->addPackage_IncludeHead(head, PData);
    }
    if (bCapture) {
        nLastAudioIn = GetGlobeCount();
        Pacer.Push(PData, nSize); // recorded with the pictures it belongs to
    } else {
        Pacer.NoteFormat(PData, nSize);
    }
    if (pAudioVolume != nullptr) {
        std::lock_guard<std::mutex> lock(FLevelLock);
        AudioChannel.L = pAudioVolume->L;
        AudioChannel.R = pAudioVolume->R;
        AudioChannel.bMainAudioCH = false;
    }
    ++nAudioCounter;
    return -1;
}

void TCombineOut::RecordAudio(const uint8_t* data, int size) {
    if (Recorder != nullptr) {
        Recorder->PushAAC(data, size);
    }
}

bool TCombineOut::SetCaptureState(bool bC) {
    if (!bC) {
        bCapture = false;
        if (Recorder != nullptr) {
            Recorder->SetCaptureState(false);
        }
        return bC;
    }
    // The recorder waits for the run's first picture before the tick can
    // hand it one. A new run starts its sound from an empty queue and its
    // pictures from a forced IDR picture.
    if (Recorder != nullptr) {
        Recorder->SetCaptureState(true);
    }
    Pacer.Start();
    const uint32_t run = nCaptureRun + 1;
    nCaptureRun = run == 0 ? 1 : run;
    bCapture = true;
    return bC;
}

int TCombineOut::SetThisPortInError(int nPort) {
    const int slot = CombineVideo.GetIFThisPortIn(nPort);
    if (slot > 0 && Recorder != nullptr) {
        Recorder->SetThisPortInError(slot, 10);
    }
    return slot;
}

void TCombineOut::NewPeriod() {
    nTimeCounterBegin = GetGlobeCount();
    nVideoCounter = 0;
    nAudioCounter = 0;
}

int TCombineOut::GetAVCounterThisperiod(uint32_t& VCount, uint32_t& ACount, bool& VideoOK,
                                        bool& AudioOK) {
    const uint32_t elapsed = GetGlobeCount() - nTimeCounterBegin;
    if (elapsed == 0) {
        // Asked twice within one millisecond: no period has passed, so no rate
        // can be told; the counting goes on.
        VCount = ACount = 0;
        VideoOK = AudioOK = false;
        return -1;
    }
    VCount = uint32_t(uint64_t(nVideoCounter) * 1000 / elapsed);
    ACount = uint32_t(uint64_t(nAudioCounter) * 1000 / elapsed);
    VideoOK = AudioOK = true;
    int result = 0;
    if (VCount == 0 || ACount == 0) {
        VideoOK = AudioOK = false;
        result = -1;
    }
    if (ACount > 60) {
        AudioOK = false;
        result = -2;
    }
    NewPeriod();
    return result;
}

} // namespace tavrin
