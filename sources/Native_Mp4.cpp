#include "sources/Native_Mp4.h"

#include "base/GloTimer.h"
#include "base/H264Nal.h"
#include "base/Rounding.h"
#include "base/Trace.h"
#include "output/Adts.h"
#include "sources/AacRelay.h"
#include "sources/SilentAAC.h"

#include <algorithm>
#include <cmath>

extern "C" {
#include <libavcodec/bsf.h>
#include <libavutil/channel_layout.h>
}

namespace tavrin {

namespace {

constexpr int kOpenTries = 5;
constexpr unsigned kOpenRetryMs = 300;

bool IsStereo48kAac(const AVCodecParameters* par) {
    const AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    const bool stereoLayout = par->ch_layout.nb_channels == 2 &&
                              (par->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC ||
                               av_channel_layout_compare(&par->ch_layout, &stereo) == 0);
    // Only AAC can pass through: the frames leave with an ADTS header.
    return par->codec_id == AV_CODEC_ID_AAC && par->sample_rate == 48000 && stereoLayout;
}

} // namespace

TNative_Mp4::~TNative_Mp4() {
    Terminate();
    WaitFor();
    av_bsf_free(&bsf_ctx);
}

int TNative_Mp4::OpenFile(const std::string& name) {
    for (int attempt = 0; attempt < kOpenTries; ++attempt) {
        AVFormatContext* ctx = nullptr;
        if (avformat_open_input(&ctx, name.c_str(), nullptr, nullptr) == 0) {
            pAVFormatCtx.reset(ctx);
            return 0;
        }
        if (attempt + 1 < kOpenTries) {
            SleepMs(kOpenRetryMs);
        }
    }
    return -1;
}

int TNative_Mp4::initialize(const std::string& pFileName) {
    bCyclePlay = false;
    bPause = false;
    bHasDone = false;
    bNeedStartPlayAnyFrame = true;
    iNeedPlayCount = GetGlobeCount();
    if (OpenFile(pFileName) != 0) {
        return -1;
    }
    if (avformat_find_stream_info(pAVFormatCtx.get(), nullptr) < 0) {
        return -2;
    }
    for (unsigned i = 0; i < pAVFormatCtx->nb_streams; ++i) {
        const AVCodecParameters* par = pAVFormatCtx->streams[i]->codecpar;
        if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
            videoStreamIndex = int(i);
        } else if (par->codec_type == AVMEDIA_TYPE_AUDIO) {
            audioStreamIndex = int(i);
        }
    }
    if (videoStreamIndex < 0 || audioStreamIndex < 0 ||
        pAVFormatCtx->streams[videoStreamIndex]->codecpar->codec_id != AV_CODEC_ID_H264) {
        return -3;
    }
    const AVCodecParameters* apar = pAVFormatCtx->streams[audioStreamIndex]->codecpar;
    bIsSameAudioFMT = IsStereo48kAac(apar);
    if (!bIsSameAudioFMT) {
        if (DecodeAudio.initialize(apar) != 0 ||
            EncodeAudio.initialize_item(AV_SAMPLE_FMT_S16, 2, apar->sample_rate) != 0) {
            return -3;
        }
        bytesPersample = 4; // interleaved s16 stereo, as GetPCM delivers
    }
    if (SetupBitstreamFilter() != 0) {
        return -3;
    }
    PAVPackets.reset(av_packet_alloc());
    return PAVPackets ? 0 : -3;
}

int TNative_Mp4::SetupBitstreamFilter() {
    const AVBitStreamFilter* filter = av_bsf_get_by_name("h264_mp4toannexb");
    if (filter == nullptr || av_bsf_alloc(filter, &bsf_ctx) < 0) {
        return -1;
    }
    bsfINI = false;
    return 0;
}

int TNative_Mp4::GetPackage(const std::vector<uint8_t>*& pHead) {
    pHead = pLink.Head();
    return pHead != nullptr ? 0 : -1;
}

bool TNative_Mp4::SetCycle(bool bCycle) {
    bCyclePlay = bCycle;
    if (bCycle) {
        // Looping switched on after the end: the next read hits the end
        // again and starts over.
        bHasDone = false;
    }
    return bCyclePlay;
}

bool TNative_Mp4::SetPause() {
    bPause = !bPause;
    return bPause;
}

void TNative_Mp4::GetCurrentPos(int& CurrentSec, int& TotalSec) {
    CurrentSec = TotalSec = 0;
    if (!pAVFormatCtx) {
        return;
    }
    if (pAVFormatCtx->duration > 0) {
        TotalSec = RoundToInt(double(pAVFormatCtx->duration) / 1000000.0);
    }
    if (audioStreamIndex >= 0) {
        const AVRational tb = pAVFormatCtx->streams[audioStreamIndex]->time_base;
        CurrentSec = RoundToInt(double(nLastAudioPTS) * av_q2d(tb));
    }
}

void TNative_Mp4::SetCurrentPos(int nSec) {
    if (!pAVFormatCtx) {
        return;
    }
    const int64_t duration = std::max<int64_t>(pAVFormatCtx->duration, 0);
    const int64_t target = std::clamp<int64_t>(int64_t(nSec) * 1000000, 0, duration);
    std::lock_guard<std::mutex> lock(FReadLock);
    av_seek_frame(pAVFormatCtx.get(), -1, target, AVSEEK_FLAG_BACKWARD);
    bHasDone = false;
}

void TNative_Mp4::Execute() {
    while (!Terminated()) {
        SleepMs(5);
        RunTurn();
    }
}

void TNative_Mp4::RunTurn() {
    if (!pAVFormatCtx || bHasDone) {
        return;
    }
    const uint32_t now = GetGlobeCount();
    // After a stall the clock restarts at now instead of catching up.
    if (int32_t(now - (iNeedPlayCount + 1000)) > 0) {
        iNeedPlayCount = now;
    }
    if (int32_t(now - iNeedPlayCount) < 0) {
        return;
    }
    if (bPause && !bNeedStartPlayAnyFrame) {
        return;
    }
    if (ReadChunk() != 0) {
        return;
    }
    if (bNeedStartPlayAnyFrame) {
        // A second chunk at once, so a paused file still shows pictures.
        bNeedStartPlayAnyFrame = false;
        ReadChunk();
    }
    iNeedPlayCount += kChunkMs;
}

int64_t TNative_Mp4::ToMicros(int64_t pts, int streamIndex) const {
    if (pts == AV_NOPTS_VALUE) {
        return 0;
    }
    return av_rescale_q(pts, pAVFormatCtx->streams[streamIndex]->time_base, AVRational{1, 1000000});
}

int TNative_Mp4::ReadChunk() {
    std::lock_guard<std::mutex> lock(FReadLock);
    int queued = 0;
    while (queued < kChunkAudioFrames) {
        const int ret = av_read_frame(pAVFormatCtx.get(), PAVPackets.get());
        if (ret == AVERROR_EOF || ret == AVERROR(EAGAIN)) {
            EncodeAudio.FlushBuf();
            if (bCyclePlay) {
                av_seek_frame(pAVFormatCtx.get(), audioStreamIndex, 0, AVSEEK_FLAG_BACKWARD);
            } else {
                bHasDone = true;
            }
            return -1;
        }
        if (ret < 0) {
            bHasDone = true;
            return -1;
        }
        ++nCurrentFrames;
        if (PAVPackets->stream_index == audioStreamIndex) {
            QueueAudioPacket(PAVPackets.get(), queued);
        } else if (PAVPackets->stream_index == videoStreamIndex) {
            QueueVideoPacket(PAVPackets.get());
        }
        av_packet_unref(PAVPackets.get());
    }
    return 0;
}

void TNative_Mp4::QueueAudioPacket(const AVPacket* pkt, int& queued) {
    if (pkt->pts != AV_NOPTS_VALUE) {
        nLastAudioPTS = pkt->pts;
    }
    const bool hasHeader = HasAdtsHeader(pkt->data, size_t(pkt->size));
    if (bIsSameAudioFMT) {
        const int64_t pts = ToMicros(pkt->pts, audioStreamIndex);
        if (hasHeader) {
            pLink.Push(kFrameAAC, pts, {pkt->data, size_t(pkt->size)});
        } else {
            if (!MakeAdtsHeader(ADTSHEAD, pkt->size + int(kAdtsHeaderSize), 48000)) {
                return; // larger than an ADTS frame can describe
            }
            aacScratch.assign(ADTSHEAD, ADTSHEAD + kAdtsHeaderSize);
            aacScratch.insert(aacScratch.end(), pkt->data, pkt->data + pkt->size);
            pLink.Push(kFrameAAC, pts, aacScratch);
        }
        ++queued;
        return;
    }
    const uint8_t* data = pkt->data;
    int size = pkt->size;
    if (hasHeader && size > int(kAdtsHeaderSize)) {
        data += kAdtsHeaderSize;
        size -= int(kAdtsHeaderSize);
    }
    queued = AacRelay.Relay(data, size, bytesPersample, queued, kChunkAudioFrames);
}

void TNative_Mp4::QueueVideoPacket(AVPacket* pkt) {
    // A unit whose first NAL is an SPS is a key unit. Files that keep their
    // parameter sets in the container header (nearly every MP4 and MKV)
    // never start a packet with one; for them the filter puts the sets in
    // front of each key picture, and that marks the key unit below.
    const bool spsFirst = FirstNalType({pkt->data, size_t(std::max(pkt->size, 0))}) == kNalSps;
    if (!bsfINI) {
        if (avcodec_parameters_copy(bsf_ctx->par_in,
                                    pAVFormatCtx->streams[videoStreamIndex]->codecpar) < 0) {
            return;
        }
        bsf_ctx->time_base_in = pAVFormatCtx->streams[videoStreamIndex]->time_base;
        if (av_bsf_init(bsf_ctx) < 0) {
            return;
        }
        bsfINI = true;
    }
    if (av_bsf_send_packet(bsf_ctx, pkt) < 0) {
        return;
    }
    while (av_bsf_receive_packet(bsf_ctx, pkt) == 0) {
        const uint8_t nType = spsFirst || HasNalType({pkt->data, size_t(pkt->size)}, kNalSps)
                                  ? kFrameH264Key
                                  : kFrameH264;
        pLink.Push(nType, ToMicros(pkt->pts, videoStreamIndex), {pkt->data, size_t(pkt->size)});
        av_packet_unref(pkt);
    }
}

} // namespace tavrin
