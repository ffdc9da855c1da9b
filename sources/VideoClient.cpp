#include "sources/VideoClient.h"

#include "base/Rounding.h"

extern "C" {
#include <libavutil/imgutils.h>
}

#include <algorithm>
#include <cmath>

namespace tavrin {

int HeightAfterCut(int width, int height) {
    if (int64_t(width) * 9 < int64_t(height) * 16) {
        return width * 9 / 16;
    }
    return height;
}

void TFrameRateGate::Reset(int nSrcFrameCount, int nDstFrameCount) {
    // A camera slower than wanted (or of unknown rate) passes every picture.
    realDiffFrameRate = nSrcFrameCount > 0 && nDstFrameCount > 0
                            ? double(nDstFrameCount) / double(nSrcFrameCount)
                            : 1.0;
    nFrame_Counter = 0;
    nFrameEncode_Counter = 0;
}

bool TFrameRateGate::Pass() {
    ++nFrame_Counter;
    if (nFrameEncode_Counter < std::llround(double(nFrame_Counter) * realDiffFrameRate)) {
        ++nFrameEncode_Counter;
        return true;
    }
    return false;
}

TVideoClient::~TVideoClient() {
    Destroy();
}

int TVideoClient::initialize(int ownerType, TNativeWindow xDspHandle,
                             const TNativeDeviceInfo_Video& dev, int w, int h, int Src_frameCount,
                             int Dst_frameCount, int sx, int sy, int sw, int sh, ICaptureSink* TC) {
    nType = ownerType;
    nDspHandle = xDspHandle;
    device = dev;
    nw = w;
    nh = h;
    nSrcFrameCount = Src_frameCount;
    nDstFrameCount = Dst_frameCount;
    xSDLR = SDL_Rect{sx, sy, sw, sh};
    ClientThread = TC;
    return OpenGuarded("video", [this] { return OpenVideoDevice(); });
}

int TVideoClient::OpenVideoDevice() {
    AVDictionary* raw = nullptr;
    const std::string size = std::to_string(nw) + "x" + std::to_string(nh);
    av_dict_set(&raw, "video_size", size.c_str(), 0);
    if (nSrcFrameCount > 0) {
        av_dict_set(&raw, "framerate", std::to_string(nSrcFrameCount).c_str(), 0);
    }
    AvDictionaryPtr options(raw);
    const std::string url = VideoCaptureUrl(device.backend, device.path, nw, nh,
                                            nSrcFrameCount > 0 ? nSrcFrameCount : 25);
    const int r = OpenInput(device.backend, url, options.get(), AVMEDIA_TYPE_VIDEO);
    if (r != 0) {
        return r;
    }
    const AVStream* st = pFormatCtx->streams[streamIndex];
    const AVRational rate = st->avg_frame_rate.num > 0 ? st->avg_frame_rate : st->r_frame_rate;
    if (rate.num > 0 && rate.den > 0) {
        nSrcFrameCount = RoundToInt(av_q2d(rate));
    }
    gate.Reset(nSrcFrameCount, nDstFrameCount);

    const int width = pCodecCtx->width;
    nOutWidth = width;
    nHeightAfterCut = HeightAfterCut(width, pCodecCtx->height);
    pOutFrame.reset(av_frame_alloc());
    if (!pOutFrame) {
        return -5;
    }
    // One packed buffer (planes back to back), the form a display port draws.
    const int bytes = av_image_get_buffer_size(AV_PIX_FMT_YUV420P, width, nHeightAfterCut, 1);
    if (bytes <= 0) {
        return -5;
    }
    outBuf.assign(size_t(bytes), 0);
    pOutFrame->format = AV_PIX_FMT_YUV420P;
    pOutFrame->width = width;
    pOutFrame->height = nHeightAfterCut;
    av_image_fill_arrays(pOutFrame->data, pOutFrame->linesize, outBuf.data(), AV_PIX_FMT_YUV420P,
                         width, nHeightAfterCut, 1);
    if (nType == kTypePreview) {
        Disp = std::make_unique<TDisplay>();
        Disp->initialize(nDspHandle, width, nHeightAfterCut, xSDLR, false);
    }
    return 0;
}

void TVideoClient::OnFrame(AVFrame* frame) {
    if (!gate.Pass() || frame->width != nOutWidth) {
        return;
    }
    const int cutRows = std::min(nHeightAfterCut, frame->height);
    convert_ctx = sws_getCachedContext(convert_ctx, frame->width, cutRows,
                                       AVPixelFormat(frame->format), nOutWidth, cutRows,
                                       AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (!convert_ctx) {
        return;
    }
    // Only the top rows go through the scaler: that is the 16:9 cut.
    sws_scale(convert_ctx, frame->data, frame->linesize, 0, cutRows, pOutFrame->data,
              pOutFrame->linesize);
    pOutFrame->pts = frame->pts;
    nPassed.fetch_add(1);
    if (nType == kTypePreview) {
        if (Disp) {
            Disp->pushFrame(pOutFrame->data[0], pOutFrame->linesize[0], nullptr, nullptr, nullptr,
                            nullptr);
        }
    } else {
        pLink.Push(kFrameMarkerVideo);
        if (ClientThread) {
            ClientThread->RealPlayYUV(pOutFrame.get());
        }
    }
}

void TVideoClient::Destroy() {
    StopAndClose();
    pOutFrame.reset();
    if (convert_ctx) {
        sws_freeContext(convert_ctx);
        convert_ctx = nullptr;
    }
    if (Disp) {
        Disp->Destroy();
        Disp.reset();
    }
    pLink.Clear();
}

} // namespace tavrin
