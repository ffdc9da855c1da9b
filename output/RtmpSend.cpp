#include "output/RtmpSend.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <string>

extern "C" {
#include <libavutil/channel_layout.h>
}

#include "base/GloTimer.h"
#include "base/Trace.h"
#include "output/Adts.h"
#include "output/H264ParameterSets.h"

namespace tavrin {

namespace {

// Set when a blocking network call was given up; shared by every sender
// (there is one).
std::atomic<bool> gInterrupted{false};

// Blocking calls are abandoned by time: FFmpeg asks the callback on every
// read and write of the RTMP handshake, so a call count would cut healthy
// connections short.
constexpr uint32_t kConnectLimitMs = 3000;
constexpr uint32_t kWriteLimitMs = 1000;
constexpr int kSendBufferBytes = 128 * 1024; // the kernel doubles it
constexpr uint32_t kIdleWaitMs = 10;         // longest sleep of an idle sender

// Frames a stalled server may leave queued when the queue holds no second
// key frame to cut at; past this the whole queue goes.
constexpr size_t kHardQueueLimit = 3000;

} // namespace

int TRtmpSend::InterruptRTMPIO(void* opaque) {
    auto* sender = static_cast<TRtmpSend*>(opaque);
    if (sender->Terminated() && !sender->FinalSendAllowed()) {
        return 1; // shutting down: give up the blocking call at once
    }
    if (GlobeElapsed(sender->ioStart) <= sender->ioLimit) {
        return 0;
    }
    if (!gInterrupted.exchange(true)) {
        Trace("interruptRTMPIO");
    }
    return 1;
}

bool TRtmpSend::FinalSendAllowed() const {
    return bFinalSend && GlobeElapsed(nStopAt) <= kFinalSendMs;
}

void TRtmpSend::BeginBlockingCall(uint32_t limitMs) {
    ioLimit = limitMs;
    ioStart = GetGlobeCount();
}

namespace {

bool SetExtradata(AVCodecParameters* par, std::span<const uint8_t> bytes) {
    par->extradata = static_cast<uint8_t*>(av_mallocz(bytes.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    if (par->extradata == nullptr) {
        return false;
    }
    std::memcpy(par->extradata, bytes.data(), bytes.size());
    par->extradata_size = int(bytes.size());
    return true;
}

} // namespace

TRtmpSend::TRtmpSend() = default;

TRtmpSend::~TRtmpSend() {
    Destroy();
}

int TRtmpSend::initialize(int nW, int nH, int AudioDelay) {
    return initialize(nW, nH, AudioDelay, ProgrammeParameterSets(nW, nH));
}

int TRtmpSend::initialize(int nW, int nH, int AudioDelay, std::span<const uint8_t> spsPps) {
    stamper.Reset();
    nACount_inner = 0;
    nVCount_inner = 0;
    gInterrupted = false;
    {
        std::lock_guard<std::mutex> lock(FSetLock);
        ClientSendInfo = TClientSendInfo();
        ClientSendInfo.bPause = true;
    }
    nReconnectCount = 0;
    nAcceptTotalFrames = 0;
    nHasSendFrames = 0;
    nThrowFrames = 0;
    {
        std::lock_guard<std::mutex> lock(FFrameLock);
        nPeakBytes = 0;
        nLiveDropGroups = 0;
    }
    bPause = true;
    bHasRtmpIni = false;
    bChangeURL = false;
    bNeedIFrame = true;
    nAudiooffSet = AudioDelay * 21;
    nWidth = nW;
    nHeight = nH;
    videoExtradata.assign(spsPps.begin(), spsPps.end());
    if (!AVPackets) {
        AVPackets.reset(av_packet_alloc());
    }
    return 0;
}

void TRtmpSend::addPackage_IncludeHead(const TZeroMediaFrameHead& head, const uint8_t* pData) {
    if (bPause || (bNeedIFrame && head.nFrameType != kFrameH264Key)) {
        return;
    }
    std::lock_guard<std::mutex> lock(FFrameLock);
    if (pLink.Size() > kQueueLimit) {
        Trace("clear frame");
        ClearToSecondKey();
        if (pLink.Size() > kHardQueueLimit) {
            ClearAll();
            if (head.nFrameType != kFrameH264Key) {
                return; // the queue restarts at a key frame
            }
        }
    }
    bNeedIFrame = false;
    // The stream is stamped afresh when it is written, so the record's stamp
    // is free to carry when the frame arrived here: its age is the live delay.
    pLink.Push(head.nFrameType, int64_t(GetGlobeCount()),
               std::span<const uint8_t>(pData, pData == nullptr ? 0 : head.nFrameSize));
    ++nAcceptTotalFrames;
    nPeakBytes = std::max<uint64_t>(nPeakBytes, pLink.Bytes());
    if (head.nFrameType == kFrameH264Key) {
        DropStaleGroups(); // a fresh group to restart from is now queued
    }
    FFrameQueued.notify_one();
}

uint32_t TRtmpSend::AgeOf(size_t i) const {
    TZeroMediaFrameHead h{};
    if (i >= pLink.Size() || !ReadMediaFrameHead(pLink[i], h)) {
        return 0;
    }
    return GlobeElapsed(uint32_t(h.PTS));
}

void TRtmpSend::DropStaleGroups() {
    if (pLink.Empty() || AgeOf(0) <= kLiveDelayLimitMs) {
        return;
    }
    // Restart at the oldest key picture that is still recent enough; whole
    // groups go, so the stream the server gets stays decodable.
    size_t key = pLink.FindKey(1);
    while (key != TFrameQueue::npos && AgeOf(key) > kLiveDelayLimitMs) {
        key = pLink.FindKey(key + 1);
    }
    if (key == TFrameQueue::npos) {
        return; // no recent group yet: keep what there is until one arrives
    }
    const uint32_t age = AgeOf(0);
    pLink.DropFront(key);
    nThrowFrames += uint32_t(key);
    ++nLiveDropGroups;
    nLastLiveDrop = GetGlobeCount();
    Trace("drop to stay live =" + std::to_string(key) + " waited " + std::to_string(age) + "ms");
}

void TRtmpSend::ClearAll() {
    const size_t count = pLink.Clear().Total();
    nThrowFrames += uint32_t(count);
    Trace("clear  all =" + std::to_string(count));
    bNeedIFrame = true;
}

void TRtmpSend::ClearToSecondKey() {
    const size_t second = pLink.FindKey(0, 2);
    if (second == TFrameQueue::npos) {
        return;
    }
    pLink.DropFront(second);
    nThrowFrames += uint32_t(second);
    Trace("clear not all =" + std::to_string(second));
}

void TRtmpSend::SkipToKeyFrame() {
    // A new connection is a new stream for the server: it must begin with a
    // key picture, or its recording and its players start with garbage.
    std::lock_guard<std::mutex> lock(FFrameLock);
    size_t drop = pLink.FindKey(0);
    if (drop == TFrameQueue::npos) {
        drop = pLink.Size();
        bNeedIFrame = true; // the next key picture queued starts the stream
    }
    pLink.DropFront(drop);
    nThrowFrames += uint32_t(drop);
    DropStaleGroups(); // what waited out the outage is no longer live
}

int TRtmpSend::refreshURL(const std::string& l_rtmpURL) {
    std::lock_guard<std::mutex> lock(FSetLock);
    if (l_rtmpURL != rtmpURL) {
        rtmpURL = l_rtmpURL;
        ClientSendInfo.rtmpURL = l_rtmpURL;
        ClientSendInfo.bSetURL = true;
        bChangeURL = true;
    }
    return 0;
}

int TRtmpSend::SetPause(bool pause) {
    {
        std::lock_guard<std::mutex> lock(FSetLock);
        bPause = pause;
        ClientSendInfo.bPause = pause;
    }
    bNeedIFrame = true;
    return 0;
}

int TRtmpSend::SetAudioDelay(int AudioDelay) {
    nAudiooffSet = AudioDelay * 21;
    return nAudiooffSet;
}

int TRtmpSend::GetClientInfo(TClientSendInfo& info) {
    uint32_t remain = 0;
    uint64_t bytes = 0;
    uint64_t peak = 0;
    uint32_t delay = 0;
    uint32_t groups = 0;
    bool dropping = false;
    {
        std::lock_guard<std::mutex> lock(FFrameLock);
        remain = uint32_t(pLink.Size());
        bytes = pLink.Bytes();
        peak = nPeakBytes;
        delay = AgeOf(0);
        groups = nLiveDropGroups;
        dropping = groups > 0 && GlobeElapsed(nLastLiveDrop) < kDroppingShownMs;
    }
    std::lock_guard<std::mutex> lock(FSetLock);
    info = ClientSendInfo;
    info.bConnectOK = bHasRtmpIni && nErrorCode == kConnectOK;
    info.nRemainFrames = remain;
    info.nAcceptTotalFrames = nAcceptTotalFrames;
    info.nThrowFrames = nThrowFrames;
    info.nReconnectCount = nReconnectCount;
    info.nHasSendFrames = nHasSendFrames;
    info.nRemainBytes = bytes;
    info.nPeakBytes = peak;
    info.nLiveDelayMs = delay;
    info.nLiveDropGroups = groups;
    info.bDroppingToStayLive = dropping;
    return 0;
}

void TRtmpSend::CloseOutput() {
    if (!ofmt_ctx) {
        return;
    }
    if (ofmt_ctx->pb != nullptr && !(ofmt_ctx->oformat->flags & AVFMT_NOFILE)) {
        avio_closep(&ofmt_ctx->pb);
    }
    ofmt_ctx.reset();
}

int TRtmpSend::OpenConnection() {
    stamper.Reset();
    CloseOutput();
    std::string url;
    {
        std::lock_guard<std::mutex> lock(FSetLock);
        url = rtmpURL;
    }

    static const int networkReady = avformat_network_init();
    (void)networkReady;

    AVFormatContext* created = nullptr;
    if (avformat_alloc_output_context2(&created, nullptr, "flv", url.c_str()) < 0 ||
        created == nullptr) {
        return kNoOutputContext;
    }
    ofmt_ctx.reset(created);
    // Without audio (a silent main channel) the interleaving writer would hold
    // pictures for its default 10 s; a live stream must not lag that much.
    ofmt_ctx->max_interleave_delta = 1000000;
    ofmt_ctx->interrupt_callback.callback = InterruptRTMPIO;
    ofmt_ctx->interrupt_callback.opaque = this;

    AVStream* video = avformat_new_stream(ofmt_ctx.get(), nullptr);
    AVStream* audio = avformat_new_stream(ofmt_ctx.get(), nullptr);
    if (video == nullptr || audio == nullptr) {
        CloseOutput();
        return kNoOutputContext;
    }
    AVCodecParameters* vp = video->codecpar;
    vp->codec_type = AVMEDIA_TYPE_VIDEO;
    vp->codec_id = AV_CODEC_ID_H264;
    vp->width = nWidth;
    vp->height = nHeight;
    vp->format = AV_PIX_FMT_YUV420P;
    vp->codec_tag = 0;
    video->time_base = {1, int(TRtmpStamper::kTimebase)};
    AVCodecParameters* ap = audio->codecpar;
    ap->codec_type = AVMEDIA_TYPE_AUDIO;
    ap->codec_id = AV_CODEC_ID_AAC;
    ap->profile = FF_PROFILE_AAC_LOW;
    ap->sample_rate = 48000;
    av_channel_layout_default(&ap->ch_layout, 2);
    ap->format = AV_SAMPLE_FMT_FLTP;
    ap->bit_rate = 131072;
    ap->frame_size = 1024;
    ap->codec_tag = 0;
    audio->time_base = {1, int(TRtmpStamper::kTimebase)};
    if (!SetExtradata(vp, videoExtradata) || !SetExtradata(ap, dsi)) {
        CloseOutput();
        return kNoOutputContext;
    }
    streamIndex_V = video->index;
    streamIndex_A = audio->index;

    AVDictionary* ioOptions = nullptr;
    // For the rtmp protocol "timeout" means "listen for an incoming
    // connection", which would turn the push into a server; there the
    // connect is bounded by the interrupt callback and rw_timeout instead.
    if (url.rfind("rtmp", 0) != 0) {
        av_dict_set(&ioOptions, "timeout", "2000000", 0);
    }
    av_dict_set(&ioOptions, "rw_timeout", "1000000", 0);
    // A socket left to grow its send buffer hides seconds of a slow uplink
    // from the live-delay bound (and loses them when the line dies); a fixed
    // one still carries an 8 Mbit/s programme over a 200 ms round trip.
    av_dict_set(&ioOptions, "send_buffer_size", std::to_string(kSendBufferBytes).c_str(), 0);
    if (!(ofmt_ctx->oformat->flags & AVFMT_NOFILE)) {
        const int ret = avio_open2(&ofmt_ctx->pb, url.c_str(), AVIO_FLAG_WRITE,
                                   &ofmt_ctx->interrupt_callback, &ioOptions);
        av_dict_free(&ioOptions);
        if (ret < 0) {
            CloseOutput();
            return kCannotOpen;
        }
    }
    av_dict_free(&ioOptions);
    AVDictionary* muxOptions = nullptr;
    av_dict_set(&muxOptions, "flvflags", "no_duration_filesize", 0);
    const int ret = avformat_write_header(ofmt_ctx.get(), &muxOptions);
    av_dict_free(&muxOptions);
    if (ret < 0) {
        CloseOutput();
        return kNoHeader;
    }
    bHasRtmpIni = true;
    return kConnectOK;
}

int TRtmpSend::WriteFrame(const std::vector<uint8_t>& frame, bool fresh) {
    TZeroMediaFrameHead head{};
    if (!ReadMediaFrameHead(frame, head) || !ofmt_ctx) {
        return -1;
    }
    const uint8_t* p = frame.data() + kMediaFrameHeadSize;
    const int n = int(head.nFrameSize);
    AVPacket* pkt = AVPackets.get();
    av_packet_unref(pkt);
    if (head.nFrameType == kFrameAAC) {
        const TRtmpStamp s = stamper.StampAudio(fresh, nACount_inner, nAudiooffSet);
        if (s.adjusted) {
            Trace("rtmp Audio adjust");
        }
        pkt->pts = pkt->dts = s.pts;
        pkt->duration = s.duration;
        pkt->stream_index = streamIndex_A;
        pkt->data = const_cast<uint8_t*>(p + kAdtsHeaderSize); // the ADTS header is not sent
        pkt->size = n - int(kAdtsHeaderSize);
    } else {
        const TRtmpStamp s = stamper.StampVideo(fresh, nAudiooffSet);
        if (s.adjusted) {
            Trace("rtmp video adjust");
        }
        pkt->pts = pkt->dts = s.pts;
        pkt->duration = s.duration;
        pkt->stream_index = streamIndex_V;
        pkt->flags = head.nFrameType == kFrameH264Key ? AV_PKT_FLAG_KEY : 0;
        pkt->data = const_cast<uint8_t*>(p);
        pkt->size = n;
    }
    const AVRational ms = {1, int(TRtmpStamper::kTimebase)};
    av_packet_rescale_ts(pkt, ms, ofmt_ctx->streams[pkt->stream_index]->time_base);
    BeginBlockingCall(kWriteLimitMs);
    int ret = av_interleaved_write_frame(ofmt_ctx.get(), pkt);
    av_packet_unref(pkt);
    // The interleaving writer answers 0 while it only buffers, even after the
    // connection broke; the I/O context remembers the failure.
    if (ret >= 0 && ofmt_ctx->pb != nullptr && ofmt_ctx->pb->error < 0) {
        ret = ofmt_ctx->pb->error;
    }
    if (ret >= 0) {
        ++nHasSendFrames;
    }
    return ret < 0 ? ret : 0;
}

void TRtmpSend::Execute() {
    uint32_t lastOK = GetGlobeCount();
    bool fresh = true;
    bool holding = false;
    std::vector<uint8_t> held;

    while (!Terminated()) {
        if (holding) {
            SleepMs(2); // a frame the connection refused: retry at a measured pace
        } else {
            // Asleep until a frame is queued instead of polling every 2 ms;
            // the bound keeps the reconnect rule, a new address and
            // Terminate noticed.
            std::unique_lock<std::mutex> lock(FFrameLock);
            FFrameQueued.wait_for(lock, std::chrono::milliseconds(kIdleWaitMs),
                                  [this] { return !bPause && !pLink.Empty(); });
        }
        if (bPause) {
            continue;
        }
        {
            // An idle open connection is not a stalled one: then the
            // one-second rule counts only while a frame is waiting.
            std::lock_guard<std::mutex> lock(FFrameLock);
            if (!holding && pLink.Empty() && nErrorCode == kConnectOK) {
                lastOK = GetGlobeCount();
            }
        }
        if (bChangeURL || GlobeElapsed(lastOK) > 1000) {
            bool haveURL = false;
            {
                std::lock_guard<std::mutex> lock(FSetLock);
                haveURL = !rtmpURL.empty();
            }
            if (!haveURL) {
                continue;
            }
            bChangeURL = false;
            Trace("RTMPIni");
            BeginBlockingCall(kConnectLimitMs);
            nErrorCode = OpenConnection();
            ++nReconnectCount;
            if (holding) {
                holding = false; // the frame the old connection could not take
                ++nThrowFrames;
            }
            if (nErrorCode == kConnectOK) {
                SkipToKeyFrame();
            }
            fresh = true; // the next frame is a new one, whatever happened to the held one
            Trace("RTMPIniOK");
            gInterrupted = false;
            lastOK = GetGlobeCount();
        }
        for (int i = 0; i < 3 && !Terminated(); ++i) {
            if (!holding) {
                // The buffer of the frame written before goes back to the queue.
                std::lock_guard<std::mutex> lock(FFrameLock);
                if (!pLink.Pop(held)) {
                    break;
                }
                holding = true;
            }
            const bool usable = TFrameQueue::TypeOf(held) != kFrameAAC ||
                                held.size() > kMediaFrameHeadSize + kAdtsHeaderSize;
            if (usable && WriteFrame(held, fresh) < 0) {
                fresh = false;
                continue;
            }
            const bool audio = TFrameQueue::TypeOf(held) == kFrameAAC;
            holding = false;
            if (!usable) {
                ++nThrowFrames; // an AAC frame without its ADTS header cannot be sent
                continue;
            }
            lastOK = GetGlobeCount();
            ++(audio ? nACount_inner : nVCount_inner);
            fresh = true;
        }
    }
    if (bFinalSend) {
        SendQueuedOnStop(held, holding, fresh);
    } else if (holding) {
        ++nThrowFrames;
    }
}

void TRtmpSend::SendQueuedOnStop(std::vector<uint8_t>& held, bool holding, bool fresh) {
    while (nErrorCode == kConnectOK && FinalSendAllowed()) {
        if (!holding) {
            std::lock_guard<std::mutex> lock(FFrameLock);
            if (!pLink.Pop(held)) {
                return;
            }
            holding = true;
        }
        const bool audio = TFrameQueue::TypeOf(held) == kFrameAAC;
        if (audio && held.size() <= kMediaFrameHeadSize + kAdtsHeaderSize) {
            holding = false;
            ++nThrowFrames;
            continue;
        }
        if (WriteFrame(held, fresh) < 0) {
            break; // the connection or the time is up; what is left goes
        }
        holding = false;
        fresh = true;
        ++(audio ? nACount_inner : nVCount_inner);
    }
    if (holding) {
        ++nThrowFrames;
    }
}

void TRtmpSend::Destroy() {
    // A push stopped while live ends its stream with what was queued; the
    // blocking calls are given up once kFinalSendMs has passed.
    nStopAt = GetGlobeCount();
    bFinalSend = Running() && !bPause && bHasRtmpIni && nErrorCode == kConnectOK;
    Terminate();
    WaitFor();
    if (ofmt_ctx && bHasRtmpIni && nErrorCode == kConnectOK) {
        // Hand the server what the interleaving writer still holds.
        BeginBlockingCall(kWriteLimitMs);
        av_write_trailer(ofmt_ctx.get());
    }
    bFinalSend = false;
    CloseOutput();
    {
        std::lock_guard<std::mutex> lock(FFrameLock);
        if (!pLink.Empty()) {
            ClearAll();
        }
    }
    AVPackets.reset();
}

} // namespace tavrin
