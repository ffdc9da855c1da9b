#include "compose/JpegToYUV420.h"

#include "av/AvPtr.h"
#include "base/Message.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <sys/stat.h>
#include <vector>

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
}

namespace tavrin {

namespace {

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The MJPEG decoder hands out the full-range "j" formats; the scaler needs
// them named as their plain equivalents with the range set explicitly.
AVPixelFormat PlainFormat(AVPixelFormat f) {
    switch (f) {
    case AV_PIX_FMT_YUVJ420P:
        return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P:
        return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P:
        return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P:
        return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P:
        return AV_PIX_FMT_YUV411P;
    default:
        return f;
    }
}

bool IsFullRange(const AVFrame* f) {
    const auto fmt = static_cast<AVPixelFormat>(f->format);
    return f->color_range == AVCOL_RANGE_JPEG || PlainFormat(fmt) != fmt;
}

} // namespace

// Decodes the JPEG bytes directly with the MJPEG decoder instead of going
// through a temporary container file: same picture, no disk round trip.
int JpegToYUV420(const std::string& jpegFile, const std::string& outFile, uint8_t* buffer,
                 int height, int width) {
    if (!FileExists(jpegFile)) {
        ShowMessage(jpegFile + " 图片找不到");
        return kJpegMissing;
    }
    if (width <= 0 || height <= 0 || (width & 1) || (height & 1)) {
        return kJpegNoDestination;
    }
    std::ifstream in(jpegFile, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
        return kJpegHeader;
    }
    if (bytes.empty()) {
        return kJpegNoPicture;
    }

    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MJPEG);
    if (codec == nullptr) {
        return kJpegNoCodec;
    }
    AvCodecContextPtr ctx(avcodec_alloc_context3(codec));
    if (!ctx || avcodec_open2(ctx.get(), codec, nullptr) < 0) {
        return kJpegOpenRead;
    }
    AvPacketPtr packet(av_packet_alloc());
    AvFramePtr decoded(av_frame_alloc());
    if (!packet || !decoded || av_new_packet(packet.get(), static_cast<int>(bytes.size())) < 0) {
        return kJpegNoDestination;
    }
    std::copy(bytes.begin(), bytes.end(), packet->data);
    packet->flags |= AV_PKT_FLAG_KEY;
    if (avcodec_send_packet(ctx.get(), packet.get()) < 0) {
        return kJpegNoPicture;
    }
    avcodec_send_packet(ctx.get(), nullptr);
    if (avcodec_receive_frame(ctx.get(), decoded.get()) < 0 || decoded->width <= 0 ||
        decoded->height <= 0) {
        return kJpegNoPicture;
    }

    const AVPixelFormat srcFormat = PlainFormat(static_cast<AVPixelFormat>(decoded->format));
    // JPEG pictures are full range; the programme is limited range. The
    // ranges are set before the scaler initialises: a scaler made for equal
    // sizes and formats otherwise copies the planes and ignores the range
    // given afterwards.
    SwsContextPtr sws(sws_alloc_context());
    if (!sws) {
        return kJpegNoDestination;
    }
    SwsContext* c = sws.get();
    av_opt_set_int(c, "srcw", decoded->width, 0);
    av_opt_set_int(c, "srch", decoded->height, 0);
    av_opt_set_int(c, "src_format", srcFormat, 0);
    av_opt_set_int(c, "src_range", IsFullRange(decoded.get()) ? 1 : 0, 0);
    av_opt_set_int(c, "dstw", width, 0);
    av_opt_set_int(c, "dsth", height, 0);
    av_opt_set_int(c, "dst_format", AV_PIX_FMT_YUV420P, 0);
    av_opt_set_int(c, "dst_range", 0, 0);
    av_opt_set_int(c, "sws_flags", SWS_BICUBIC, 0);
    if (sws_init_context(c, nullptr, nullptr) < 0) {
        return kJpegNoDestination;
    }

    const size_t ySize = static_cast<size_t>(width) * height;
    std::vector<uint8_t> picture(ySize * 3 / 2);
    uint8_t* dst[4] = {picture.data(), picture.data() + ySize, picture.data() + ySize + ySize / 4,
                       nullptr};
    const int dstLines[4] = {width, width / 2, width / 2, 0};
    if (sws_scale(sws.get(), decoded->data, decoded->linesize, 0, decoded->height, dst, dstLines) <=
        0) {
        return kJpegNoDestination;
    }
    if (!outFile.empty()) {
        std::unique_ptr<FILE, int (*)(FILE*)> out(std::fopen(outFile.c_str(), "wb"), std::fclose);
        if (!out || std::fwrite(picture.data(), 1, picture.size(), out.get()) != picture.size()) {
            return kJpegTempOpen;
        }
    }
    if (buffer != nullptr) {
        std::copy(picture.begin(), picture.end(), buffer);
    }
    return 0;
}

} // namespace tavrin
