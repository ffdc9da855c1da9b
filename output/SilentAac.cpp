#include "output/SilentAac.h"

#include "av/AvPtr.h"
#include "output/Adts.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace tavrin {

namespace {

constexpr int kRates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                          22050, 16000, 12000, 11025, 8000,  7350};
constexpr int kAacLcProfile = 1; // the header's profile field is the object type minus one
constexpr int kSilenceBitrate = 32000;

int ChannelsOf(int config) {
    return config == 7 ? 8 : config;
}

} // namespace

bool ReadAdtsFormat(const uint8_t* data, size_t size, TAdtsFormat& format) {
    if (data == nullptr || size < kAdtsHeaderSize || !HasAdtsHeader(data, size)) {
        return false;
    }
    const int profile = data[2] >> 6;
    const int rateIndex = (data[2] >> 2) & 0x0F;
    const int config = ((data[2] & 1) << 2) | (data[3] >> 6);
    if (profile != kAacLcProfile || rateIndex >= int(std::size(kRates)) || config == 0) {
        return false;
    }
    format.nSampleRate = kRates[rateIndex];
    format.nChannelConfig = config;
    return true;
}

bool MakeSilentAacFrame(const TAdtsFormat& format, std::vector<uint8_t>& out) {
    out.clear();
    if (format.nChannelConfig < 1 || format.nChannelConfig > 7 || format.nSampleRate <= 0) {
        return false;
    }
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (codec == nullptr) {
        return false;
    }
    AvCodecContextPtr ctx(avcodec_alloc_context3(codec));
    if (!ctx) {
        return false;
    }
    ctx->sample_fmt = AV_SAMPLE_FMT_FLTP;
    ctx->sample_rate = format.nSampleRate;
    av_channel_layout_default(&ctx->ch_layout, ChannelsOf(format.nChannelConfig));
    ctx->bit_rate = kSilenceBitrate;
    ctx->time_base = AVRational{1, format.nSampleRate};
    if (avcodec_open2(ctx.get(), codec, nullptr) < 0) {
        return false;
    }
    AvFramePtr frame(av_frame_alloc());
    AvPacketPtr packet(av_packet_alloc());
    if (!frame || !packet) {
        return false;
    }
    frame->format = AV_SAMPLE_FMT_FLTP;
    frame->nb_samples = ctx->frame_size;
    frame->sample_rate = format.nSampleRate;
    if (av_channel_layout_copy(&frame->ch_layout, &ctx->ch_layout) < 0 ||
        av_frame_get_buffer(frame.get(), 0) < 0) {
        return false;
    }
    // The encoder holds back its first frames: silence goes in until a
    // frame comes out (all of them decode to silence).
    for (int i = 0; i < 8; ++i) {
        if (av_frame_make_writable(frame.get()) < 0) {
            return false;
        }
        for (int ch = 0; ch < frame->ch_layout.nb_channels; ++ch) {
            std::fill_n(reinterpret_cast<float*>(frame->extended_data[ch]), frame->nb_samples,
                        0.0f);
        }
        frame->pts = int64_t(i) * frame->nb_samples;
        if (avcodec_send_frame(ctx.get(), frame.get()) < 0) {
            return false;
        }
        if (avcodec_receive_packet(ctx.get(), packet.get()) == 0 && packet->size > 0) {
            const int length = packet->size + int(kAdtsHeaderSize);
            uint8_t header[kAdtsHeaderSize];
            if (!MakeAdtsHeader(header, length, format.nSampleRate)) {
                return false;
            }
            // The common header says two channels; put in the real ones.
            header[2] = uint8_t((header[2] & 0xFE) | ((format.nChannelConfig >> 2) & 1));
            header[3] = uint8_t((header[3] & 0x3F) | ((format.nChannelConfig & 3) << 6));
            out.assign(header, header + kAdtsHeaderSize);
            out.insert(out.end(), packet->data, packet->data + packet->size);
            return true;
        }
    }
    return false;
}

} // namespace tavrin
