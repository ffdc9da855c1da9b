#include "mp4/ReencodeVideo.h"

extern "C" {
#include <libavutil/imgutils.h>
}

namespace tavrin {

int TReencodeVideo::initialize(int nW, int nH, int64_t nBitrate) {
    nWidth = nW;
    nHeight = nH;
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    decoder.reset(codec != nullptr ? avcodec_alloc_context3(codec) : nullptr);
    packet.reset(av_packet_alloc());
    decoded.reset(av_frame_alloc());
    scaled.reset(av_frame_alloc());
    if (!decoder || !packet || !decoded || !scaled ||
        avcodec_open2(decoder.get(), codec, nullptr) < 0) {
        return -1;
    }
    scaled->format = AV_PIX_FMT_YUV420P;
    scaled->width = nW;
    scaled->height = nH;
    if (av_frame_get_buffer(scaled.get(), 0) < 0) {
        return -1;
    }
    return encoder.initialize(nW, nH, nBitrate, false) == 0 ? 0 : -1;
}

bool TReencodeVideo::Push(const uint8_t* pUnit, int nSize, const TUnitSink& sink) {
    if (!decoder || nSize <= 0) {
        return true;
    }
    packet->data = const_cast<uint8_t*>(pUnit);
    packet->size = nSize;
    // A full decoder first hands out what it has; a unit it refuses is
    // dropped and the next key frame recovers.
    int sent = avcodec_send_packet(decoder.get(), packet.get());
    bool ok = true;
    if (sent == AVERROR(EAGAIN)) {
        ok = Receive(sink);
        sent = avcodec_send_packet(decoder.get(), packet.get());
    }
    packet->data = nullptr;
    packet->size = 0;
    return Receive(sink) && ok;
}

bool TReencodeVideo::Drain(const TUnitSink& sink) {
    if (!decoder) {
        return true;
    }
    avcodec_send_packet(decoder.get(), nullptr);
    if (!Receive(sink)) {
        return false;
    }
    int nType = 0;
    while (encoder.GetDelayedPackage(unit, nType) > 0) {
        if (!sink(unit, nType)) {
            return false;
        }
    }
    return true;
}

bool TReencodeVideo::Receive(const TUnitSink& sink) {
    while (avcodec_receive_frame(decoder.get(), decoded.get()) == 0) {
        // A picture already of the wanted size and format goes to the
        // encoder as it is; scaling it would only copy it.
        if (decoded->width == nWidth && decoded->height == nHeight &&
            decoded->format == AV_PIX_FMT_YUV420P) {
            int nType = 0;
            const bool encoded = encoder.GetPackage(decoded.get(), unit, nType) > 0;
            av_frame_unref(decoded.get());
            if (encoded && !sink(unit, nType)) {
                return false;
            }
            continue;
        }
        scaler.reset(sws_getCachedContext(
            scaler.release(), decoded->width, decoded->height, AVPixelFormat(decoded->format),
            nWidth, nHeight, AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr));
        const bool ok = scaler && sws_scale(scaler.get(), decoded->data, decoded->linesize, 0,
                                            decoded->height, scaled->data, scaled->linesize) > 0;
        av_frame_unref(decoded.get());
        int nType = 0;
        if (ok && encoder.GetPackage(scaled.get(), unit, nType) > 0 && !sink(unit, nType)) {
            return false;
        }
    }
    return true;
}

} // namespace tavrin
