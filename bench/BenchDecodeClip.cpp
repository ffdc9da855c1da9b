// Per-frame cost of GetFrame_includeClip on a 1080p stream (decode, the
// 1280 x 720 preview and a 960 x 540 clip), against ffmpeg decoding the same
// stream into the same two scaled pictures.
#include "base/MediaFrame.h"
#include "base/Settings.h"
#include "bench/BenchUtil.h"
#include "decode/DecodeVideo.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace tavrin;

int main(int argc, char** argv) {
    // A shorter run (frames as the argument) serves instruction counting.
    // (scripts/bench passes the binary folder: only a number counts.)
    const int asked = argc > 1 ? std::atoi(argv[1]) : 0;
    const int kFrames = asked > 0 ? std::max(25, asked) : 250;
    bench::TempFolder folder;
    const std::string stream = folder.File("in.h264");
    bench::RunTimed("ffmpeg -nostdin -hide_banner -loglevel error -f lavfi -i "
                    "testsrc2=s=1920x1080:r=25:d=" +
                    std::to_string(kFrames / 25) +
                    " -c:v libx264 -preset superfast -tune zerolatency -g 25 -b:v 6M -f h264 -y " +
                    stream);

    // Access units in memory, so only decoding and scaling are timed.
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, stream.c_str(), nullptr, nullptr) != 0) {
        return 1;
    }
    AvInputFormatContextPtr input(raw);
    std::vector<std::vector<uint8_t>> units;
    std::vector<int> types;
    AvPacketPtr pkt(av_packet_alloc());
    while (av_read_frame(input.get(), pkt.get()) >= 0) {
        units.emplace_back(pkt->data, pkt->data + pkt->size);
        types.push_back((pkt->flags & AV_PKT_FLAG_KEY) ? kFrameH264Key : kFrameH264);
        av_packet_unref(pkt.get());
    }

    TDecodeVideo dec;
    if (dec.initialize() != 0) {
        return 1;
    }
    dec.SetClipWH(960, 540);
    int produced = 0;
    const double ours = bench::Seconds([&] {
        AVFrame* preview = nullptr;
        AVFrame* clip = nullptr;
        for (size_t i = 0; i < units.size(); ++i) {
            produced += dec.GetFrame_includeClip(true, units[i].data(), int(units[i].size()),
                                                 preview, clip, types[i]) != 0;
        }
    });
    const double reference = bench::RunTimed(
        "ffmpeg -nostdin -hide_banner -loglevel error -threads " +
        std::to_string(DecoderThreadCount()) + " -i " + stream +
        " -filter_complex \"[0:v]split=2[a][b];[a]scale=1280:720:flags=bicubic[p];"
        "[b]scale=960:540:flags=bicubic[c]\" -map \"[p]\" -f null - -map \"[c]\" -f null -");
    if (produced < int(units.size()) - 8) {
        std::fprintf(stderr, "only %d of %zu pictures decoded\n", produced, units.size());
        return 1;
    }
    bench::PrintRatio("bench_decode_clip (1080p, preview + clip)", "GetFrame_includeClip",
                      ours * 1000 / double(units.size()), "ffmpeg decode+2 scales",
                      reference * 1000 / double(units.size()));
    return 0;
}
