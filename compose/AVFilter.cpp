#include "compose/AVFilter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/buffer.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
}

#include "base/ProgramDir.h"
#include "base/Trace.h"

namespace tavrin {

namespace {

constexpr int kPtsStep = 3600;

std::string Escaped(std::string_view text, std::string_view special) {
    std::string out;
    for (const char c : text) {
        if (special.find(c) != std::string_view::npos) {
            out += '\\';
        }
        out += c;
    }
    return out;
}

// A path as a drawtext option value inside a graph description: escaped
// once for the option list, then again for the graph.
std::string EscapedPath(const std::string& path) {
    return Escaped(Escaped(path, "\\': \t"), "\\'[],; \t");
}

bool RowDiffers(const uint8_t* row, int width, uint8_t value) {
    for (int x = 0; x < width; ++x) {
        if (row[x] != value) {
            return true;
        }
    }
    return false;
}

} // namespace

std::string DrawTextQuoted(const std::string& text) {
    // drawtext expands % sequences and takes \ as an escape; the option
    // parser ends a value at : and strips quotes, escapes and outer blanks.
    const std::string option = Escaped(Escaped(text, "\\%"), "\\': \t\r\n");
    // Inside graph-level quotes only a quote is special: close, escape, reopen.
    std::string quoted;
    quoted.reserve(option.size());
    for (const char c : option) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted;
}

std::string ResolveFontFiles(const std::string& description, const std::string& dir) {
    static constexpr std::string_view kKey = "fontfile=";
    static constexpr std::string_view kValueEnd = ":,;[]'\\";
    std::string out;
    out.reserve(description.size() + dir.size());
    bool quoted = false;
    size_t i = 0;
    while (i < description.size()) {
        const char c = description[i];
        // Only an option key outside quoted text, right after a filter name
        // or another option, names a font file.
        const bool atOption = i == 0 || description[i - 1] == '=' || description[i - 1] == ':';
        if (!quoted && atOption && description.compare(i, kKey.size(), kKey) == 0) {
            const size_t valueStart = i + kKey.size();
            size_t valueEnd = description.find_first_of(kValueEnd, valueStart);
            if (valueEnd == std::string::npos) {
                valueEnd = description.size();
            }
            const std::string value = description.substr(valueStart, valueEnd - valueStart);
            out += kKey;
            const bool endsPlain = valueEnd == description.size() ||
                                   (description[valueEnd] != '\\' && description[valueEnd] != '\'');
            if (!value.empty() && value.front() != '/' && endsPlain) {
                std::string path = dir;
                path += '/';
                path += value;
                out += EscapedPath(path);
            } else {
                out += value;
            }
            i = valueEnd;
            continue;
        }
        // Inside quotes the graph parser takes a backslash literally.
        if (!quoted && c == '\\' && i + 1 < description.size()) {
            out += c;
            out += description[i + 1];
            i += 2;
            continue;
        }
        if (c == '\'') {
            quoted = !quoted;
        }
        out += c;
        ++i;
    }
    return out;
}

int TAVFilter::initialize(const std::string& sWaterMark, int nW, int nH) {
    return initialize(sWaterMark, nW, nH, ProgramDir());
}

int TAVFilter::initialize(const std::string& sWaterMark, int nW, int nH,
                          const std::string& fontDir) {
    Destroy();
    nWidth = nW;
    nHeight = nH;
    pts = 0;
    nEffectCount = 0;
    nBuildResult = AVERROR(EINVAL);

    frame_in.reset(av_frame_alloc());
    frame_out.reset(av_frame_alloc());
    const int poolSize = av_image_get_buffer_size(AV_PIX_FMT_YUV420P, nW, nH, 1);
    if (!frame_in || !frame_out || nW <= 0 || nH <= 0 || poolSize <= 0) {
        return nBuildResult;
    }
    frame_buffer_in.reset(av_buffer_pool_init(size_t(poolSize), nullptr));
    AvFilterGraphPtr graph(avfilter_graph_alloc());
    AvFilterInOutPtr outputs(avfilter_inout_alloc());
    AvFilterInOutPtr inputs(avfilter_inout_alloc());
    if (!frame_buffer_in || !graph || !outputs || !inputs) {
        return nBuildResult;
    }

    char args[256];
    std::snprintf(args, sizeof(args),
                  "video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d", nW, nH,
                  int(AV_PIX_FMT_YUV420P), 1, 25, 1, 1);
    AVFilterContext* src = nullptr;
    AVFilterContext* sink = nullptr;
    int ret = avfilter_graph_create_filter(&src, avfilter_get_by_name("buffer"), "in", args,
                                           nullptr, graph.get());
    if (ret >= 0) {
        ret = avfilter_graph_create_filter(&sink, avfilter_get_by_name("buffersink"), "out",
                                           nullptr, nullptr, graph.get());
    }
    if (ret >= 0) {
        const AVPixelFormat formats[] = {AV_PIX_FMT_YUV420P, AV_PIX_FMT_NONE};
        ret =
            av_opt_set_int_list(sink, "pix_fmts", formats, AV_PIX_FMT_NONE, AV_OPT_SEARCH_CHILDREN);
    }
    if (ret >= 0) {
        outputs->name = av_strdup("in");
        outputs->filter_ctx = src;
        outputs->pad_idx = 0;
        outputs->next = nullptr;
        inputs->name = av_strdup("out");
        inputs->filter_ctx = sink;
        inputs->pad_idx = 0;
        inputs->next = nullptr;
        AVFilterInOut* in = inputs.release();
        AVFilterInOut* out = outputs.release();
        const std::string description = ResolveFontFiles(sWaterMark, fontDir);
        ret = avfilter_graph_parse_ptr(graph.get(), description.c_str(), &in, &out, nullptr);
        inputs.reset(in);
        outputs.reset(out);
    }
    if (ret >= 0) {
        ret = avfilter_graph_config(graph.get(), nullptr);
    }
    if (ret < 0) {
        char text[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(ret, text, sizeof(text));
        Trace(std::string("filter build failed: ") + text);
        nBuildResult = ret;
        return ret;
    }
    frame_in->width = nW;
    frame_in->height = nH;
    frame_in->format = AV_PIX_FMT_YUV420P;
    filter_graph = std::move(graph);
    buffersrc_ctx = src;
    buffersink_ctx = sink;
    nBuildResult = 0;
    return 0;
}

int TAVFilter::PushFrame(const AVFrame* PInFrame, AVFrame*& POutFrame) {
    ++nEffectCount;
    POutFrame = nullptr;
    if (nBuildResult < 0) {
        return nBuildResult;
    }
    if (PInFrame == nullptr || PInFrame->width != nWidth || PInFrame->height != nHeight ||
        PInFrame->format != AV_PIX_FMT_YUV420P) {
        return AVERROR(EINVAL);
    }
    av_frame_unref(frame_out.get());

    AVBufferRef* buffer = av_buffer_pool_get(frame_buffer_in.get());
    if (buffer == nullptr) {
        return AVERROR(ENOMEM);
    }
    frame_in->buf[0] = buffer;
    frame_in->width = nWidth;
    frame_in->height = nHeight;
    frame_in->format = AV_PIX_FMT_YUV420P;
    av_image_fill_arrays(frame_in->data, frame_in->linesize, buffer->data, AV_PIX_FMT_YUV420P,
                         nWidth, nHeight, 1);
    av_image_copy(frame_in->data, frame_in->linesize, const_cast<const uint8_t**>(PInFrame->data),
                  PInFrame->linesize, AV_PIX_FMT_YUV420P, nWidth, nHeight);
    pts += kPtsStep;
    frame_in->pts = pts;
    // The source takes the reference; frame_in is left empty.
    int ret = av_buffersrc_add_frame_flags(buffersrc_ctx, frame_in.get(), 0);
    if (ret < 0) {
        av_frame_unref(frame_in.get());
        return ret;
    }
    ret = av_buffersink_get_frame(buffersink_ctx, frame_out.get());
    if (ret < 0) {
        return ret;
    }
    POutFrame = frame_out.get();
    return 0;
}

int TAVFilter::PushFrameInPlace(AVFrame* PInFrame, AVFrame*& POutFrame) {
    ++nEffectCount;
    POutFrame = nullptr;
    if (nBuildResult < 0) {
        return nBuildResult;
    }
    if (PInFrame == nullptr || PInFrame->buf[0] == nullptr || PInFrame->width != nWidth ||
        PInFrame->height != nHeight || PInFrame->format != AV_PIX_FMT_YUV420P) {
        return AVERROR(EINVAL);
    }
    av_frame_unref(frame_out.get());
    pts += kPtsStep;
    PInFrame->pts = pts;
    const int ret = av_buffersrc_add_frame_flags(buffersrc_ctx, PInFrame, 0);
    if (ret < 0) {
        return ret;
    }
    const int got = av_buffersink_get_frame(buffersink_ctx, frame_out.get());
    if (got < 0) {
        return got;
    }
    POutFrame = frame_out.get();
    return 0;
}

bool TAVFilter::DrawnRows(int& nFirst, int& nLast) {
    const int64_t savedPts = pts;
    const int64_t savedCount = nEffectCount;
    AvFramePtr probe(av_frame_alloc());
    nFirst = nHeight;
    nLast = -1;
    bool ran = probe != nullptr;
    if (ran) {
        probe->format = AV_PIX_FMT_YUV420P;
        probe->width = nWidth;
        probe->height = nHeight;
        ran = av_frame_get_buffer(probe.get(), 0) >= 0;
    }
    // A pixel any caption colour covers differs from black or from white.
    for (const uint8_t back : {uint8_t(0), uint8_t(255)}) {
        if (!ran) {
            break;
        }
        for (int plane = 0; plane < 3; ++plane) {
            const int rows = plane == 0 ? nHeight : (nHeight + 1) / 2;
            std::memset(probe->data[plane], plane == 0 ? back : 128,
                        size_t(probe->linesize[plane]) * size_t(rows));
        }
        AVFrame* drawn = nullptr;
        ran = PushFrame(probe.get(), drawn) == 0 && drawn != nullptr;
        for (int y = 0; ran && y < nHeight; ++y) {
            const bool changed =
                RowDiffers(drawn->data[0] + size_t(y) * size_t(drawn->linesize[0]), nWidth, back) ||
                RowDiffers(drawn->data[1] + size_t(y / 2) * size_t(drawn->linesize[1]),
                           (nWidth + 1) / 2, 128) ||
                RowDiffers(drawn->data[2] + size_t(y / 2) * size_t(drawn->linesize[2]),
                           (nWidth + 1) / 2, 128);
            if (changed) {
                nFirst = std::min(nFirst, y);
                nLast = std::max(nLast, y);
            }
        }
        av_frame_unref(frame_out.get());
    }
    pts = savedPts;
    nEffectCount = savedCount;
    return ran && nLast >= nFirst;
}

int TAVFilter::GetFrame(AVFrame*& POutFrame) {
    POutFrame = nullptr;
    if (nBuildResult < 0) {
        return nBuildResult;
    }
    av_frame_unref(frame_out.get());
    const int ret = av_buffersink_get_frame(buffersink_ctx, frame_out.get());
    if (ret < 0) {
        return ret;
    }
    POutFrame = frame_out.get();
    return 0;
}

void TAVFilter::Destroy() {
    if (frame_out) {
        av_frame_unref(frame_out.get());
    }
    buffersrc_ctx = nullptr;
    buffersink_ctx = nullptr;
    filter_graph.reset();
    frame_in.reset();
    frame_out.reset();
    frame_buffer_in.reset();
    nBuildResult = AVERROR(EINVAL);
}

} // namespace tavrin
