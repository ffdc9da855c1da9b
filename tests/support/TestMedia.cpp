#include "tests/support/TestMedia.h"

#include <array>
#include <cstdio>
#include <cstdlib>

extern "C" {
#include <libavformat/avformat.h>
}

#include "base/MediaFrame.h"
#include "output/EncodeVideo.h"
#include "tests/support/Pictures.h"

namespace tavrin::test {

bool Run(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

bool Capture(const std::string& command, std::string& out) {
    out.clear();
    FILE* p = popen(command.c_str(), "r");
    if (p == nullptr) {
        return false;
    }
    std::array<char, 4096> buf{};
    for (size_t n; (n = std::fread(buf.data(), 1, buf.size(), p)) > 0;) {
        out.append(buf.data(), n);
    }
    return pclose(p) == 0;
}

std::string Output(const std::string& command) {
    std::string out;
    Capture(command, out);
    return out;
}

bool MakeTestAdts(const std::string& path, int seconds) {
    return Run("ffmpeg -nostdin -v error -y -f lavfi -i sine=f=440:r=48000 -ac 2 -t " +
               std::to_string(seconds) + " -c:a aac -b:a 128k -f adts '" + path + "'");
}

std::vector<std::vector<uint8_t>> EncodeTestVideo(int width, int height, int count) {
    std::vector<std::vector<uint8_t>> frames;
    TEncodeVideo encoder;
    if (encoder.initialize(width, height, 4000 * 1024, false) != 0) {
        return frames;
    }
    AvFramePtr picture = MakePicture(width, height);
    std::vector<uint8_t> unit;
    // The encoder's frame threads hold a few pictures back.
    for (int i = 0; int(frames.size()) < count && i < count + 16; ++i) {
        FillScene(picture.get(), i);
        int type = 0;
        if (encoder.GetPackage(picture.get(), unit, type) <= 0) {
            continue;
        }
        std::vector<uint8_t> frame;
        AssignMediaFrame(frame, uint8_t(type), LocalWallClockMicros(), unit);
        frames.push_back(std::move(frame));
    }
    return frames;
}

std::vector<std::vector<uint8_t>> ReadMediaFrames(const std::string& path) {
    std::vector<std::vector<uint8_t>> frames;
    AVFormatContext* ctx = nullptr;
    if (avformat_open_input(&ctx, path.c_str(), nullptr, nullptr) < 0) {
        return frames;
    }
    AVPacket* pkt = av_packet_alloc();
    while (av_read_frame(ctx, pkt) >= 0) {
        const AVCodecID codec = ctx->streams[pkt->stream_index]->codecpar->codec_id;
        uint8_t type = kFrameAAC;
        if (codec == AV_CODEC_ID_H264) {
            type = (pkt->size > 4 && (pkt->data[4] & 0x1F) == 7) ? kFrameH264Key : kFrameH264;
        }
        std::vector<uint8_t> frame;
        AssignMediaFrame(frame, type, LocalWallClockMicros(),
                         std::span<const uint8_t>(pkt->data, size_t(pkt->size)));
        frames.push_back(std::move(frame));
        av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
    avformat_close_input(&ctx);
    return frames;
}

std::vector<std::vector<uint8_t>> Interleave(const std::vector<std::vector<uint8_t>>& video,
                                             const std::vector<std::vector<uint8_t>>& audio) {
    std::vector<std::vector<uint8_t>> out;
    size_t v = 0;
    size_t a = 0;
    while (v < video.size() || a < audio.size()) {
        const double vt = double(v) * 40.0;
        const double at = double(a) * 1024.0 / 48.0;
        if (a < audio.size() && (v >= video.size() || at <= vt)) {
            out.push_back(audio[a++]);
        } else {
            out.push_back(video[v++]);
        }
    }
    return out;
}

} // namespace tavrin::test
