#include "compose/JpegPicture.h"

#include "av/AvPtr.h"
#include "base/Message.h"

#include <fstream>
#include <iterator>

namespace tavrin {

namespace {

// A JPEG file is small; read it whole and decode it as one MJPEG packet.
bool DecodeJpeg(const std::string& file, AvFramePtr& picture) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return false;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    if (bytes.size() < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8) {
        return false;
    }
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MJPEG);
    AvCodecContextPtr ctx(codec != nullptr ? avcodec_alloc_context3(codec) : nullptr);
    AvPacketPtr packet(av_packet_alloc());
    picture.reset(av_frame_alloc());
    if (!ctx || !packet || !picture || avcodec_open2(ctx.get(), codec, nullptr) < 0 ||
        av_new_packet(packet.get(), int(bytes.size())) < 0) {
        return false;
    }
    std::copy(bytes.begin(), bytes.end(), packet->data);
    if (avcodec_send_packet(ctx.get(), packet.get()) < 0) {
        return false;
    }
    avcodec_send_packet(ctx.get(), nullptr);
    return avcodec_receive_frame(ctx.get(), picture.get()) == 0 && picture->width > 0 &&
           picture->height > 0;
}

} // namespace

bool JpegSize(const std::string& file, int& w, int& h) {
    AvFramePtr picture;
    if (!DecodeJpeg(file, picture)) {
        return false;
    }
    w = picture->width;
    h = picture->height;
    return true;
}

bool JpegToYUV420(const std::string& file, int w, int h, std::vector<uint8_t>& buf) {
    AvFramePtr picture;
    if (w <= 0 || h <= 0 || !DecodeJpeg(file, picture)) {
        return false;
    }
    // JPEG is full range; the cards are encoded as limited-range video.
    SwsContextPtr sws(sws_getContext(picture->width, picture->height,
                                     AVPixelFormat(picture->format), w, h, AV_PIX_FMT_YUV420P,
                                     SWS_BICUBIC, nullptr, nullptr, nullptr));
    if (!sws) {
        return false;
    }
    buf.resize(size_t(w) * h * 3 / 2);
    uint8_t* planes[4] = {buf.data(), buf.data() + size_t(w) * h,
                          buf.data() + size_t(w) * h * 5 / 4, nullptr};
    int strides[4] = {w, w / 2, w / 2, 0};
    return sws_scale(sws.get(), picture->data, picture->linesize, 0, picture->height, planes,
                     strides) > 0;
}

bool CheckCardImage(int width, int height, const std::string& file) {
    int w = 0;
    int h = 0;
    if (!JpegSize(file, w, h)) {
        ShowMessage("此图片打不开", TMsgIcon::Warning);
        return false;
    }
    if (w == width && h == height) {
        return true;
    }
    ShowMessage("此图片分辨率不适合，需要 " + std::to_string(width) + "x" + std::to_string(height) +
                    " 分辨率",
                TMsgIcon::Warning);
    return false;
}

} // namespace tavrin
