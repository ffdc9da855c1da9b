#include "output/EncodeVideo.h"

#include "base/H264Nal.h"
#include "base/MediaFrame.h"

extern "C" {
#include <libavutil/opt.h>
}

namespace tavrin {

namespace {
constexpr int kGop = 25;

// A unit that opens with a sequence parameter set is a key unit.
int UnitType(const AVPacket* packet) {
    return FirstNalType({packet->data, size_t(packet->size)}) == kNalSps ? kFrameH264Key
                                                                         : kFrameH264;
}
} // namespace

int TEncodeVideo::initialize(int W, int H, int64_t nBitrate, bool bMainProfile) {
    Destroy();
    nWidth = W;
    nHeight = H;
    pH264Codec = avcodec_find_encoder(AV_CODEC_ID_H264);
    if (pH264Codec == nullptr) {
        return -1;
    }
    AvCodecContextPtr ctx(avcodec_alloc_context3(pH264Codec));
    if (!ctx) {
        return -2;
    }
    ctx->codec_type = AVMEDIA_TYPE_VIDEO;
    ctx->codec_id = AV_CODEC_ID_H264;
    ctx->pix_fmt = AV_PIX_FMT_YUV420P;
    ctx->width = W;
    ctx->height = H;
    ctx->time_base = AVRational{1, 25};
    ctx->framerate = AVRational{25, 1};
    ctx->bit_rate = nBitrate;
    ctx->gop_size = kGop;
    // With scene cuts x264 would add key frames of its own; every I-block
    // of the store must be exactly one second.
    ctx->keyint_min = kGop;
    ctx->qmin = 10;
    ctx->qmax = 51;
    ctx->thread_count = 3;
    ctx->thread_type = FF_THREAD_FRAME;
    if (W >= 1280 || H >= 720) {
        ctx->colorspace = AVCOL_SPC_BT709;
        ctx->color_primaries = AVCOL_PRI_BT709;
        ctx->color_trc = AVCOL_TRC_BT709;
    }
    // No global header: SPS and PPS travel in-band before every key frame.

    AVDictionary* param = nullptr;
    av_dict_set(&param, "preset", "superfast", 0);
    av_dict_set(&param, "tune", "zerolatency", 0);
    av_dict_set(&param, "profile", bMainProfile ? "main" : "high", 0);
    av_dict_set(&param, "x264-params", "scenecut=0", 0);
    // A forced key picture is an IDR picture, so a recorded block can start on it.
    av_dict_set(&param, "forced-idr", "1", 0);
    const int opened = avcodec_open2(ctx.get(), pH264Codec, &param);
    av_dict_free(&param);
    if (opened < 0) {
        return -2;
    }

    AvPacketPtr pkt(av_packet_alloc());
    AvFramePtr frame = AllocPicture(W, H);
    AvFramePtr lent(av_frame_alloc());
    if (!pkt || !frame || !lent) {
        return -2;
    }
    pH264CodecCtx = std::move(ctx);
    packet = std::move(pkt);
    pInputFrame = std::move(frame);
    pLentFrame = std::move(lent);
    nNextPts = 0;
    nLastUnitPts = -1;
    bForceKey = false;
    bDraining = false;
    return 0;
}

int TEncodeVideo::GetPackage(const AVFrame* pInFrame, std::vector<uint8_t>& POutPackage,
                             int& nPackageType) {
    nPackageType = kFrameNone;
    POutPackage.clear();
    if (!pH264CodecCtx || pInFrame == nullptr || pInFrame->width != nWidth ||
        pInFrame->height != nHeight || pInFrame->format != AV_PIX_FMT_YUV420P) {
        return -1;
    }
    av_packet_unref(packet.get());
    AVFrame* input = pInputFrame.get();
    if (pInFrame->buf[0] != nullptr) {
        if (av_frame_ref(pLentFrame.get(), pInFrame) < 0) {
            return -1;
        }
        input = pLentFrame.get();
    } else if (av_frame_make_writable(pInputFrame.get()) < 0 ||
               av_frame_copy(pInputFrame.get(), pInFrame) < 0) {
        // The encoder has released the previous picture, so making it
        // writable does not allocate; it only would if libx264 still held it.
        return -1;
    }
    input->pts = nNextPts++;
    input->pict_type = bForceKey ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    bForceKey = false;
    const int sent = avcodec_send_frame(pH264CodecCtx.get(), input);
    av_frame_unref(pLentFrame.get());
    if (sent < 0) {
        return -1;
    }
    return ReceiveUnit(POutPackage, nPackageType);
}

int TEncodeVideo::GetDelayedPackage(std::vector<uint8_t>& POutPackage, int& nPackageType) {
    nPackageType = kFrameNone;
    POutPackage.clear();
    if (!pH264CodecCtx) {
        return -1;
    }
    if (!bDraining) {
        bDraining = true;
        avcodec_send_frame(pH264CodecCtx.get(), nullptr);
    }
    av_packet_unref(packet.get());
    return ReceiveUnit(POutPackage, nPackageType);
}

int TEncodeVideo::ReceiveUnit(std::vector<uint8_t>& POutPackage, int& nPackageType) {
    if (avcodec_receive_packet(pH264CodecCtx.get(), packet.get()) < 0 || packet->size <= 0) {
        av_packet_unref(packet.get());
        return -1;
    }
    const int size = packet->size;
    nLastUnitPts = packet->pts;
    nPackageType = UnitType(packet.get());
    POutPackage.assign(packet->data, packet->data + size);
    av_packet_unref(packet.get());
    return size;
}

void TEncodeVideo::Destroy() {
    pInputFrame.reset();
    pLentFrame.reset();
    packet.reset();
    pH264CodecCtx.reset();
    pH264Codec = nullptr;
}

} // namespace tavrin
