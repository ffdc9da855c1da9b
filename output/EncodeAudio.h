// AAC encoder of the local sources: PCM in any format the resampler knows
// becomes 48 kHz stereo AAC-LC frames of 1024 samples, each handed out as a
// complete media frame (13-byte head, ADTS header, AAC data).
#pragma once

#include "av/AvPtr.h"

#include <cstdint>
#include <vector>

namespace tavrin {

class TEncodeAudio {
public:
    static constexpr int kFrameSamples = 1024;
    static constexpr int kOutRate = 48000;
    static constexpr int kBitrate = 131072;
    // Bytes of each per-channel accumulation buffer (250,000 float samples).
    static constexpr int kAccumulationBytes = 1000001;

    TEncodeAudio();
    ~TEncodeAudio();
    TEncodeAudio(const TEncodeAudio&) = delete;
    TEncodeAudio& operator=(const TEncodeAudio&) = delete;

    // Takes the input format from a decoder context. 0, or -3 no AAC
    // encoder, -4 encoder not opened, -2 resampler not initialized.
    int initialize(const AVCodecContext* pSrcAudioCodecCtx);
    // The same with explicit values (local sources pass interleaved s16).
    int initialize_item(AVSampleFormat sample_fmt, int channels, int sample_rate);

    // Converts nSamples input samples read from pData when given, else from
    // the planes of pPCM. Returns the samples converted at once (the rest is
    // drained into the buffers), -1 on a conversion error, -3 when draining
    // failed, -4 when the buffers have no room for another frame (the input
    // is refused, nothing is written) and -5 when there is no resampler or
    // one pointer cannot describe the planar input.
    int addPCM(const AVFrame* pPCM, int nSamples, const uint8_t* pData);

    // Feeds at most one 1024-sample frame and fetches at most one encoded
    // frame into pAAC (a complete media frame); returns its size or -3 when
    // none is ready. bFrameError tells that the encoder refused a frame.
    int GetAAC(std::vector<uint8_t>& pAAC, bool& bFrameError);

    void FlushBuf();

    // Bytes buffered in each channel's accumulation buffer.
    int BufferedBytes() const { return dstPos; }
    // Frames handed to the encoder so far, starting at 1.
    int FramesFed() const { return nHasFetchSrcFrame; }

private:
    int OpenEncoder();
    // Converts into the accumulation buffers; returns swr_convert's result.
    int Convert(const uint8_t* const* in, int inSamples);

    AVSampleFormat sample_fmt = AV_SAMPLE_FMT_NONE;
    int channels = 0;
    AVChannelLayout layout{};
    int sample_rate = 0;
    SwrContextPtr Actx;
    const AVCodec* pAudioCodec = nullptr;
    AvCodecContextPtr pAudioCodecCtx;
    int dstBytesPerSample = 0;
    std::vector<uint8_t> dstL_PCM;
    std::vector<uint8_t> dstR_PCM;
    int dstPos = 0;
    int nHasFetchSrcFrame = 1;
    AvFramePtr OUT_frame;
    AvPacketPtr packet;
};

} // namespace tavrin
