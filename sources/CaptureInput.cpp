#include "sources/CaptureInput.h"

#include "base/Trace.h"
#include "decode/AlsaLog.h"

extern "C" {
#include <libavdevice/avdevice.h>
#include <libavutil/time.h>
}

namespace tavrin {

namespace {
constexpr int64_t kDeviceTimeoutUs = 3000000;
}

const char* CaptureInputFormat(TCaptureBackend backend) {
    switch (backend) {
    case TCaptureBackend::V4L2:
        return "video4linux2";
    case TCaptureBackend::Alsa:
        return "alsa";
    case TCaptureBackend::Virtual:
        return "lavfi";
    }
    return "";
}

std::string VideoCaptureUrl(TCaptureBackend backend, const std::string& path, int w, int h,
                            int rate) {
    if (backend != TCaptureBackend::Virtual) {
        return path;
    }
    const size_t comma = path.find(',');
    const std::string source = path.substr(0, comma);
    const std::string filters = comma == std::string::npos ? "" : path.substr(comma);
    const char joiner = source.find('=') == std::string::npos ? '=' : ':';
    // A camera delivers packed YUYV in real time; the virtual one does too.
    return source + joiner + "size=" + std::to_string(w) + "x" + std::to_string(h) +
           ":rate=" + std::to_string(rate) + filters + ",format=yuyv422,realtime";
}

std::string AudioCaptureUrl(TCaptureBackend backend, const std::string& path, int rate) {
    if (backend != TCaptureBackend::Virtual) {
        return path;
    }
    const size_t comma = path.find(',');
    const std::string source = path.substr(0, comma);
    const std::string filters = comma == std::string::npos ? "" : path.substr(comma);
    const char joiner = source.find('=') == std::string::npos ? '=' : ':';
    // 20 ms periods of 16-bit stereo, as the sound card is asked for.
    return source + joiner + "sample_rate=" + std::to_string(rate) +
           ":samples_per_frame=" + std::to_string(rate / 50) + filters +
           ",aformat=sample_fmts=s16:channel_layouts=stereo,arealtime";
}

int TCaptureInterrupt::Callback(void* opaque) {
    const auto* self = static_cast<const TCaptureInterrupt*>(opaque);
    if (self->bStop.load()) {
        return 1;
    }
    const int64_t deadline = self->nDeadlineUs.load();
    return deadline != 0 && av_gettime_relative() > deadline ? 1 : 0;
}

void TCaptureInterrupt::Arm() {
    nDeadlineUs.store(av_gettime_relative() + kDeviceTimeoutUs);
}

int OpenCaptureInput(TCaptureBackend backend, const std::string& url, AVDictionary* options,
                     AVMediaType kind, TCaptureInterrupt& interrupt,
                     AvInputFormatContextPtr& pFormatCtx, int& streamIndex,
                     AvCodecContextPtr& pCodecCtx) {
    static std::once_flag registered;
    std::call_once(registered, [] { avdevice_register_all(); });
    // FFmpeg's ALSA input talks to libasound directly.
    RouteAlsaLogToTrace();

    const AVInputFormat* fmt = av_find_input_format(CaptureInputFormat(backend));
    if (!fmt) {
        return -1;
    }
    AVFormatContext* ctx = avformat_alloc_context();
    if (!ctx) {
        return -1;
    }
    // Reads return at once when the device has nothing; the thread polls.
    ctx->flags |= AVFMT_FLAG_NONBLOCK;
    ctx->interrupt_callback.callback = TCaptureInterrupt::Callback;
    ctx->interrupt_callback.opaque = &interrupt;
    AVDictionary* opts = nullptr;
    av_dict_copy(&opts, options, 0);
    AvDictionaryPtr optsOwner;
    interrupt.Arm();
    const int opened = avformat_open_input(&ctx, url.c_str(), fmt, &opts);
    optsOwner.reset(opts);
    if (opened < 0) {
        interrupt.Disarm();
        return -1; // avformat_open_input freed the context
    }
    pFormatCtx.reset(ctx);
    interrupt.Arm();
    const int info = avformat_find_stream_info(ctx, nullptr);
    interrupt.Disarm();
    if (info < 0) {
        return -2;
    }
    streamIndex = -1;
    for (unsigned i = 0; i < ctx->nb_streams; ++i) {
        if (ctx->streams[i]->codecpar->codec_type == kind) {
            streamIndex = int(i); // the last one is used
        }
    }
    if (streamIndex < 0) {
        return -3;
    }
    const AVCodecParameters* par = ctx->streams[streamIndex]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    if (!codec) {
        return -4;
    }
    pCodecCtx.reset(avcodec_alloc_context3(codec));
    if (!pCodecCtx || avcodec_parameters_to_context(pCodecCtx.get(), par) < 0 ||
        avcodec_open2(pCodecCtx.get(), codec, nullptr) < 0) {
        return -5;
    }
    return 0;
}

void TMarkerQueue::Push(uint8_t nFrameType) {
    std::lock_guard lock(FFrameLock);
    if (pLink.size() >= kMaxMarkers) {
        pLink.pop_front();
    }
    pLink.push_back(TZeroMediaFrameHead{nFrameType, 0, LocalWallClockMicros()});
}

int TMarkerQueue::GetPackage(TZeroMediaFrameHead& head) {
    std::lock_guard lock(FFrameLock);
    if (pLink.empty()) {
        return -1;
    }
    head = pLink.front();
    return 0;
}

void TMarkerQueue::DeleteHead() {
    std::lock_guard lock(FFrameLock);
    if (!pLink.empty()) {
        pLink.pop_front();
    }
}

void TMarkerQueue::Clear() {
    std::lock_guard lock(FFrameLock);
    pLink.clear();
}

size_t TMarkerQueue::Size() {
    std::lock_guard lock(FFrameLock);
    return pLink.size();
}

} // namespace tavrin
