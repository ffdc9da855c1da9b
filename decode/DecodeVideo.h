// H.264 decoder of one source. Each decoded picture yields a preview of the
// size its display port shows (1280 x 720 until told) and, when the channel is on the programme, a
// clip picture of the size the compositor asks for: the whole picture scaled, or a movable 16:9 cut
// area of it.
#pragma once

#include "av/AvPtr.h"
#include "decode/TestRect.h"
#include "decode/YuvScaler.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace tavrin {

class TDecodeVideo {
public:
    static constexpr int kPreviewW = 1280;
    static constexpr int kPreviewH = 720;
    // Clip pictures are served up to this size.
    static constexpr int kMaxClipW = 1920;
    static constexpr int kMaxClipH = 1080;

    TDecodeVideo() = default;
    ~TDecodeVideo() { Destroy(); }
    TDecodeVideo(const TDecodeVideo&) = delete;
    TDecodeVideo& operator=(const TDecodeVideo&) = delete;

    // 0, -1 when there is no H.264 decoder, -2 when it does not open. A
    // live channel (bLive) wants each picture as soon as its unit is in:
    // its decoder threads work on slices, since frame threads hold back
    // one picture per extra thread (80 ms at three threads). Replay and the
    // MP4 builder keep frame threads for throughput.
    int initialize(int nYUVWidth = 0, int nYUVHeight = 0, bool bLive = false);

    // nType 9/10: pInPackage is one H.264 access unit of nSize bytes; other
    // types produce nothing. Returns non-zero when a picture was produced.
    // The pictures belong to the decoder and stay valid until the next call;
    // POutFrame_Clip is null while no clip size within 1920 x 1080 has been
    // set. A clip or a preview of the source's own size is the decoded
    // picture itself (not packed: read it by its line sizes).
    int GetFrame_includeClip(bool bFullScreen, const uint8_t* pInPackage, int nSize,
                             AVFrame*& POutFrame, AVFrame*& POutFrame_Clip, int nType);
    // The same for a picture a local source has already decoded (YUV420P);
    // a clip of its own size is that picture, valid while the caller keeps it.
    int GetFrame_includeClip(bool bFullScreen, const AVFrame* pDecoded, AVFrame*& POutFrame,
                             AVFrame*& POutFrame_Clip);
    // Preview only (the channel is not on the programme).
    int GetFrame(const uint8_t* pInPackage, int nSize, AVFrame*& POutFrame, int nType);
    int GetFrame(const AVFrame* pDecoded, AVFrame*& POutFrame);
    // Replay: 1920 x 1080 pictures when nOutPix is non-zero, else pictures
    // of the preview size (see SetPreviewSize), the decoded picture itself
    // when that is its own size.
    int GetFrame_Replay(const uint8_t* pInPackage, int nSize, AVFrame*& POutFrame, int nType,
                        int nOutPix);

    bool SetClipWH(int w, int h);
    // The size the preview is made at, normally its port's, so the port
    // shows it without scaling it again; 0 or less: 1280 x 720. At the
    // picture's own size the preview is the picture itself. Called by the
    // thread that decodes.
    void SetPreviewSize(int w, int h);
    // Whether previews are made at all: a channel nobody watches (no
    // display) gets no preview (POutFrame stays null) and is only decoded
    // and clipped. Called by the thread that decodes.
    void SetPreviewWanted(bool bWanted) { bPreviewWanted = bWanted; }
    // Previews scaled so far (a preview of the picture's own size is the
    // picture and not counted).
    uint64_t PreviewsScaled() const { return nPreviewsScaled; }
    // The stamp given to the next H.264 unit, and the stamp of the unit the
    // last picture came from (pictures may leave the decoder later than
    // their unit went in).
    void SetPacketPts(int64_t pts) { nPacketPts = pts; }
    int64_t PicturePts() const { return nPicturePts; }
    bool SetClipArea(int xStart, int yStart, int xEnd, int yEnd, int& xMiddleFocusPos,
                     int& yMiddleFocusPos);
    bool MoveCutArea(int incream_H, int incream_V);
    bool GetClipRect(SDL_Rect& sd, int& w, int& h) const;
    bool GetCovertRectFromInterfaceToDisp(TestRect& rTestRect, int DW, int DH);
    // The source size as last decoded; any thread may ask.
    bool GetifHasDecode() const;
    bool GetWH(int& w, int& h) const;
    std::string GetPIX() const;

    void Destroy();

private:
    struct TCutState {
        int xW, xH, xW_Source, xH_Source, xPos, yPos;
    };
    struct TArea {
        int x, y, w, h;
    };

    // Decodes the next picture of an H.264 unit (types 9 and 10).
    const AVFrame* DecodeUnit(const uint8_t* pInPackage, int nSize, int nType);
    // Accepts a picture for the channel; on a new source size resets a cut
    // area that no longer fits. Returns the picture or null.
    const AVFrame* TakePicture(const AVFrame* pic);
    int MakeClipAndPreview(bool bFullScreen, const AVFrame* pic, AVFrame*& POutFrame,
                           AVFrame*& POutFrame_Clip);
    int MakePreview(const AVFrame* pic, AVFrame*& POutFrame);
    const AVFrame* Decode(const uint8_t* pInPackage, int nSize);
    TCutState ReadCutState();
    // The cut area used for the last picture, read by the overlay.
    void SetTrueRect(const SDL_Rect& used);
    // Steps 2 to 4 of a permille rectangle to a source-pixel area.
    bool PermilleToArea(int xStart, int yStart, int xEnd, int yEnd, TArea& area) const;
    void DescribeCutArea(const AVFrame* pic, int x, int y, int cw, int ch);
    static size_t PackedSize(int w, int h);
    void DescribePacked(AVFrame* frame, uint8_t* base, int w, int h);
    // The preview of pic, or null when it cannot be made.
    AVFrame* ScalePreview(const AVFrame* pic);

    AvPacketPtr AVPackets;
    AvCodecContextPtr pVideoCodecCtx;
    const AVCodec* pVideoCodec = nullptr;
    AvFramePtr pVideoRaw_Comm;
    AvFramePtr pFrameYUV;
    AvFramePtr pFrameYUV_Clip;
    AvFramePtr pFrameYUV_4K;   // describes the cut area inside the picture, owns nothing
    TYuvScaler pSwsCxt;        // whole picture to the clip size
    TYuvScaler pSwsCxt_Clip;   // cut area to the clip size
    TYuvScaler pSwsCxt_Client; // whole picture to the preview (or replay) size
    int lnYUVWidth = 0;
    int lnYUVHeight = 0;
    int xW = 0;
    int xH = 0;
    int xW_Source = 0;
    int xH_Source = 0;
    int xPos = 0;
    int yPos = 0;
    std::vector<uint8_t> clipBuf;    // behind pFrameYUV_Clip
    std::vector<uint8_t> previewBuf; // behind pFrameYUV
    bool bPreviewWanted = true;
    std::atomic<uint64_t> nPreviewsScaled{0};
    int previewW = kPreviewW;
    int previewH = kPreviewH;
    SDL_Rect trueRect{0, 0, 0, 0};
    int64_t nPacketPts = 0;
    int64_t nPicturePts = 0;
    mutable std::mutex FLock;
};

} // namespace tavrin
