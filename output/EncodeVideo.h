// H.264 encoder for every place that makes video: the programme, local
// cameras, the still-image source and the MP4 builder. Output units are in
// the media frame payload form: Annex B with SPS and PPS in front of every
// key frame, one key frame every 25 pictures, no B-frames.
#pragma once

#include "av/AvPtr.h"

#include <cstdint>
#include <vector>

namespace tavrin {

class TEncodeVideo {
public:
    TEncodeVideo() = default;
    ~TEncodeVideo() { Destroy(); }
    TEncodeVideo(const TEncodeVideo&) = delete;
    TEncodeVideo& operator=(const TEncodeVideo&) = delete;

    // Opens libx264 for W x H YUV420P pictures at nBitrate bit/s, main or
    // high profile. 0 on success, -1 when there is no H.264 encoder, -2 when
    // it cannot be opened; after a failure every GetPackage returns -1.
    int initialize(int W, int H, int64_t nBitrate, bool bMainProfile);

    // Encodes the next picture of the 25 pictures-per-second stream (its own
    // timestamp is ignored). On success POutPackage holds the access unit,
    // nPackageType is kFrameH264Key (starting with an SPS) or kFrameH264, and
    // the size is returned. When no unit came out, or the picture is not
    // YUV420P of the opened size, returns -1 with POutPackage empty and
    // nPackageType kFrameNone.
    int GetPackage(const AVFrame* pInFrame, std::vector<uint8_t>& POutPackage, int& nPackageType);

    // At the end of a stream: the next unit the encoder still holds, as
    // GetPackage returns it; -1 when none is left. No picture may follow.
    int GetDelayedPackage(std::vector<uint8_t>& POutPackage, int& nPackageType);
    void Destroy();

    // Makes the next picture given to GetPackage an IDR picture (a key unit
    // with its SPS and PPS); the group of 25 counts on from there.
    void ForceKeyPicture() { bForceKey = true; }
    // The number the next picture given to GetPackage gets (0, 1, 2, ...).
    int64_t NextPictureIndex() const { return nNextPts; }
    // The number of the picture the last unit returned belongs to: with
    // frame threads the encoder hands units out a few pictures late.
    int64_t LastUnitPicture() const { return nLastUnitPts; }

    int Width() const { return nWidth; }
    int Height() const { return nHeight; }

private:
    // Takes the next unit out of the encoder as GetPackage returns it.
    int ReceiveUnit(std::vector<uint8_t>& POutPackage, int& nPackageType);

    AvCodecContextPtr pH264CodecCtx;
    const AVCodec* pH264Codec = nullptr;
    AvPacketPtr packet;
    // The encoder's own copy of the input picture, allocated once: the
    // caller's picture is not reference counted and libavcodec would
    // otherwise allocate a copy for every call.
    AvFramePtr pInputFrame;
    // A counted picture (the caption filter's) is lent by reference
    // instead: x264 copies it into its own frame as it takes it.
    AvFramePtr pLentFrame;
    int64_t nNextPts = 0;
    int64_t nLastUnitPts = -1;
    bool bForceKey = false;
    bool bDraining = false;
    int nWidth = 0;
    int nHeight = 0;
};

} // namespace tavrin
