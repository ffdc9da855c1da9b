// CPU per replayed picture of a recording shown on the replay pane of a
// 1920 x 1040 window (1544 x 869): decoding, scaling and the display port,
// for a 1080p and a 720p recording. Our path scales each picture once,
// straight to the port's size; the path of two scalings (to 1920 x 1080, then
// by the port) is measured beside it, and both against libavcodec with
// libswscale making the port's BGRA picture straight from the decoded one,
// all in the same run. Also prints what each costs beyond decoding alone.
// Prints one line per recording size.
#include "base/MediaFrame.h"
#include "base/Settings.h"
#include "bench/BenchUtil.h"
#include "decode/DecodeVideo.h"
#include "decode/DispManager.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

extern "C" {
#include <libswscale/swscale.h>
}

using namespace tavrin;

namespace {

constexpr SDL_Rect kPane{0, 0, 1544, 869};

struct TUnits {
    std::vector<std::vector<uint8_t>> data;
    std::vector<int> types;
};

TUnits ReadUnits(const std::string& stream) {
    TUnits units;
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, stream.c_str(), nullptr, nullptr) != 0) {
        return units;
    }
    AvInputFormatContextPtr input(raw);
    AvPacketPtr pkt(av_packet_alloc());
    while (av_read_frame(input.get(), pkt.get()) >= 0) {
        units.data.emplace_back(pkt->data, pkt->data + pkt->size);
        units.types.push_back((pkt->flags & AV_PKT_FLAG_KEY) ? kFrameH264Key : kFrameH264);
        av_packet_unref(pkt.get());
    }
    return units;
}

// CPU ms per picture shown, and the pictures shown.
struct TCost {
    double ms = 0;
    int pictures = 0;
};

TCost Measure(int pictures, double startCpu) {
    return TCost{(bench::CpuSeconds() - startCpu) * 1000 / std::max(pictures, 1), pictures};
}

// The replay worker's way: the port's size asked before each picture.
TCost Once(const TUnits& units) {
    TDispManager ports;
    const int port = ports.createNewPort(0, 1920, 1080, kPane);
    TDecodeVideo dec;
    dec.initialize(1920, 1080);
    int shown = 0;
    const double start = bench::CpuSeconds();
    for (size_t i = 0; i < units.data.size(); ++i) {
        SDL_Rect r{};
        ports.GetRect(port, r);
        dec.SetPreviewSize(r.w, r.h);
        AVFrame* out = nullptr;
        if (dec.GetFrame_Replay(units.data[i].data(), int(units.data[i].size()), out,
                                units.types[i], 0) &&
            out != nullptr) {
            ports.pushPicture(port, YuvPictureOf(out), nullptr, nullptr, nullptr, nullptr);
            ++shown;
        }
    }
    return Measure(shown, start);
}

// Scaled to 1920 x 1080 first, then again by the port.
TCost Twice(const TUnits& units) {
    TDispManager ports;
    const int port = ports.createNewPort(0, 1920, 1080, kPane);
    TDecodeVideo dec;
    dec.initialize(1920, 1080);
    int shown = 0;
    const double start = bench::CpuSeconds();
    for (size_t i = 0; i < units.data.size(); ++i) {
        AVFrame* out = nullptr;
        if (dec.GetFrame_Replay(units.data[i].data(), int(units.data[i].size()), out,
                                units.types[i], 1) &&
            out != nullptr) {
            ports.pushFrame(port, out->data[0], out->linesize[0], nullptr, nullptr, nullptr,
                            nullptr);
            ++shown;
        }
    }
    return Measure(shown, start);
}

// libavcodec alone, with the replay decoder's threading; with toPort, each
// picture also goes through libswscale (bicubic, BT.709) to the port's BGRA.
TCost Reference(const TUnits& units, bool toPort) {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    AvCodecContextPtr ctx(avcodec_alloc_context3(codec));
    ctx->thread_count = DecoderThreadCount();
    ctx->thread_type = FF_THREAD_FRAME;
    if (avcodec_open2(ctx.get(), codec, nullptr) != 0) {
        return {};
    }
    AvFramePtr frame(av_frame_alloc());
    AvPacketPtr pkt(av_packet_alloc());
    SwsContextPtr sws;
    std::vector<uint8_t> bgra(size_t(kPane.w) * kPane.h * 4);
    int stride = kPane.w * 4;
    int shown = 0;
    const double start = bench::CpuSeconds();
    for (const auto& unit : units.data) {
        pkt->data = const_cast<uint8_t*>(unit.data());
        pkt->size = int(unit.size());
        if (avcodec_send_packet(ctx.get(), pkt.get()) < 0) {
            continue;
        }
        while (avcodec_receive_frame(ctx.get(), frame.get()) == 0) {
            if (toPort) {
                if (!sws) {
                    sws.reset(sws_getContext(
                        frame->width, frame->height, AVPixelFormat(frame->format), kPane.w, kPane.h,
                        AV_PIX_FMT_BGRA, SWS_BICUBIC, nullptr, nullptr, nullptr));
                    const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
                    sws_setColorspaceDetails(sws.get(), bt709, 0, bt709, 1, 0, 1 << 16, 1 << 16);
                }
                uint8_t* dst[1] = {bgra.data()};
                sws_scale(sws.get(), frame->data, frame->linesize, 0, frame->height, dst, &stride);
            }
            ++shown;
        }
    }
    return Measure(shown, start);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Three interleaved runs of each on a w x h recording, medians printed;
// false when pictures went missing.
bool Run(const bench::TempFolder& folder, int w, int h, int seconds) {
    const std::string stream = folder.File("in" + std::to_string(h) + ".h264");
    bench::RunTimed("ffmpeg -nostdin -hide_banner -loglevel error -f lavfi -i "
                    "testsrc2=s=" +
                    std::to_string(w) + "x" + std::to_string(h) +
                    ":r=25:d=" + std::to_string(seconds) +
                    " -c:v libx264 -preset superfast -g 25 -b:v 6M -f h264 -y " + stream);
    const TUnits units = ReadUnits(stream);
    if (units.data.empty()) {
        std::fprintf(stderr, "bench_replay: no stream\n");
        return false;
    }
    std::vector<double> once, twice, reference, decodeOnly;
    for (int run = 0; run < 3; ++run) {
        const TCost a = Once(units);
        const TCost b = Twice(units);
        const TCost r = Reference(units, true);
        const TCost d = Reference(units, false);
        if (a.pictures < int(units.data.size()) - 8 || b.pictures != a.pictures) {
            std::fprintf(stderr, "bench_replay: %d and %d of %zu pictures shown\n", a.pictures,
                         b.pictures, units.data.size());
            return false;
        }
        once.push_back(a.ms);
        twice.push_back(b.ms);
        reference.push_back(r.ms);
        decodeOnly.push_back(d.ms);
    }
    const double o = Median(once);
    const double t = Median(twice);
    const double r = Median(reference);
    const double d = Median(decodeOnly);
    std::printf("bench_replay (%dp recording into a %dx%d port): scaled once %.2f ms "
                "CPU/picture, scaled twice %.2f ms, swscale decode+bicubic to the port %.2f ms; "
                "ratio once %.2f, twice %.2f, once/twice %.2f; beyond decoding (%.2f ms): once "
                "%.2f ms, twice %.2f ms, swscale %.2f ms\n",
                h, kPane.w, kPane.h, o, t, r, o / r, t / r, o / t, d, o - d, t - d, r - d);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    // A shorter run (seconds as the argument); scripts/bench passes the
    // binary folder: only a number counts.
    const int asked = argc > 1 ? std::atoi(argv[1]) : 0;
    const int seconds = asked > 0 ? asked : 4;
    bench::TempFolder folder;
    return Run(folder, 1920, 1080, seconds) && Run(folder, 1280, 720, seconds) ? 0 : 1;
}
