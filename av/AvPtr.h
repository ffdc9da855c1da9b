// Owning handles for FFmpeg objects, so every codec, frame, packet, scaler,
// resampler, filter graph and container is released exactly once on every
// path. Shared by the decoders, the encoders and everything built on them.
#pragma once

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavformat/avformat.h>
#include <libavutil/buffer.h>
#include <libavutil/frame.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace tavrin {

struct AvCodecContextDeleter {
    void operator()(AVCodecContext* p) const { avcodec_free_context(&p); }
};
struct AvFrameDeleter {
    void operator()(AVFrame* p) const { av_frame_free(&p); }
};
struct AvPacketDeleter {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct SwsContextDeleter {
    void operator()(SwsContext* p) const { sws_freeContext(p); }
};
struct SwrContextDeleter {
    void operator()(SwrContext* p) const { swr_free(&p); }
};
struct AvFilterGraphDeleter {
    void operator()(AVFilterGraph* p) const { avfilter_graph_free(&p); }
};
struct AvFilterInOutDeleter {
    void operator()(AVFilterInOut* p) const { avfilter_inout_free(&p); }
};
// An input container (opened with avformat_open_input).
struct AvInputFormatContextDeleter {
    void operator()(AVFormatContext* p) const { avformat_close_input(&p); }
};
// An output container (allocated with avformat_alloc_output_context2); the
// caller closes its pb first if it opened one.
struct AvOutputFormatContextDeleter {
    void operator()(AVFormatContext* p) const { avformat_free_context(p); }
};
struct AvDictionaryDeleter {
    void operator()(AVDictionary* p) const { av_dict_free(&p); }
};
struct AvBufferPoolDeleter {
    // Buffers still referenced keep the pool alive until they are released.
    void operator()(AVBufferPool* p) const { av_buffer_pool_uninit(&p); }
};
// Memory from av_malloc / av_mallocz.
struct AvMemDeleter {
    void operator()(void* p) const { av_free(p); }
};

using AvCodecContextPtr = std::unique_ptr<AVCodecContext, AvCodecContextDeleter>;
using AvFramePtr = std::unique_ptr<AVFrame, AvFrameDeleter>;
using AvPacketPtr = std::unique_ptr<AVPacket, AvPacketDeleter>;
using SwsContextPtr = std::unique_ptr<SwsContext, SwsContextDeleter>;
using SwrContextPtr = std::unique_ptr<SwrContext, SwrContextDeleter>;
using AvFilterGraphPtr = std::unique_ptr<AVFilterGraph, AvFilterGraphDeleter>;
using AvFilterInOutPtr = std::unique_ptr<AVFilterInOut, AvFilterInOutDeleter>;
using AvInputFormatContextPtr = std::unique_ptr<AVFormatContext, AvInputFormatContextDeleter>;
using AvOutputFormatContextPtr = std::unique_ptr<AVFormatContext, AvOutputFormatContextDeleter>;
using AvDictionaryPtr = std::unique_ptr<AVDictionary, AvDictionaryDeleter>;
using AvBufferPoolPtr = std::unique_ptr<AVBufferPool, AvBufferPoolDeleter>;
template <typename T> using AvMemPtr = std::unique_ptr<T, AvMemDeleter>;

// A w x h picture with buffers of its own; null when it cannot be allocated.
inline AvFramePtr AllocPicture(int w, int h, AVPixelFormat format = AV_PIX_FMT_YUV420P) {
    AvFramePtr f(av_frame_alloc());
    if (!f) {
        return nullptr;
    }
    f->format = format;
    f->width = w;
    f->height = h;
    if (av_frame_get_buffer(f.get(), 0) < 0) {
        return nullptr;
    }
    return f;
}

} // namespace tavrin
