#include "mp4/Mp4Thread.h"

#include "av/AvPtr.h"
#include "base/MediaFrame.h"
#include "base/Message.h"
#include "base/Trace.h"
#include "compose/AVFilter.h"
#include "compose/JpegPicture.h"
#include "mp4/CardImage.h"
#include "mp4/ReencodeVideo.h"
#include "mp4/StreamUnitReader.h"
#include "output/EncodeVideo.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>

namespace tavrin {

namespace {

// One AAC-LC frame of silence, 48 kHz stereo, with its ADTS header.
constexpr uint8_t kSilentAAC[13] = {0xFF, 0xF1, 0x4C, 0x80, 0x01, 0xBF, 0xFC,
                                    0x21, 0x00, 0x03, 0x40, 0x68, 0x1C};
constexpr size_t kCardBufBytes = 1920 * 1080 * 3 / 2;
constexpr int kCardAudioPerSecond = 43;
// Pictures from one key picture to the next in the encoder's output.
constexpr int kCardGroup = 25;
// Stream files are written and read in large pieces, not unit by unit.
constexpr size_t kStreamFileBuffer = size_t(1) << 20;

// Describes a packed w x h YUV 4:2:0 buffer as a picture (owns nothing).
void DescribePicture(AVFrame* frame, uint8_t* base, int w, int h) {
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = w;
    frame->height = h;
    frame->data[0] = base;
    frame->data[1] = base + size_t(w) * h;
    frame->data[2] = base + size_t(w) * h * 5 / 4;
    frame->linesize[0] = w;
    frame->linesize[1] = w / 2;
    frame->linesize[2] = w / 2;
}

void CopyPicture(const AVFrame* src, uint8_t* base, int w, int h) {
    for (int plane = 0; plane < 3; ++plane) {
        const int pw = plane == 0 ? w : w / 2;
        const int ph = plane == 0 ? h : h / 2;
        uint8_t* dst = base + (plane == 0 ? 0 : size_t(w) * h * (plane == 1 ? 4 : 5) / 4);
        for (int y = 0; y < ph; ++y) {
            std::copy_n(src->data[plane] + size_t(y) * src->linesize[plane], pw,
                        dst + size_t(y) * pw);
        }
    }
}

// Opens an elementary-stream file with the named demuxer and reads its
// stream information; returns the first stream of the wanted type.
int OpenElementary(const std::string& file, const char* format, AVMediaType type,
                   AvInputFormatContextPtr& ctx, int& nStream) {
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, file.c_str(), av_find_input_format(format), nullptr) < 0) {
        return 1;
    }
    ctx.reset(raw);
    if (avformat_find_stream_info(ctx.get(), nullptr) < 0) {
        return 2;
    }
    nStream = av_find_best_stream(ctx.get(), type, -1, -1, nullptr, 0);
    return nStream < 0 ? 2 : 0;
}

// Whether the first picture of an access unit is an IDR picture, which is
// where a player may start. Only the short units before the first slice
// are looked through.
bool StartsWithIdrPicture(const uint8_t* p, size_t size) {
    for (size_t i = 0; i + 3 < size; ++i) {
        if (p[i + 2] > 1) {
            i += 2;
        } else if (p[i] == 0 && p[i + 1] == 0 && p[i + 2] == 1) {
            const int type = p[i + 3] & 0x1F;
            if (type >= 1 && type <= 5) {
                return type == 5;
            }
            i += 2;
        }
    }
    return false;
}

int64_t Ticks(AVRational tb, int64_t num, int64_t den) {
    // num/den seconds in a stream's time base.
    return av_rescale(num * tb.den, 1, den * tb.num);
}

} // namespace

TMp4Thread::TMp4Thread(const TGetLessionInfo& lessonPaths) : paths(lessonPaths) {}

TMp4Thread::~TMp4Thread() {
    Terminate();
    WaitFor();
    if (hAACFile != nullptr) {
        std::fclose(hAACFile);
    }
    if (hH264File != nullptr) {
        std::fclose(hH264File);
    }
}

int TMp4Thread::initialize(int nType, const TLessionInfo& lesson, const TMakerInfo& maker,
                           const TheadInfo& head, const TheadInfo& tail, int nSecondHead,
                           int nSecondTrail, int AudiooffSet, const TConvertMode& rConvertMode,
                           std::string& sFileName) {
    nHeadType = nType;
    LessionInfo = (nType == 1 && head.vo != nullptr) ? *head.vo : lesson;
    MakerInfo = maker;
    pImageHead = head;
    pImageLast = tail;
    nSecondFilter_head = std::max(nSecondHead, 0);
    nSecondFilter_trail = std::max(nSecondTrail, 0);
    nAudiooffSet = AudiooffSet;
    ConvertMode = rConvertMode;
    aAVLinkBuf.clear();
    aUnitSizes.clear();
    bTaskEndOK = false;
    YUVBUF.assign(kCardBufBytes, 0);

    ReadAV.initialize(paths);
    const int opened = ReadAV.OpenLession(LessionInfo.LessionID);
    if (opened != TReadAV::kOpenOK) {
        return opened;
    }
    const TIndex_Head* PH = nullptr;
    const TIndex_Count* PC = nullptr;
    const TIndex_IBlock* blocks = nullptr;
    ReadAV.GetLessionInfo_struc(PH, PC, blocks);
    if (ConvertMode.nMode == 0 && PH != nullptr &&
        (ConvertMode.nW != PH->videoWidth || ConvertMode.nH != PH->videoHeight)) {
        ReadAV.EndLession();
        return kSizeNotRecorded;
    }
    std::string sOutput;
    paths.Get_OutputDir(LessionInfo.LessionID, sOutput);
    paths.Get_TempDir(LessionInfo.LessionID, sTemp);
    TLessionInfo named = LessionInfo;
    paths.Get_MP4File(named, sMp4);
    paths.Get_AACFile(LessionInfo.LessionID, sAACFile);
    paths.Get_H264File(LessionInfo.LessionID, sH264File);
    sFileName = sMp4;
    std::error_code ec;
    std::filesystem::create_directories(sOutput, ec);
    std::filesystem::create_directories(sTemp, ec);
    bIniOK = true;
    return 0;
}

int TMp4Thread::GetCurrentPos() const {
    if (bTaskEndOK) {
        return -1;
    }
    return nCurrentPos_DivideFrame + nCurrentPos_MakeMP4;
}

void TMp4Thread::Execute() {
    while (!Terminated()) {
        if (bIniOK && !bTaskEndOK) {
            RunTask();
        }
        SleepMs(5);
    }
}

int TMp4Thread::RunTask() {
    const auto start = std::chrono::steady_clock::now();
    const auto elapsed = [&start] {
        return std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(
                                  std::chrono::steady_clock::now() - start)
                                  .count());
    };
    int result = DivideFrames();
    Trace(elapsed());
    if (result == 0) {
        result = MakeMp4();
        Trace(elapsed());
    }
    CleanUp();
    nResult = result;
    bTaskEndOK = true;
    return result;
}

bool TMp4Thread::WriteFrame(FILE* f, uint8_t nType, const uint8_t* data, size_t size) {
    if (std::fwrite(data, 1, size, f) != size) {
        return false;
    }
    aAVLinkBuf.push_back(nType);
    aUnitSizes.push_back(uint32_t(size));
    ++nMp4TotalFrame;
    return true;
}

bool TMp4Thread::PrepareCard(bool bTail, int cardW, int cardH) {
    if (nHeadType == 0) {
        if (!LoadCardPicture(bTail, cardW, cardH, YUVBUF)) {
            Trace("card picture " + CardPictureName(bTail, cardH) + " missing");
            return false;
        }
        std::string sFilter;
        if (bTail) {
            paths.Get_WaterMark_backcover(MakerInfo, cardW == 1920 ? 1 : 0, sFilter);
        } else {
            TLessionInfo fields = LessionInfo;
            paths.Get_WaterMark(fields, cardW == 1920 ? 1 : 0, sFilter);
        }
        // The text is drawn once; the encoder gets the same picture all card long.
        TAVFilter filter;
        AvFramePtr in(av_frame_alloc());
        AVFrame* out = nullptr;
        DescribePicture(in.get(), YUVBUF.data(), cardW, cardH);
        if (filter.initialize(sFilter, cardW, cardH) != 0 || filter.PushFrame(in.get(), out) != 0 ||
            out == nullptr) {
            Trace("card text not drawn: " + sFilter);
            return true;
        }
        CopyPicture(out, YUVBUF.data(), cardW, cardH);
        av_frame_unref(out);
        return true;
    }
    if (nHeadType == 1) {
        const TheadInfo& image = bTail ? pImageLast : pImageHead;
        std::vector<uint8_t> picture;
        if (image.nNameLength == 0 || !JpegToYUV420(image.sImageName, cardW, cardH, picture)) {
            return false;
        }
        std::copy(picture.begin(), picture.end(), YUVBUF.begin());
        return true;
    }
    return false;
}

bool TMp4Thread::WriteCard(bool bTail, int nSeconds, int cardW, int cardH, int nProgressBase,
                           int& nProgressOut) {
    nProgressOut = nProgressBase;
    if (nSeconds <= 0 || !PrepareCard(bTail, cardW, cardH)) {
        return true;
    }
    // A fresh encoder per card: its first unit is a key frame, so no card
    // picture refers to pictures of the lesson body.
    TEncodeVideo encoder;
    if (encoder.initialize(cardW, cardH, ConvertMode.nBitbrate, false) != 0) {
        return false;
    }
    AvFramePtr picture(av_frame_alloc());
    DescribePicture(picture.get(), YUVBUF.data(), cardW, cardH);
    std::vector<uint8_t> unit;
    int nUnitType = 0;
    bool bKeySeen = false;
    int nVideo = 0;
    // The card is one still picture: its first group (a key picture and the
    // pictures that refer only to it) is encoded once and then repeated,
    // each repeat being whole on its own, instead of encoding every second.
    std::vector<std::vector<uint8_t>> group;
    std::vector<int> groupTypes;
    bool bRepeat = false;
    for (int n = 1; n <= kCardAudioPerSecond * nSeconds; ++n) {
        if (Terminated()) {
            return false;
        }
        if (!WriteFrame(hAACFile, kFrameAAC, kSilentAAC, sizeof kSilentAAC)) {
            return false;
        }
        if (int64_t(nVideo) * 40000 >= int64_t(n) * 21333) {
            continue;
        }
        const std::vector<uint8_t>* out = &unit;
        if (bRepeat) {
            const size_t i = size_t(nVideo) % group.size();
            out = &group[i];
            nUnitType = groupTypes[i];
        } else {
            if (encoder.GetPackage(picture.get(), unit, nUnitType) <= 0) {
                continue;
            }
            bKeySeen = bKeySeen || nUnitType == kFrameH264Key;
            if (!bKeySeen) {
                continue;
            }
            if (nUnitType == kFrameH264Key && !group.empty()) {
                // The next group starts here: the first one is complete.
                bRepeat = nVideo == int(group.size());
                if (bRepeat) {
                    out = &group[0];
                    nUnitType = groupTypes[0];
                }
            } else if (!bRepeat && group.size() == size_t(nVideo)) {
                group.push_back(unit);
                groupTypes.push_back(nUnitType);
            }
        }
        if (!WriteFrame(hH264File, uint8_t(nUnitType), out->data(), out->size())) {
            return false;
        }
        ++nVideo;
        // A group is one second; the encoder starts the next one with a
        // key picture, so from here on the first group repeats.
        bRepeat = bRepeat || (nVideo == kCardGroup && group.size() == size_t(kCardGroup));
        nProgressOut = nProgressBase + 10 * nVideo / (25 * nSeconds);
        nCurrentPos_DivideFrame = nProgressOut;
    }
    return true;
}

int TMp4Thread::DivideFrames() {
    for (auto [name, handle] :
         {std::pair{&sAACFile, &hAACFile}, std::pair{&sH264File, &hH264File}}) {
        const bool existed = std::filesystem::exists(*name);
        *handle = std::fopen(name->c_str(), "wb");
        if (*handle == nullptr) {
            if (existed) {
                ShowMessage(*name + " 文件打不开，请重启软件或电脑，系统即将退出", TMsgIcon::Error);
                EndProcess();
            }
            Trace("cannot create " + *name);
            return kDividePass;
        }
    }
    aacFileBuffer = std::make_unique<char[]>(kStreamFileBuffer);
    h264FileBuffer = std::make_unique<char[]>(kStreamFileBuffer);
    std::setvbuf(hAACFile, aacFileBuffer.get(), _IOFBF, kStreamFileBuffer);
    std::setvbuf(hH264File, h264FileBuffer.get(), _IOFBF, kStreamFileBuffer);
    int64_t nTotal = 0;
    const TIndex_Head* head = nullptr;
    const TIndex_Count* count = nullptr;
    const TIndex_IBlock* blocks = nullptr;
    const int nBlocks = ReadAV.GetLessionInfo_struc(head, count, blocks);
    for (int i = 0; i < nBlocks; ++i) {
        if (blocks[i].DeleteFlag == 0) {
            nTotal += int64_t(blocks[i].VideoCount) + blocks[i].AudioCount;
        }
    }
    nTotal = std::max<int64_t>(nTotal, 1);
    const int cardW = ConvertMode.nW != 1280 ? 1920 : 1280;
    const int cardH = cardW == 1920 ? 1080 : 720;
    const bool bCards = nHeadType == 0 || nHeadType == 1;
    bool ok = true;

    int nHeadProgress = 0;
    if (bCards) {
        ok = WriteCard(false, nSecondFilter_head, cardW, cardH, 0, nHeadProgress);
    }

    const bool bReencode = ConvertMode.nMode == 2;
    TReencodeVideo reencoder;
    if (ok && bReencode) {
        ok = reencoder.initialize(cardW, cardH, ConvertMode.nBitbrate) == 0;
    }
    const auto writeUnit = [this](const std::vector<uint8_t>& unit, int nUnitType) {
        return WriteFrame(hH264File, uint8_t(nUnitType), unit.data(), unit.size());
    };
    // Payloads are written from the reader's block buffer, not copied out.
    const uint8_t* payload = nullptr;
    int nSize = 0;
    int nType = 0;
    int nIPos = 0;
    int64_t nHandled = 0;
    int nBodyProgress = nHeadProgress;
    ReadAV.MoveToIPos(0, false);
    // The owner may end the builder at any frame (the dialog was closed).
    while (ok && !Terminated() &&
           (nSize = ReadAV.GetFrameInPlace(payload, nType, nIPos, false)) >= 0) {
        ++nHandled;
        if (IsAudioFrameType(nType)) {
            ok = WriteFrame(hAACFile, kFrameAAC, payload, size_t(nSize));
        } else if (bReencode) {
            ok = reencoder.Push(payload, nSize, writeUnit);
            nBodyProgress = nHeadProgress + int(75 * nHandled / nTotal);
        } else {
            ok = WriteFrame(hH264File, uint8_t(nType), payload, size_t(nSize));
        }
        if (!bReencode) {
            nBodyProgress = nHeadProgress + int(30 * nHandled / nTotal);
        }
        nCurrentPos_DivideFrame = nBodyProgress;
    }

    ok = ok && !Terminated();
    if (ok && bReencode) {
        ok = reencoder.Drain(writeUnit);
    }
    if (ok && bCards) {
        int nTailProgress = 0;
        ok = WriteCard(true, nSecondFilter_trail, cardW, cardH, nBodyProgress, nTailProgress);
    }
    const bool closedAAC = std::fclose(hAACFile) == 0;
    const bool closedH264 = std::fclose(hH264File) == 0;
    hAACFile = nullptr;
    hH264File = nullptr;
    ReadAV.EndLession();
    if (Terminated()) {
        return kStopped;
    }
    if (!ok || !closedAAC || !closedH264) {
        Trace("the stream files could not be written");
        return kDividePass;
    }
    return 0;
}

int TMp4Thread::MakeMp4() {
    AvInputFormatContextPtr videoIn;
    AvInputFormatContextPtr audioIn;
    int nVideoIn = -1;
    int nAudioIn = -1;
    if (const int r = OpenElementary(sH264File, "h264", AVMEDIA_TYPE_VIDEO, videoIn, nVideoIn)) {
        return r == 1 ? kOpenH264 : kH264Info;
    }
    if (const int r = OpenElementary(sAACFile, "aac", AVMEDIA_TYPE_AUDIO, audioIn, nAudioIn)) {
        return r == 1 ? kOpenAAC : kAACInfo;
    }
    // The demuxers gave the stream parameters; the units themselves are
    // read back by the sizes pass 1 noted.
    const size_t nMaxUnit =
        aUnitSizes.empty() ? 0 : *std::max_element(aUnitSizes.begin(), aUnitSizes.end());
    TStreamUnitReader videoUnits;
    TStreamUnitReader audioUnits;
    if (!videoUnits.Open(sH264File, nMaxUnit)) {
        return kOpenH264;
    }
    if (!audioUnits.Open(sAACFile, nMaxUnit)) {
        return kOpenAAC;
    }
    // The MP4 grows under a temporary name and takes its own name only when
    // complete, so a failed or interrupted run never leaves a broken file
    // that looks finished.
    const std::string sPartial = sMp4 + ".part";
    AVFormatContext* rawOut = nullptr;
    if (avformat_alloc_output_context2(&rawOut, nullptr, "mp4", sPartial.c_str()) < 0) {
        return kOutputContext;
    }
    AvOutputFormatContextPtr out(rawOut);
    AVStream* videoOut = avformat_new_stream(out.get(), nullptr);
    if (videoOut == nullptr) {
        return kVideoStream;
    }
    if (avcodec_parameters_copy(videoOut->codecpar, videoIn->streams[nVideoIn]->codecpar) < 0) {
        return kVideoParams;
    }
    videoOut->codecpar->codec_tag = 0;
    videoOut->time_base = {1, 12800};
    AVStream* audioOut = avformat_new_stream(out.get(), nullptr);
    if (audioOut == nullptr) {
        return kAudioStream;
    }
    if (avcodec_parameters_copy(audioOut->codecpar, audioIn->streams[nAudioIn]->codecpar) < 0) {
        return kAudioParams;
    }
    audioOut->codecpar->codec_tag = 0;
    audioOut->time_base = {1, 48000};
    if (avio_open(&out->pb, sPartial.c_str(), AVIO_FLAG_WRITE) < 0) {
        return kOpenOutput;
    }
    const auto closeAndDrop = [&out, &sPartial] {
        avio_closep(&out->pb);
        std::remove(sPartial.c_str());
    };
    AVDictionary* rawOptions = nullptr;
    // The index in front of the data, so the file plays from the web at once.
    av_dict_set(&rawOptions, "movflags", "+faststart", 0);
    AvDictionaryPtr options(rawOptions);
    rawOptions = options.release();
    const int header = avformat_write_header(out.get(), &rawOptions);
    options.reset(rawOptions);
    if (header < 0) {
        closeAndDrop();
        return kWriteHeader;
    }

    const AVRational V = videoOut->time_base;
    const AVRational A = audioOut->time_base;
    const int64_t audioStep = Ticks(A, 1024, 48000);
    const int64_t videoStep = Ticks(V, 1, 25);
    const int64_t videoNudge = Ticks(V, 1, 100);
    const int64_t audioShift = nAudiooffSet > 0 ? Ticks(A, nAudiooffSet, 1000) : 0;
    const int64_t videoShift = nAudiooffSet < 0 ? Ticks(V, -int64_t(nAudiooffSet), 1000) : 0;
    int64_t audioTime = 0;
    int64_t videoTime = 0;
    AvPacketPtr packet(av_packet_alloc());
    const size_t nEntries = aAVLinkBuf.size();
    int result = 0;
    for (size_t i = 0; i < nEntries && result == 0; ++i) {
        if (Terminated()) {
            result = kStopped;
            break;
        }
        if (IsAudioFrameType(aAVLinkBuf[i])) {
            if (audioUnits.Read(aUnitSizes[i], packet.get())) {
                packet->flags = AV_PKT_FLAG_KEY;
                audioTime += audioStep;
                packet->pts = packet->dts = audioTime + audioShift;
                packet->duration = audioStep;
                packet->stream_index = audioOut->index;
                packet->pos = -1;
                if (av_interleaved_write_frame(out.get(), packet.get()) < 0) {
                    result = kWritePacket;
                }
            }
        } else if (videoUnits.Read(aUnitSizes[i], packet.get())) {
            packet->flags =
                StartsWithIdrPicture(packet->data, size_t(packet->size)) ? AV_PKT_FLAG_KEY : 0;
            videoTime += videoStep;
            int64_t duration = videoStep;
            const double a = double(audioTime) * A.num / A.den;
            const double v = double(videoTime) * V.num / V.den;
            if (v < a - 0.08) {
                videoTime += videoNudge;
                duration += videoNudge;
            } else if (v > a + 0.08) {
                videoTime -= videoNudge;
                duration -= videoNudge;
            }
            packet->pts = packet->dts = videoTime + videoShift;
            packet->duration = duration;
            packet->stream_index = videoOut->index;
            packet->pos = -1;
            if (av_interleaved_write_frame(out.get(), packet.get()) < 0) {
                result = kWritePacket;
            }
        }
        av_packet_unref(packet.get());
        nCurrentPos_MakeMP4 =
            int(int64_t(i + 1) * (100 - nCurrentPos_DivideFrame) / int64_t(nEntries));
    }
    if (result == 0 && av_write_trailer(out.get()) < 0) {
        result = kWriteTrailer;
    }
    if (result != 0) {
        closeAndDrop();
        return result;
    }
    if (avio_closep(&out->pb) < 0) {
        std::remove(sPartial.c_str());
        return kWriteTrailer;
    }
    std::error_code ec;
    std::filesystem::rename(sPartial, sMp4, ec);
    if (ec) {
        std::remove(sPartial.c_str());
        return kWriteTrailer;
    }
    return 0;
}

std::string Mp4FailureText(int result) {
    return "MP4文件生成失败，错误码：" + std::to_string(result);
}

void TMp4Thread::CleanUp() {
    std::remove(sAACFile.c_str());
    std::remove(sH264File.c_str());
    aAVLinkBuf.clear();
    aAVLinkBuf.shrink_to_fit();
    aUnitSizes.clear();
    aUnitSizes.shrink_to_fit();
    aacFileBuffer.reset();
    h264FileBuffer.reset();
    YUVBUF.clear();
    YUVBUF.shrink_to_fit();
    pImageHead = TheadInfo{};
    pImageLast = TheadInfo{};
}

} // namespace tavrin
