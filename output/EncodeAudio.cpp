#include "output/EncodeAudio.h"

#include <cstring>
#include <string>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
}

#include "base/MediaFrame.h"
#include "base/Trace.h"
#include "output/Adts.h"

namespace tavrin {

namespace {
constexpr int kFrameBytes = TEncodeAudio::kFrameSamples * 4; // per channel, float
}

TEncodeAudio::TEncodeAudio() : dstL_PCM(kAccumulationBytes), dstR_PCM(kAccumulationBytes) {}

TEncodeAudio::~TEncodeAudio() {
    av_channel_layout_uninit(&layout);
}

int TEncodeAudio::initialize(const AVCodecContext* pSrcAudioCodecCtx) {
    if (pSrcAudioCodecCtx == nullptr) {
        return -2;
    }
    return initialize_item(pSrcAudioCodecCtx->sample_fmt, pSrcAudioCodecCtx->ch_layout.nb_channels,
                           pSrcAudioCodecCtx->sample_rate);
}

int TEncodeAudio::initialize_item(AVSampleFormat fmt, int nChannels, int rate) {
    sample_fmt = fmt;
    channels = nChannels;
    sample_rate = rate;
    av_channel_layout_uninit(&layout);
    av_channel_layout_default(&layout, nChannels);
    return OpenEncoder();
}

int TEncodeAudio::OpenEncoder() {
    Actx.reset();
    pAudioCodecCtx.reset();
    dstPos = 0;
    nHasFetchSrcFrame = 1;

    pAudioCodec = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (pAudioCodec == nullptr) {
        return -3;
    }
    AvCodecContextPtr ctx(avcodec_alloc_context3(pAudioCodec));
    if (!ctx) {
        return -4;
    }
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    ctx->codec_type = AVMEDIA_TYPE_AUDIO;
    ctx->sample_fmt = AV_SAMPLE_FMT_FLTP;
    ctx->sample_rate = kOutRate;
    av_channel_layout_copy(&ctx->ch_layout, &stereo);
    ctx->bit_rate = kBitrate;
    ctx->time_base = AVRational{1, kOutRate};
    if (avcodec_open2(ctx.get(), pAudioCodec, nullptr) < 0) {
        return -4;
    }

    SwrContext* swr = nullptr;
    if (channels <= 0 || sample_rate <= 0 ||
        swr_alloc_set_opts2(&swr, &stereo, AV_SAMPLE_FMT_FLTP, kOutRate, &layout, sample_fmt,
                            sample_rate, 0, nullptr) < 0) {
        swr_free(&swr);
        return -2;
    }
    SwrContextPtr resampler(swr);
    if (swr_init(resampler.get()) < 0) {
        return -2;
    }

    AvFramePtr frame(av_frame_alloc());
    AvPacketPtr pkt(av_packet_alloc());
    if (!frame || !pkt) {
        return -4;
    }
    frame->format = AV_SAMPLE_FMT_FLTP;
    frame->sample_rate = kOutRate;
    frame->nb_samples = kFrameSamples;
    av_channel_layout_copy(&frame->ch_layout, &stereo);
    if (av_frame_get_buffer(frame.get(), 0) < 0) {
        return -4;
    }

    pAudioCodecCtx = std::move(ctx);
    Actx = std::move(resampler);
    OUT_frame = std::move(frame);
    packet = std::move(pkt);
    dstBytesPerSample = av_get_bytes_per_sample(AV_SAMPLE_FMT_FLTP) * 2;
    return 0;
}

int TEncodeAudio::Convert(const uint8_t* const* in, int inSamples) {
    uint8_t* out[2] = {dstL_PCM.data() + dstPos, dstR_PCM.data() + dstPos};
    const int converted =
        swr_convert(Actx.get(), out, kFrameSamples, const_cast<const uint8_t**>(in), inSamples);
    if (converted > 0) {
        dstPos += converted * dstBytesPerSample / 2;
    }
    return converted;
}

int TEncodeAudio::addPCM(const AVFrame* pPCM, int nSamples, const uint8_t* pData) {
    if (!Actx || nSamples < 0 || (pData == nullptr && pPCM == nullptr)) {
        return -5;
    }
    // Each conversion writes up to one frame; the buffers must have room for
    // it, or the input is refused rather than written past their end.
    if (dstPos + kFrameBytes > kAccumulationBytes) {
        Trace("convert refused, buffer full " + std::to_string(dstPos));
        return -4;
    }
    const uint8_t* planes[AV_NUM_DATA_POINTERS] = {};
    const uint8_t* const* in = planes;
    if (pData != nullptr) {
        if (av_sample_fmt_is_planar(sample_fmt) && channels > 1) {
            return -5;
        }
        planes[0] = pData;
    } else {
        in = pPCM->extended_data;
    }

    const int converted = Convert(in, nSamples);
    if (converted <= -2) {
        Trace("convert error" + std::to_string(converted));
        return -1;
    }

    while (swr_get_out_samples(Actx.get(), 0) >= kFrameSamples) {
        if (dstPos + kFrameBytes > kAccumulationBytes) {
            Trace("convert drain stopped, buffer full " + std::to_string(dstPos));
            break;
        }
        const int drained = Convert(nullptr, 0);
        if (drained <= -2) {
            Trace("convert error2" + std::to_string(drained));
            break;
        }
        if (drained == 0) {
            break; // the estimate counted samples the filter cannot give yet
        }
    }
    return converted;
}

int TEncodeAudio::GetAAC(std::vector<uint8_t>& pAAC, bool& bFrameError) {
    bFrameError = false;
    if (!pAudioCodecCtx) {
        return -3;
    }
    if (dstPos >= kFrameBytes) {
        ++nHasFetchSrcFrame;
        // The frame is our own reference-counted buffer, released by the
        // encoder after each call, so this copy never allocates.
        if (av_frame_make_writable(OUT_frame.get()) == 0) {
            std::memcpy(OUT_frame->data[0], dstL_PCM.data(), kFrameBytes);
            std::memcpy(OUT_frame->data[1], dstR_PCM.data(), kFrameBytes);
            OUT_frame->pts = int64_t(nHasFetchSrcFrame - 2) * kFrameSamples;
            if (avcodec_send_frame(pAudioCodecCtx.get(), OUT_frame.get()) < 0) {
                bFrameError = true;
            }
        } else {
            bFrameError = true;
        }
        if (bFrameError) {
            Trace("avcodec_send_frame error frame =" + std::to_string(nHasFetchSrcFrame));
        }
        const size_t rest = size_t(dstPos - kFrameBytes);
        std::memmove(dstL_PCM.data(), dstL_PCM.data() + kFrameBytes, rest);
        std::memmove(dstR_PCM.data(), dstR_PCM.data() + kFrameBytes, rest);
        dstPos -= kFrameBytes;
    }

    if (avcodec_receive_packet(pAudioCodecCtx.get(), packet.get()) < 0) {
        return -3;
    }
    const int frameLength = packet->size + int(kAdtsHeaderSize);
    uint8_t adts[kAdtsHeaderSize];
    if (!MakeAdtsHeader(adts, frameLength, kOutRate)) {
        Trace("aac frame too long for adts " + std::to_string(packet->size));
        av_packet_unref(packet.get());
        return -3;
    }
    const TZeroMediaFrameHead head{kFrameAAC, uint32_t(frameLength), LocalWallClockMicros()};
    pAAC.resize(kMediaFrameHeadSize + size_t(frameLength));
    WriteMediaFrameHead(head, pAAC);
    std::memcpy(pAAC.data() + kMediaFrameHeadSize, adts, kAdtsHeaderSize);
    std::memcpy(pAAC.data() + kMediaFrameHeadSize + kAdtsHeaderSize, packet->data,
                size_t(packet->size));
    av_packet_unref(packet.get());
    return int(pAAC.size());
}

void TEncodeAudio::FlushBuf() {
    Trace("now flush!");
}

} // namespace tavrin
