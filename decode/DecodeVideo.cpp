#include "decode/DecodeVideo.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

#include "base/MediaFrame.h"
#include "base/Settings.h"
#include "base/Trace.h"

namespace tavrin {

namespace {

// The cut copy reads the planes directly, so it needs 8-bit 4:2:0 planar.
bool IsPlanar420(int format) {
    return format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUVJ420P;
}

int RoundDown16(int v) {
    return v / 16 * 16;
}

} // namespace

int TDecodeVideo::initialize(int /*nYUVWidth*/, int /*nYUVHeight*/, bool bLive) {
    Destroy();
    {
        std::lock_guard<std::mutex> lock(FLock);
        lnYUVWidth = lnYUVHeight = 0;
        xPos = yPos = 0;
        xW = xH = 0;
        xW_Source = xH_Source = 0;
    }
    pVideoCodec = avcodec_find_decoder(AV_CODEC_ID_H264);
    if (pVideoCodec == nullptr) {
        return -1;
    }
    AvCodecContextPtr ctx(avcodec_alloc_context3(pVideoCodec));
    if (!ctx) {
        return -2;
    }
    ctx->time_base = AVRational{1, 25};
    ctx->bit_rate = 0;
    ctx->codec_type = AVMEDIA_TYPE_VIDEO;
    ctx->pix_fmt = AV_PIX_FMT_NV12; // replaced by the stream's own format
    ctx->thread_count = DecoderThreadCount();
    ctx->thread_type = bLive ? FF_THREAD_SLICE : FF_THREAD_FRAME;
    if (avcodec_open2(ctx.get(), pVideoCodec, nullptr) < 0) {
        return -2;
    }
    pVideoCodecCtx = std::move(ctx);

    AVPackets.reset(av_packet_alloc());
    pVideoRaw_Comm.reset(av_frame_alloc());
    pFrameYUV.reset(av_frame_alloc());
    pFrameYUV_Clip.reset(av_frame_alloc());
    pFrameYUV_4K.reset(av_frame_alloc());
    if (!AVPackets || !pVideoRaw_Comm || !pFrameYUV || !pFrameYUV_Clip || !pFrameYUV_4K) {
        Destroy();
        return -2;
    }
    previewBuf.assign(PackedSize(kPreviewW, kPreviewH), 0);
    clipBuf.assign(size_t(kMaxClipW) * kMaxClipH * 3 / 2, 0);
    DescribePacked(pFrameYUV.get(), previewBuf.data(), kPreviewW, kPreviewH);
    DescribePacked(pFrameYUV_Clip.get(), clipBuf.data(), kMaxClipW, kMaxClipH);
    return 0;
}

size_t TDecodeVideo::PackedSize(int w, int h) {
    return size_t(w) * h + 2 * size_t((w + 1) / 2) * ((h + 1) / 2);
}

void TDecodeVideo::DescribePacked(AVFrame* frame, uint8_t* base, int w, int h) {
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = w;
    frame->height = h;
    // Odd sizes round the chroma planes up, as every scaler writes them.
    const int cw = (w + 1) / 2;
    const int ch = (h + 1) / 2;
    frame->data[0] = base;
    frame->data[1] = base + size_t(w) * h;
    frame->data[2] = frame->data[1] + size_t(cw) * ch;
    frame->linesize[0] = w;
    frame->linesize[1] = cw;
    frame->linesize[2] = cw;
}

const AVFrame* TDecodeVideo::Decode(const uint8_t* pInPackage, int nSize) {
    if (!pVideoCodecCtx || pInPackage == nullptr || nSize <= 0) {
        return nullptr;
    }
    AVPackets->data = const_cast<uint8_t*>(pInPackage);
    AVPackets->size = nSize;
    AVPackets->pts = nPacketPts;
    int sent = avcodec_send_packet(pVideoCodecCtx.get(), AVPackets.get());
    if (sent == AVERROR(EAGAIN)) {
        // A finished picture is still waiting: hand it out now and queue
        // this packet behind it, so neither is lost.
        av_frame_unref(pVideoRaw_Comm.get());
        const bool waiting = avcodec_receive_frame(pVideoCodecCtx.get(), pVideoRaw_Comm.get()) == 0;
        sent = avcodec_send_packet(pVideoCodecCtx.get(), AVPackets.get());
        if (waiting) {
            AVPackets->data = nullptr;
            AVPackets->size = 0;
            return pVideoRaw_Comm.get();
        }
    }
    AVPackets->data = nullptr;
    AVPackets->size = 0;
    if (sent < 0) {
        return nullptr;
    }
    av_frame_unref(pVideoRaw_Comm.get());
    if (avcodec_receive_frame(pVideoCodecCtx.get(), pVideoRaw_Comm.get()) < 0) {
        return nullptr;
    }
    return pVideoRaw_Comm.get();
}

const AVFrame* TDecodeVideo::DecodeUnit(const uint8_t* pInPackage, int nSize, int nType) {
    if (nType != kFrameH264 && nType != kFrameH264Key) {
        return nullptr;
    }
    const AVFrame* pic = Decode(pInPackage, nSize);
    if (pic != nullptr &&
        (pic->width != pVideoCodecCtx->width || pic->height != pVideoCodecCtx->height)) {
        Trace("pVideoCodecCtx.width <>pVideoRaw.width");
    }
    return pic;
}

const AVFrame* TDecodeVideo::TakePicture(const AVFrame* pic) {
    if (pic == nullptr || pic->width <= 0 || pic->height <= 0 || !pFrameYUV ||
        pic->data[0] == nullptr) {
        return nullptr;
    }
    nPicturePts = pic->pts;
    if (pic->width != lnYUVWidth || pic->height != lnYUVHeight) {
        std::lock_guard<std::mutex> lock(FLock);
        lnYUVWidth = pic->width;
        lnYUVHeight = pic->height;
        if (xPos + xW_Source > lnYUVWidth || yPos + xH_Source > lnYUVHeight) {
            xPos = yPos = 0;
            xW_Source = lnYUVWidth;
            xH_Source = lnYUVHeight;
        }
    }
    return pic;
}

void TDecodeVideo::SetTrueRect(const SDL_Rect& used) {
    std::lock_guard<std::mutex> lock(FLock);
    trueRect = used;
}

TDecodeVideo::TCutState TDecodeVideo::ReadCutState() {
    std::lock_guard<std::mutex> lock(FLock);
    return TCutState{xW, xH, xW_Source, xH_Source, xPos, yPos};
}

void TDecodeVideo::SetPreviewSize(int w, int h) {
    const bool given = w > 0 && h > 0;
    previewW = given ? w : kPreviewW;
    previewH = given ? h : kPreviewH;
}

AVFrame* TDecodeVideo::ScalePreview(const AVFrame* pic) {
    const int w = previewW;
    const int h = previewH;
    if (w == pic->width && h == pic->height && pic->format == AV_PIX_FMT_YUV420P) {
        return const_cast<AVFrame*>(pic);
    }
    const size_t need = PackedSize(w, h);
    if (previewBuf.size() < need) {
        previewBuf.resize(need); // a larger port: once, not per picture
    }
    DescribePacked(pFrameYUV.get(), previewBuf.data(), w, h);
    if (!pSwsCxt_Client.Prepare(pic->width, pic->height, pic->format, w, h) ||
        !pSwsCxt_Client.Scale(pic->data, pic->linesize, pFrameYUV->data, pFrameYUV->linesize)) {
        return nullptr;
    }
    ++nPreviewsScaled;
    return pFrameYUV.get();
}

void TDecodeVideo::DescribeCutArea(const AVFrame* pic, int x, int y, int cw, int ch) {
    // The scaler reads the area in place: the planes start at its corner and
    // keep the picture's own line sizes.
    pFrameYUV_4K->data[0] = pic->data[0] + size_t(y) * pic->linesize[0] + x;
    pFrameYUV_4K->data[1] = pic->data[1] + size_t(y / 2) * pic->linesize[1] + x / 2;
    pFrameYUV_4K->data[2] = pic->data[2] + size_t(y / 2) * pic->linesize[2] + x / 2;
    for (int i = 0; i < 3; ++i) {
        pFrameYUV_4K->linesize[i] = pic->linesize[i];
    }
    pFrameYUV_4K->width = cw;
    pFrameYUV_4K->height = ch;
    pFrameYUV_4K->format = pic->format;
}

int TDecodeVideo::GetFrame_includeClip(bool bFullScreen, const uint8_t* pInPackage, int nSize,
                                       AVFrame*& POutFrame, AVFrame*& POutFrame_Clip, int nType) {
    POutFrame = nullptr;
    POutFrame_Clip = nullptr;
    return MakeClipAndPreview(bFullScreen, TakePicture(DecodeUnit(pInPackage, nSize, nType)),
                              POutFrame, POutFrame_Clip);
}

int TDecodeVideo::GetFrame_includeClip(bool bFullScreen, const AVFrame* pDecoded,
                                       AVFrame*& POutFrame, AVFrame*& POutFrame_Clip) {
    POutFrame = nullptr;
    POutFrame_Clip = nullptr;
    if (pDecoded != nullptr && pDecoded->format != AV_PIX_FMT_YUV420P) {
        return 0;
    }
    return MakeClipAndPreview(bFullScreen, TakePicture(pDecoded), POutFrame, POutFrame_Clip);
}

int TDecodeVideo::MakeClipAndPreview(bool bFullScreen, const AVFrame* pic, AVFrame*& POutFrame,
                                     AVFrame*& POutFrame_Clip) {
    if (pic == nullptr) {
        return 0;
    }
    const int W = pic->width;
    const int H = pic->height;
    const TCutState s = ReadCutState();

    const bool clipServed = s.xW > 0 && s.xH > 0 && s.xW <= kMaxClipW && s.xH <= kMaxClipH;
    if (clipServed) {
        int cw = std::max(s.xW_Source, 0);
        int ch = std::max(s.xH_Source, 0);
        if (cw < s.xW || ch < s.xH) {
            cw = s.xW; // never upscale a small cut area
            ch = s.xH;
        }
        cw = std::min(cw, W);
        ch = std::min(ch, H);
        const bool full = bFullScreen || s.xW >= W || s.xH >= H || !IsPlanar420(pic->format);
        DescribePacked(pFrameYUV_Clip.get(), clipBuf.data(), s.xW, s.xH);
        if (full && s.xW == W && s.xH == H && pic->format == AV_PIX_FMT_YUV420P) {
            // The compositor copies rows out of any picture: at the source's
            // own size the decoded picture itself is the clip.
            SetTrueRect(SDL_Rect{0, 0, W, H});
            POutFrame_Clip = const_cast<AVFrame*>(pic);
        } else if (full) {
            SetTrueRect(SDL_Rect{0, 0, W, H});
            if (pSwsCxt.Prepare(W, H, pic->format, s.xW, s.xH) &&
                pSwsCxt.Scale(pic->data, pic->linesize, pFrameYUV_Clip->data,
                              pFrameYUV_Clip->linesize)) {
                POutFrame_Clip = pFrameYUV_Clip.get();
            }
        } else {
            const int x = std::clamp(s.xPos, 0, W - cw);
            const int y = std::clamp(s.yPos, 0, H - ch);
            SetTrueRect(SDL_Rect{x, y, cw, ch});
            DescribeCutArea(pic, x, y, cw, ch);
            if (pSwsCxt_Clip.Prepare(cw, ch, pic->format, s.xW, s.xH) &&
                pSwsCxt_Clip.Scale(pFrameYUV_4K->data, pFrameYUV_4K->linesize, pFrameYUV_Clip->data,
                                   pFrameYUV_Clip->linesize)) {
                POutFrame_Clip = pFrameYUV_Clip.get();
            }
        }
    }
    if (!bPreviewWanted) {
        return 1; // the clip (if any) is all there is to make
    }
    POutFrame = ScalePreview(pic);
    return POutFrame != nullptr ? 1 : 0;
}

int TDecodeVideo::GetFrame(const uint8_t* pInPackage, int nSize, AVFrame*& POutFrame, int nType) {
    POutFrame = nullptr;
    return MakePreview(TakePicture(DecodeUnit(pInPackage, nSize, nType)), POutFrame);
}

int TDecodeVideo::GetFrame(const AVFrame* pDecoded, AVFrame*& POutFrame) {
    POutFrame = nullptr;
    if (pDecoded != nullptr && pDecoded->format != AV_PIX_FMT_YUV420P) {
        return 0;
    }
    return MakePreview(TakePicture(pDecoded), POutFrame);
}

int TDecodeVideo::MakePreview(const AVFrame* pic, AVFrame*& POutFrame) {
    if (pic == nullptr) {
        return 0;
    }
    const int W = pic->width;
    const int H = pic->height;
    const TCutState s = ReadCutState();
    const int clipW = std::clamp(s.xW, 0, W);
    const int clipH = std::clamp(s.xH, 0, H);
    const int cw = std::clamp(s.xW_Source, clipW, W);
    const int ch = std::clamp(s.xH_Source, clipH, H);
    const int x = std::clamp(s.xPos, 0, W - cw);
    const int y = std::clamp(s.yPos, 0, H - ch);
    SetTrueRect(SDL_Rect{x, y, cw, ch});
    if (!bPreviewWanted) {
        return 1;
    }
    POutFrame = ScalePreview(pic);
    return POutFrame != nullptr ? 1 : 0;
}

int TDecodeVideo::GetFrame_Replay(const uint8_t* pInPackage, int nSize, AVFrame*& POutFrame,
                                  int /*nType*/, int nOutPix) {
    POutFrame = nullptr;
    const AVFrame* pic = Decode(pInPackage, nSize);
    if (pic == nullptr || pic->width <= 0 || pic->height <= 0) {
        return 0;
    }
    if (pic->width != lnYUVWidth || pic->height != lnYUVHeight) {
        std::lock_guard<std::mutex> lock(FLock);
        lnYUVWidth = pic->width;
        lnYUVHeight = pic->height;
    }
    if (nOutPix == 0) {
        POutFrame = ScalePreview(pic);
        return POutFrame != nullptr ? 1 : 0;
    }
    AVFrame* out = pFrameYUV_Clip.get();
    DescribePacked(out, clipBuf.data(), kMaxClipW, kMaxClipH);
    if (!pSwsCxt_Client.Prepare(pic->width, pic->height, pic->format, kMaxClipW, kMaxClipH) ||
        !pSwsCxt_Client.Scale(pic->data, pic->linesize, out->data, out->linesize)) {
        return 0;
    }
    POutFrame = out;
    return 1;
}

bool TDecodeVideo::SetClipWH(int w, int h) {
    std::lock_guard<std::mutex> lock(FLock);
    xW = w;
    xH = h;
    return true;
}

bool TDecodeVideo::PermilleToArea(int xStart, int yStart, int xEnd, int yEnd, TArea& area) const {
    const int W = lnYUVWidth;
    const int H = lnYUVHeight;
    if (W <= 0 || H <= 0 || xEnd > 1000 || yEnd > 1000 || (xStart == xEnd && yStart == yEnd) ||
        xStart < 0 || yStart < 0 || xStart > xEnd || yStart > yEnd) {
        return false;
    }
    int x = int(int64_t(xStart) * W / 1000);
    int y = int(int64_t(yStart) * H / 1000);
    int w = int(int64_t(xEnd - xStart) * W / 1000);
    int h = int(int64_t(yEnd - yStart) * H / 1000);
    // Widen to 16:9.
    if (h * 16 < w * 9) {
        h = w * 9 / 16;
        if (h > H) {
            // A portrait source: the widened area would be taller than the
            // picture; keep 16:9 by narrowing it, centred on the request.
            h = H;
            const int narrowed = H * 16 / 9;
            x += (w - narrowed) / 2;
            w = narrowed;
        }
        if (y + h > H) {
            y = H - h;
        }
    } else {
        w = h * 16 / 9;
        if (w > W) {
            // A portrait or 4:3 source: the widened area would be wider than
            // the picture; keep 16:9 by lowering it, centred on the request.
            w = W;
            const int lowered = W * 9 / 16;
            y += (h - lowered) / 2;
            h = lowered;
            x = 0;
        }
        if (x + w > W) {
            x = W - w;
        }
    }
    w = RoundDown16(w);
    h = RoundDown16(h);
    area = TArea{std::clamp(x, 0, std::max(W - w, 0)), std::clamp(y, 0, std::max(H - h, 0)), w, h};
    return true;
}

bool TDecodeVideo::SetClipArea(int xStart, int yStart, int xEnd, int yEnd, int& xMiddleFocusPos,
                               int& yMiddleFocusPos) {
    std::lock_guard<std::mutex> lock(FLock);
    TArea a{};
    if (!PermilleToArea(xStart, yStart, xEnd, yEnd, a)) {
        return false;
    }
    xPos = a.x;
    yPos = a.y;
    xW_Source = a.w;
    xH_Source = a.h;
    xMiddleFocusPos = int(int64_t(xPos + xW_Source / 2) * kPreviewW / lnYUVWidth);
    yMiddleFocusPos = int(int64_t(yPos + xH_Source / 2) * kPreviewH / lnYUVHeight);
    return true;
}

bool TDecodeVideo::GetCovertRectFromInterfaceToDisp(TestRect& rTestRect, int DW, int DH) {
    std::lock_guard<std::mutex> lock(FLock);
    TArea a{};
    if (!PermilleToArea(rTestRect.xStart, rTestRect.yStart, rTestRect.xEnd, rTestRect.yEnd, a)) {
        return false;
    }
    const int W = lnYUVWidth;
    const int H = lnYUVHeight;
    int minW = xW;
    int minH = xH;
    if (xW > W || xH > H) {
        minW = W;
        minH = H;
    }
    if (a.w < minW || a.h < minH) {
        a.w = minW;
        a.h = minH;
    }
    a.x = std::clamp(a.x, 0, std::max(W - a.w, 0));
    a.y = std::clamp(a.y, 0, std::max(H - a.h, 0));
    rTestRect.Rect = SDL_Rect{int(int64_t(DW) * a.x / W), int(int64_t(DH) * a.y / H),
                              int(int64_t(DW) * a.w / W), int(int64_t(DH) * a.h / H)};
    return true;
}

bool TDecodeVideo::MoveCutArea(int incream_H, int incream_V) {
    std::lock_guard<std::mutex> lock(FLock);
    const int W = lnYUVWidth;
    const int H = lnYUVHeight;
    if (xPos + incream_H + xW > W) {
        xPos = W - xW;
        return false;
    }
    if (yPos + incream_V + xH > H) {
        yPos = H - xH;
        return false;
    }
    if (xPos + incream_H < 0) {
        xPos = 0;
        return false;
    }
    if (yPos + incream_V < 0) {
        yPos = 0;
        return false;
    }
    xPos += incream_H;
    yPos += incream_V;
    return true;
}

bool TDecodeVideo::GetClipRect(SDL_Rect& sd, int& w, int& h) const {
    std::lock_guard<std::mutex> lock(FLock);
    sd = trueRect;
    w = lnYUVWidth;
    h = lnYUVHeight;
    return true;
}

bool TDecodeVideo::GetifHasDecode() const {
    std::lock_guard<std::mutex> lock(FLock);
    return lnYUVWidth > 0;
}

bool TDecodeVideo::GetWH(int& w, int& h) const {
    std::lock_guard<std::mutex> lock(FLock);
    w = lnYUVWidth;
    h = lnYUVHeight;
    return w != 0 && h != 0;
}

std::string TDecodeVideo::GetPIX() const {
    std::lock_guard<std::mutex> lock(FLock);
    switch (lnYUVWidth) {
    case 1280:
        return "(720P)";
    case 1920:
        return "(1080P)";
    case 3840:
        return "(4K)";
    default:
        return "";
    }
}

void TDecodeVideo::Destroy() {
    pSwsCxt.Reset();
    pSwsCxt_Clip.Reset();
    pSwsCxt_Client.Reset();
    pFrameYUV_4K.reset();
    pFrameYUV_Clip.reset();
    pFrameYUV.reset();
    pVideoRaw_Comm.reset();
    pVideoCodecCtx.reset();
    AVPackets.reset();
    pVideoCodec = nullptr;
    clipBuf = {};
    previewBuf = {};
}

} // namespace tavrin
