#include "decode/DecodeAudio.h"

#include "base/Rounding.h"

#include <algorithm>
#include <cmath>
#include <cstring>

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace tavrin {

int16_t FloatSampleToS16(float sample) {
    const float clamped = std::clamp(sample, -1.0f, 1.0f);
    return int16_t(std::lround(clamped * 32767.0f));
}

int TDecodeAudio::initialize(const AVCodecParameters* pSrcAudioCodecPar) {
    Destroy();
    {
        std::lock_guard lock(FLevelLock);
        AChannel = rAudioChannel{};
    }
    const AVCodecID id = pSrcAudioCodecPar ? pSrcAudioCodecPar->codec_id : AV_CODEC_ID_AAC;
    pAudioCodec = avcodec_find_decoder(id);
    if (pAudioCodec == nullptr) {
        return 0; // stays unopened: GetPCM yields nothing
    }
    AvCodecContextPtr ctx(avcodec_alloc_context3(pAudioCodec));
    if (!ctx) {
        return -3;
    }
    ctx->codec_type = AVMEDIA_TYPE_AUDIO;
    if (pSrcAudioCodecPar != nullptr) {
        // The stream's own parameters, extradata included: codecs other than
        // AAC-LC (HE-AAC, Vorbis, ...) cannot decode without it.
        if (avcodec_parameters_to_context(ctx.get(), pSrcAudioCodecPar) < 0) {
            return -3;
        }
        const int nChannels = ctx->ch_layout.nb_channels > 0 ? ctx->ch_layout.nb_channels : 2;
        av_channel_layout_uninit(&ctx->ch_layout);
        av_channel_layout_default(&ctx->ch_layout, nChannels);
    } else {
        const AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
        ctx->sample_rate = 48000;
        ctx->bit_rate = 131072;
        av_channel_layout_copy(&ctx->ch_layout, &stereo);
    }
    if (avcodec_open2(ctx.get(), pAudioCodec, nullptr) < 0) {
        return -3;
    }
    AvFramePtr frame(av_frame_alloc());
    AvPacketPtr pkt(av_packet_alloc());
    if (!frame || !pkt) {
        return -3;
    }
    g_samplerate = ctx->sample_rate;
    pAudioCodecCtx = std::move(ctx);
    pAudioFrame = std::move(frame);
    AVPackets = std::move(pkt);
    return 0;
}

int TDecodeAudio::GetPCM(const uint8_t* pAACData, int nAACSize, const uint8_t*& pPCMData,
                         int& nPCMBytes) {
    if (!pAudioCodecCtx || pAACData == nullptr || nAACSize <= 0) {
        return 0;
    }
    AVPackets->data = const_cast<uint8_t*>(pAACData);
    AVPackets->size = nAACSize;
    int sent = avcodec_send_packet(pAudioCodecCtx.get(), AVPackets.get());
    if (sent == AVERROR(EAGAIN)) {
        // A frame from the last packet is still waiting: drop it, then retry.
        av_frame_unref(pAudioFrame.get());
        avcodec_receive_frame(pAudioCodecCtx.get(), pAudioFrame.get());
        av_frame_unref(pAudioFrame.get());
        sent = avcodec_send_packet(pAudioCodecCtx.get(), AVPackets.get());
    }
    AVPackets->data = nullptr;
    AVPackets->size = 0;
    if (sent < 0 || avcodec_receive_frame(pAudioCodecCtx.get(), pAudioFrame.get()) < 0) {
        av_frame_unref(pAudioFrame.get());
        return 0;
    }

    const AVFrame& f = *pAudioFrame;
    // Frames longer than the output buffer keep their first kMaxSamples.
    const int n = std::min(f.nb_samples, kMaxSamples);
    const bool twoChannels = f.ch_layout.nb_channels >= 2;
    const int channelsIn = std::max(f.ch_layout.nb_channels, 1);
    bool converted = true;
    switch (f.format) {
    case AV_SAMPLE_FMT_S16: {
        // Interleaved: the first two channels (mono is doubled).
        const auto* in = reinterpret_cast<const int16_t*>(f.extended_data[0]);
        for (int i = 0; i < n; ++i) {
            const int16_t* sample = in + ptrdiff_t(i) * channelsIn;
            SampBuf[i] = {sample[0], twoChannels ? sample[1] : sample[0]};
        }
        break;
    }
    case AV_SAMPLE_FMT_S16P: {
        const auto* l = reinterpret_cast<const int16_t*>(f.extended_data[0]);
        const auto* r = twoChannels ? reinterpret_cast<const int16_t*>(f.extended_data[1]) : l;
        for (int i = 0; i < n; ++i) {
            SampBuf[i] = {l[i], r[i]};
        }
        break;
    }
    case AV_SAMPLE_FMT_FLTP: {
        const auto* l = reinterpret_cast<const float*>(f.extended_data[0]);
        const auto* r = twoChannels ? reinterpret_cast<const float*>(f.extended_data[1]) : l;
        int64_t sumL = 0;
        int64_t sumR = 0;
        for (int i = 0; i < n; ++i) {
            const int16_t sl = FloatSampleToS16(l[i]);
            const int16_t sr = FloatSampleToS16(r[i]);
            SampBuf[i] = {sl, sr};
            sumL += std::abs(int(sl));
            sumR += std::abs(int(sr));
        }
        if (n > 0) {
            std::lock_guard lock(FLevelLock);
            AChannel.L = uint16_t(sumL / n);
            AChannel.R = uint16_t(sumR / n);
        }
        break;
    }
    default:
        converted = false;
        break;
    }
    av_frame_unref(pAudioFrame.get());
    if (!converted) {
        return 0;
    }
    pPCMData = reinterpret_cast<const uint8_t*>(SampBuf.data());
    nPCMBytes = n * 4;
    return n;
}

void TDecodeAudio::GetMaxPCMVolume(rAudioChannel& AudioVolume) {
    std::lock_guard lock(FLevelLock);
    AudioVolume.L = uint16_t(RoundToInt(AChannel.L * 100.0 / 32767.0));
    AudioVolume.R = uint16_t(RoundToInt(AChannel.R * 100.0 / 32767.0));
    AChannel.L = 0;
    AChannel.R = 0;
}

void TDecodeAudio::Destroy() {
    pAudioFrame.reset();
    pAudioCodecCtx.reset();
    AVPackets.reset();
    pAudioCodec = nullptr;
    g_samplerate = 0;
}

} // namespace tavrin
