// The still-image source of a slot: a JPEG shown as 1920 x 1080 H.264, with
// an MP3 file (looped) or silence as its sound. The picture is encoded once
// into one group of pictures that is then repeated for as long as the
// channel runs.
#pragma once

#include "av/AvPtr.h"
#include "base/Thread.h"
#include "decode/DecodeAudio.h"
#include "output/EncodeAudio.h"
#include "output/EncodeVideo.h"
#include "sources/AacRelay.h"
#include "sources/FrameList.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tavrin {

class TNative_Image : public TThread {
public:
    static constexpr int kWidth = 1920;
    static constexpr int kHeight = 1080;
    static constexpr int64_t kBitrate = 2097152;
    static constexpr uint32_t kChunkMs = 128;
    static constexpr int kPassesPerChunk = 3;
    static constexpr int kAudioFramesPerPass = 2;
    static constexpr int kMaxEncodeCalls = 200;

    TNative_Image() = default;
    ~TNative_Image() override;

    // 0, or the MP3 open result: -1 cannot open, -2 no stream information,
    // -3 no audio stream. A JPEG that cannot be decoded leaves the picture
    // as it was allocated (the "not found" message has been shown).
    int initialize(const std::string& sFileName, const std::string& sMp3FileName);

    int GetPackage(const std::vector<uint8_t>*& pHead);
    void DeleteHead() { pLink.DeleteHead(); }
    size_t Queued() const { return pLink.Size(); }

    // Frames in the cached group of pictures (0 until it is built).
    int CachedFrames() const { return int(pH264Buf.size()); }
    bool HasMp3() const { return bIsMp3; }

    // One turn of the thread loop (see TNative_Mp4::RunTurn).
    void RunTurn();
    // Three passes of video and audio; 0, or -1 when the MP3 failed.
    int ReadChunk();

protected:
    void Execute() override;

private:
    int OpenMp3(const std::string& name);
    void VideoPass();
    // Queues up to two audio frames; false on an MP3 read error.
    bool AudioPass();

    TFrameList pLink;
    std::vector<std::vector<uint8_t>> pH264Buf; // the cached group of pictures
    size_t nH264NowPos = 0;
    bool bNeverFetchH264 = true;
    int64_t nCurrentFrames = 0;
    bool bIsMp3 = false;
    std::atomic<bool> bHasDone{false};
    std::atomic<bool> bPause{false};
    std::unique_ptr<TEncodeVideo> EncodeVideo; // freed once the cache is built
    TDecodeAudio DecodeAudio;
    TEncodeAudio EncodeAudio;
    uint32_t iNeedPlayCount = 0;
    std::vector<uint8_t> pYUVBikImage;
    AvFramePtr WatermarkFrame;
    AvInputFormatContextPtr pAVFormatCtx;
    AvPacketPtr PAVPackets;
    int videoStreamIndex = -1;
    int audioStreamIndex = -1;
    TAacRelay AacRelay{DecodeAudio, EncodeAudio, pLink, /*endOnFrameError=*/true};
};

} // namespace tavrin
