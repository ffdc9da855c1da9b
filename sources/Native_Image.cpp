#include "sources/Native_Image.h"

#include "base/GloTimer.h"
#include "base/Trace.h"
#include "compose/JpegToYUV420.h"
#include "output/Adts.h"
#include "sources/AacRelay.h"
#include "sources/SilentAAC.h"

namespace tavrin {

namespace {

constexpr int kMp3OpenTries = 10;
constexpr unsigned kMp3RetryMs = 500;
constexpr size_t kLumaBytes = size_t(TNative_Image::kWidth) * TNative_Image::kHeight;

} // namespace

TNative_Image::~TNative_Image() {
    Terminate();
    WaitFor();
}

int TNative_Image::initialize(const std::string& sFileName, const std::string& sMp3FileName) {
    bNeverFetchH264 = true;
    iNeedPlayCount = GetGlobeCount();
    EncodeVideo = std::make_unique<TEncodeVideo>();
    EncodeVideo->initialize(kWidth, kHeight, kBitrate, false);

    pYUVBikImage.assign(kLumaBytes * 3 / 2, 0);
    JpegToYUV420(sFileName, "", pYUVBikImage.data(), kHeight, kWidth);
    WatermarkFrame.reset(av_frame_alloc());
    if (!WatermarkFrame) {
        return -1;
    }
    WatermarkFrame->format = AV_PIX_FMT_YUV420P;
    WatermarkFrame->width = kWidth;
    WatermarkFrame->height = kHeight;
    WatermarkFrame->data[0] = pYUVBikImage.data();
    WatermarkFrame->data[1] = pYUVBikImage.data() + kLumaBytes;
    WatermarkFrame->data[2] = pYUVBikImage.data() + kLumaBytes + kLumaBytes / 4;
    WatermarkFrame->linesize[0] = kWidth;
    WatermarkFrame->linesize[1] = kWidth / 2;
    WatermarkFrame->linesize[2] = kWidth / 2;

    if (sMp3FileName.empty()) {
        return 0;
    }
    return OpenMp3(sMp3FileName);
}

int TNative_Image::OpenMp3(const std::string& name) {
    for (int attempt = 0;; ++attempt) {
        AVFormatContext* ctx = nullptr;
        if (avformat_open_input(&ctx, name.c_str(), nullptr, nullptr) == 0) {
            pAVFormatCtx.reset(ctx);
            break;
        }
        if (attempt + 1 >= kMp3OpenTries) {
            return -1;
        }
        SleepMs(kMp3RetryMs);
    }
    if (avformat_find_stream_info(pAVFormatCtx.get(), nullptr) < 0) {
        pAVFormatCtx.reset();
        return -2;
    }
    for (unsigned i = 0; i < pAVFormatCtx->nb_streams; ++i) {
        const AVCodecParameters* par = pAVFormatCtx->streams[i]->codecpar;
        if (par->codec_type == AVMEDIA_TYPE_AUDIO) {
            audioStreamIndex = int(i);
        } else if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
            videoStreamIndex = int(i);
        }
    }
    if (audioStreamIndex < 0) {
        pAVFormatCtx.reset();
        return -3;
    }
    const AVCodecParameters* par = pAVFormatCtx->streams[audioStreamIndex]->codecpar;
    PAVPackets.reset(av_packet_alloc());
    if (!PAVPackets || DecodeAudio.initialize(par) != 0 ||
        EncodeAudio.initialize_item(AV_SAMPLE_FMT_S16, 2, par->sample_rate) != 0) {
        pAVFormatCtx.reset();
        return -3;
    }
    bIsMp3 = true;
    return 0;
}

int TNative_Image::GetPackage(const std::vector<uint8_t>*& pHead) {
    pHead = pLink.Head();
    return pHead != nullptr ? 0 : -1;
}

void TNative_Image::Execute() {
    while (!Terminated()) {
        SleepMs(5);
        RunTurn();
    }
}

void TNative_Image::RunTurn() {
    const uint32_t now = GetGlobeCount();
    if (int32_t(now - (iNeedPlayCount + 1000)) > 0) {
        iNeedPlayCount = now;
    }
    if (int32_t(now - iNeedPlayCount) < 0) {
        return;
    }
    if (ReadChunk() != 0) {
        return;
    }
    iNeedPlayCount += kChunkMs;
}

int TNative_Image::ReadChunk() {
    int result = 0;
    for (int pass = 0; pass < kPassesPerChunk; ++pass) {
        VideoPass();
        if (!AudioPass()) {
            result = -1;
        }
    }
    return result;
}

void TNative_Image::VideoPass() {
    if (bNeverFetchH264 && EncodeVideo) {
        int keyFrames = 0;
        for (const auto& rec : pH264Buf) {
            keyFrames += rec[0] == kFrameH264Key ? 1 : 0;
        }
        std::vector<uint8_t> unit;
        for (int call = 0; call < kMaxEncodeCalls && bNeverFetchH264 && !Terminated(); ++call) {
            int nType = 0;
            if (EncodeVideo->GetPackage(WatermarkFrame.get(), unit, nType) <= 0) {
                SleepMs(10);
                continue;
            }
            if (nType == kFrameH264Key && ++keyFrames == 2) {
                // The second key frame closes the first group: it is not
                // kept, and the encoder is no longer needed.
                EncodeVideo.reset();
                bNeverFetchH264 = false;
                nH264NowPos = 0;
                break;
            }
            std::vector<uint8_t> rec;
            AssignMediaFrame(rec, uint8_t(nType), 0, unit);
            pH264Buf.push_back(std::move(rec));
        }
    }
    if (bNeverFetchH264 || pH264Buf.empty()) {
        return;
    }
    pLink.PushRecord(pH264Buf[nH264NowPos]);
    nH264NowPos = (nH264NowPos + 1) % pH264Buf.size();
}

bool TNative_Image::AudioPass() {
    int queued = 0;
    if (!bIsMp3) {
        for (; queued < kAudioFramesPerPass; ++queued) {
            pLink.Push(kFrameAAC, 0, kSilentAACFrame);
        }
        return true;
    }
    while (queued < kAudioFramesPerPass) {
        const int ret = av_read_frame(pAVFormatCtx.get(), PAVPackets.get());
        if (ret == AVERROR_EOF) {
            EncodeAudio.FlushBuf();
            av_seek_frame(pAVFormatCtx.get(), audioStreamIndex, 0, AVSEEK_FLAG_BACKWARD);
            return true;
        }
        if (ret < 0) {
            return false;
        }
        ++nCurrentFrames;
        if (PAVPackets->stream_index != audioStreamIndex) {
            av_packet_unref(PAVPackets.get());
            continue;
        }
        // The MP3 decodes to interleaved 16-bit stereo: four bytes a frame.
        queued = AacRelay.Relay(PAVPackets->data, PAVPackets->size, 4, queued, kAudioFramesPerPass);
        av_packet_unref(PAVPackets.get());
    }
    return true;
}

} // namespace tavrin
