#include "mp4/ParseMp4.h"

#include "base/H264Nal.h"
#include "base/MediaFrame.h"
#include "base/Trace.h"
#include "output/Adts.h"

#include <algorithm>
#include <cstring>

namespace tavrin {

int64_t PtsToMicroseconds(int64_t pts, AVRational tb) {
    if (tb.num <= 0 || tb.den <= 0) {
        return 0;
    }
    const int64_t ticksPerSecond = tb.den / tb.num;
    if (ticksPerSecond <= 0) {
        return av_rescale_q(pts, tb, AVRational{1, 1000000});
    }
    return pts * 1000000 / ticksPerSecond;
}

TParseMp4::~TParseMp4() {
    Destroy();
}

void TParseMp4::Destroy() {
    Terminate();
    WaitFor();
    if (transfer) {
        transfer->Destroy();
    }
    bsf_ctx.reset();
    PAVPackets.reset();
    pAVFormatCtx.reset();
}

int TParseMp4::initizlize(const std::string& pFileName, const std::string& sIP, int nPort,
                          int nLiveID, int nLiveType, int nUserID, const std::string& sLiveToken) {
    // The builder may still be closing the file: try for a while.
    AVFormatContext* opened = nullptr;
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        if (attempt > 0) {
            SleepMs(kOpenRetryMs);
        }
        opened = nullptr;
        if (avformat_open_input(&opened, pFileName.c_str(), nullptr, nullptr) == 0) {
            break;
        }
        opened = nullptr;
    }
    if (opened == nullptr) {
        return kCannotOpen;
    }
    pAVFormatCtx.reset(opened);
    if (avformat_find_stream_info(pAVFormatCtx.get(), nullptr) < 0) {
        return kNoStreamInfo;
    }
    videoStreamIndex = -1;
    audioStreamIndex = -1;
    for (unsigned i = 0; i < pAVFormatCtx->nb_streams; ++i) {
        const AVCodecParameters* par = pAVFormatCtx->streams[i]->codecpar;
        if (videoStreamIndex < 0 && par->codec_id == AV_CODEC_ID_H264) {
            videoStreamIndex = int(i);
        } else if (audioStreamIndex < 0 && par->codec_id == AV_CODEC_ID_AAC) {
            audioStreamIndex = int(i);
        }
    }
    if (videoStreamIndex < 0 || audioStreamIndex < 0) {
        return kNoStreams;
    }
    filter = av_bsf_get_by_name("h264_mp4toannexb");
    AVBSFContext* ctx = nullptr;
    if (filter == nullptr || av_bsf_alloc(filter, &ctx) < 0) {
        return kNoFilter;
    }
    bsf_ctx.reset(ctx);
    bFilterReady = false;
    // An avcC header (version 1) says the packets are length-prefixed, and
    // how long each prefix is.
    const AVCodecParameters* video = pAVFormatCtx->streams[videoStreamIndex]->codecpar;
    nNalLengthSize = video->extradata_size >= 7 && video->extradata[0] == 1
                         ? (video->extradata[4] & 0x03) + 1
                         : 0;
    PAVPackets.reset(av_packet_alloc());
    nCurrentFrames = 0;
    bHasDone = false;
    bFileComplete = false;
    bAddAdts = false;
    nSampleRate = pAVFormatCtx->streams[audioStreamIndex]->codecpar->sample_rate;

    transfer = std::make_unique<T_MSTransfer>();
    if (transfer->initialize(sIP, nPort, nLiveID, nLiveType, nUserID, sLiveToken, 0) != 0) {
        transfer.reset();
        return kTransferRefused;
    }
    transfer->Start();
    return kInitOK;
}

int TParseMp4::GetCurrentPos() {
    if (!transfer) {
        return 0;
    }
    // An error wins over "finished": a refused end also finishes the live.
    const int error = transfer->GetLastError();
    if (error != 0) {
        return error;
    }
    if (bHasDone) {
        return -1;
    }
    return nCurrentFrames - transfer->GetRemainFrameCount();
}

int TParseMp4::GetTotalMp4Frames() {
    if (!transfer) {
        return 0;
    }
    return nCurrentFrames - transfer->GetRemainFrameCount();
}

int TParseMp4::FirstNalTypeInFile(const AVPacket* pkt) const {
    const size_t size = size_t(std::max(pkt->size, 0));
    if (nNalLengthSize == 0) {
        return FirstNalType({pkt->data, size});
    }
    // Reading start codes here would take a length such as 00 00 01 87 for
    // a start code followed by a parameter set.
    if (size <= size_t(nNalLengthSize)) {
        return -1;
    }
    return pkt->data[nNalLengthSize] & 0x1F;
}

bool TParseMp4::ConvertVideo(AVPacket* pkt) {
    if (!bFilterReady) {
        const AVStream* stream = pAVFormatCtx->streams[videoStreamIndex];
        if (avcodec_parameters_copy(bsf_ctx->par_in, stream->codecpar) < 0) {
            return false;
        }
        bsf_ctx->time_base_in = stream->time_base;
        if (av_bsf_init(bsf_ctx.get()) < 0) {
            Trace("h264_mp4toannexb cannot start");
            return false;
        }
        bFilterReady = true;
    }
    if (av_bsf_send_packet(bsf_ctx.get(), pkt) < 0) {
        av_packet_unref(pkt);
        return false;
    }
    return av_bsf_receive_packet(bsf_ctx.get(), pkt) == 0;
}

int TParseMp4::ReadFrames() {
    AVPacket* pkt = PAVPackets.get();
    int handled = 0;
    while (transfer->GetIfCanAddFrame() && handled < kStepPackets) {
        const int ret = av_read_frame(pAVFormatCtx.get(), pkt);
        if (ret < 0) {
            if (ret != AVERROR_EOF) {
                Trace("mp4 read ended with error " + std::to_string(ret));
            }
            av_packet_unref(pkt);
            bFileComplete = true;
            return -1;
        }
        ++handled;
        const int index = pkt->stream_index;
        if (index != videoStreamIndex && index != audioStreamIndex) {
            av_packet_unref(pkt); // neither picture nor sound: not part of a live stream
            continue;
        }
        ++nCurrentFrames;
        const AVRational tb = pAVFormatCtx->streams[index]->time_base;
        uint8_t type = kFrameAAC;
        size_t adts = 0;
        if (index == audioStreamIndex) {
            if (!HasAdtsHeader(pkt->data, size_t(pkt->size))) {
                bAddAdts = true;
            }
            if (bAddAdts) {
                if (!MakeAdtsHeader(ADTSHEAD, pkt->size + int(kAdtsHeaderSize), nSampleRate)) {
                    Trace("aac packet too long for an ADTS header: " + std::to_string(pkt->size));
                    av_packet_unref(pkt);
                    continue;
                }
                adts = kAdtsHeaderSize;
            }
        } else {
            // A unit opening with a sequence parameter set starts a key frame.
            const bool startsWithSps = FirstNalTypeInFile(pkt) == kNalSps;
            const bool key = (pkt->flags & AV_PKT_FLAG_KEY) != 0;
            if (!ConvertVideo(pkt)) {
                av_packet_unref(pkt);
                continue;
            }
            // Files whose parameter sets live only in the stream header get
            // them put in front of each key frame by the filter; such a unit
            // is a key frame as well.
            const bool keyWithSps = key && HasNalType({pkt->data, size_t(pkt->size)}, kNalSps);
            type = startsWithSps || keyWithSps ? kFrameH264Key : kFrameH264;
        }
        int64_t stamp = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
        if (stamp == AV_NOPTS_VALUE) {
            stamp = 0;
        }
        const size_t payload = adts + size_t(pkt->size);
        record.resize(kMediaFrameHeadSize + payload);
        const TZeroMediaFrameHead head{type, uint32_t(payload), PtsToMicroseconds(stamp, tb)};
        WriteMediaFrameHead(head, record);
        if (adts > 0) {
            std::memcpy(record.data() + kMediaFrameHeadSize, ADTSHEAD, adts);
        }
        if (pkt->size > 0) {
            std::memcpy(record.data() + kMediaFrameHeadSize + adts, pkt->data, size_t(pkt->size));
        }
        transfer->AddFrame(record);
        av_packet_unref(pkt);
    }
    return handled;
}

void TParseMp4::Execute() {
    if (!transfer || !pAVFormatCtx) {
        return;
    }
    bHasDone = false;
    while (!Terminated()) {
        SleepMs(5);
        if (bHasDone) {
            continue;
        }
        if (transfer->GetIfCanLeave()) {
            transfer->Destroy();
            bHasDone = true;
            continue;
        }
        if (!bFileComplete && ReadFrames() == -1) {
            transfer->endLive(true);
        }
    }
}

} // namespace tavrin
