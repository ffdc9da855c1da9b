// Uploads a finished MP4 to the platform's media server as if it were a live
// stream of the lesson: reads it back packet by packet, turns every packet
// into a media frame as the live sources make them (ADTS in front of AAC,
// Annex B H.264 typed 10 or 9, stamps in microseconds) and feeds the frames
// to the media-server transfer while it has room.
#pragma once

#include "av/AvPtr.h"
#include "base/Thread.h"
#include "output/Adts.h"
#include "output/MSTransfer.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/bsf.h>
}

namespace tavrin {

struct AvBSFContextDeleter {
    void operator()(AVBSFContext* p) const { av_bsf_free(&p); }
};
using AvBSFContextPtr = std::unique_ptr<AVBSFContext, AvBSFContextDeleter>;

class TParseMp4 : public TThread {
public:
    enum : int {
        kInitOK = 0,
        kCannotOpen = -1, // not opened in 10 attempts 500 ms apart
        kNoStreamInfo = -2,
        kNoStreams = -3,       // no H.264 video or no AAC audio stream
        kTransferRefused = -4, // the login data do not fit (token over 100 bytes)
        kNoFilter = -5,        // FFmpeg lacks h264_mp4toannexb
    };
    static constexpr int kStepPackets = 101;
    static constexpr int kOpenAttempts = 10;
    static constexpr unsigned kOpenRetryMs = 500;

    TParseMp4() = default;
    ~TParseMp4() override;

    // Opens the file and starts the transfer; afterwards the caller starts
    // this thread with Start().
    int initizlize(const std::string& pFileName, const std::string& sIP, int nPort, int nLiveID,
                   int nLiveType, int nUserID, const std::string& sLiveToken);

    // -1 once the upload finished; a transfer error (-2 ... -5) when there is
    // one; otherwise the frames actually sent.
    int GetCurrentPos();
    // Frames read from the file and no longer waiting in the transfer.
    int GetTotalMp4Frames();
    // The transfer, for statistics and tests; null before initizlize.
    T_MSTransfer* Transfer() { return transfer.get(); }

    void Destroy();

protected:
    void Execute() override;

private:
    // Feeds at most 101 packets while the transfer has room. -1 at the end
    // of the file, else the number of packets handled.
    int ReadFrames();
    bool ConvertVideo(AVPacket* pkt);
    // Type of the first NAL unit of a picture as the file stores it: after
    // the length prefix in an MP4, after the start code in an Annex B file.
    int FirstNalTypeInFile(const AVPacket* pkt) const;

    AvInputFormatContextPtr pAVFormatCtx;
    AvPacketPtr PAVPackets;
    int videoStreamIndex = -1;
    int audioStreamIndex = -1;
    std::atomic<int> nCurrentFrames{0};
    std::atomic<bool> bHasDone{false};
    std::atomic<bool> bFileComplete{false};
    const AVBitStreamFilter* filter = nullptr;
    AvBSFContextPtr bsf_ctx;
    bool bFilterReady = false;
    int nNalLengthSize = 0; // bytes of each NAL unit's length prefix; 0 for start codes
    uint8_t ADTSHEAD[kAdtsHeaderSize] = {};
    bool bAddAdts = false;
    int nSampleRate = 48000;
    std::vector<uint8_t> record; // one media frame, reused for every packet
    std::unique_ptr<T_MSTransfer> transfer;
};

// Microseconds of a stamp in time base tb: pts x 1,000,000 / (den div num).
int64_t PtsToMicroseconds(int64_t pts, AVRational tb);

} // namespace tavrin
