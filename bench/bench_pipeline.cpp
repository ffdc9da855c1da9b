// The programme pipeline at 1080p for a while: four synthetic channels
// delivering pictures at their slot sizes at 25 fps, a tone as the main
// channel's sound, the caption, recording into a lesson store and pushing to
// an RTMP server. Prints tick lateness, missed ticks and CPU seconds per
// programme second. Usage: bench_pipeline RTMP_URL SECONDS STORE_ROOT
#include "base/GloTimer.h"
#include "bench/BenchOutputs.h"
#include "bench/BenchUtil.h"
#include "compose/CombineOut.h"
#include "output/EncodeAudio.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace tavrin;

namespace {

struct Channel {
    int port = 0;
    AvFramePtr picture;
    int index = 0;

    void Push(TCombineOut& out) {
        int w = 0;
        int h = 0;
        int count = 0;
        const int slot = out.GetIfNeedPushYUV_EX(port, w, h, count);
        if (slot <= 0) {
            return;
        }
        if (!picture || picture->width != w || picture->height != h) {
            picture = AllocPicture(w, h);
            if (!picture) {
                return;
            }
        }
        // A gradient that shifts every picture, so the encoder has real work.
        for (int y = 0; y < h; ++y) {
            uint8_t* row = picture->data[0] + size_t(y) * size_t(picture->linesize[0]);
            for (int x = 0; x < w; ++x) {
                row[x] = uint8_t(x + y + index * 4 + port * 50);
            }
        }
        for (int plane = 1; plane < 3; ++plane) {
            for (int y = 0; y < h / 2; ++y) {
                std::fill_n(picture->data[plane] + size_t(y) * size_t(picture->linesize[plane]),
                            w / 2, uint8_t(96 + port * 16 + plane * 8));
            }
        }
        ++index;
        out.PushYUVtoCombine(picture.get(), port, count, slot);
    }
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: bench_pipeline RTMP_URL SECONDS STORE_ROOT\n");
        return 2;
    }
    const std::string url = argv[1];
    const int seconds = std::atoi(argv[2]);
    const int w = 1920;
    const int h = 1080;

    bench::TBenchOutputs outputs;
    if (!outputs.Open("bench_pipeline", url, argv[3], w, h)) {
        return 1;
    }

    TLessionInfo lesson;
    lesson.LessionName = "第3课：认识分数";
    TCombineOut out;
    if (out.initialize(nullptr, 0, w, h, 8000 * 1024, SDL_Rect{0, 0, 0, 0}, &lesson) ==
        TCombineOut::kNoPipeline) {
        return 1;
    }
    out.SetOutputs(&outputs.sender, &outputs.recorder);
    const int32_t ports[] = {1, 2, 3, 4};
    out.SetCombinePorts(ports, 4);
    out.SetMainPortForAudio(1);
    out.SetCaptureState(true);

    TEncodeAudio audio;
    audio.initialize_item(AV_SAMPLE_FMT_S16, 2, 48000);
    std::vector<int16_t> pcm(2048);
    std::vector<uint8_t> aac;
    int64_t sample = 0;

    Channel channels[4];
    for (int i = 0; i < 4; ++i) {
        channels[i].port = i + 1;
    }
    out.Start();
    const double cpuStart = bench::CpuSeconds();
    const uint32_t start = GetGlobeCount();
    uint32_t nextPicture = 0;
    double nextSound = 0;
    for (uint32_t now = 0; now < uint32_t(seconds) * 1000; now = GlobeElapsed(start)) {
        if (now >= nextPicture) {
            for (Channel& c : channels) {
                c.Push(out);
            }
            nextPicture += 40;
        }
        while (now >= nextSound) {
            for (size_t i = 0; i < 1024; ++i, ++sample) {
                pcm[2 * i] = pcm[2 * i + 1] =
                    int16_t(6000.0 * std::sin(2.0 * M_PI * 440.0 * double(sample) / 48000.0));
            }
            audio.addPCM(nullptr, 1024, reinterpret_cast<uint8_t*>(pcm.data()));
            bool frameError = false;
            while (audio.GetAAC(aac, frameError) > int(kMediaFrameHeadSize)) {
                out.PushAAC(aac.data() + kMediaFrameHeadSize, int(aac.size() - kMediaFrameHeadSize),
                            1, nullptr);
            }
            nextSound += 1024.0 * 1000.0 / 48000.0;
        }
        SleepMs(2);
    }
    out.Terminate();
    out.WaitFor();
    const double cpu = bench::CpuSeconds() - cpuStart;
    TClientSendInfo info;
    outputs.Close(info);

    TCombineOut::TTickStats stats;
    out.GetTickStats(stats);
    std::vector<uint16_t> late = stats.lateness;
    std::sort(late.begin(), late.end());
    const auto at = [&](double q) { return int(bench::Quantile(late, q)); };
    std::printf("ours: ticks=%llu missed=%llu lateness_ms median=%d p99=%d max=%d sent=%u "
                "cpu_per_programme_second=%.3f\n",
                (unsigned long long)stats.ticks, (unsigned long long)stats.missed, at(0.5),
                at(0.99), late.empty() ? 0 : int(late.back()), info.nHasSendFrames,
                cpu / double(seconds));
    return 0;
}
