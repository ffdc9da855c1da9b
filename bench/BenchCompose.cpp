// Per-frame cost of the compositor with four channels on a 1920 x 1080
// canvas (four pushes and one canvas read), against ffmpeg's xstack
// arranging four 960 x 540 pictures.
#include "bench/BenchUtil.h"
#include "compose/CombineVideo.h"

#include <cstdio>
#include <vector>

extern "C" {
#include <libavutil/imgutils.h>
}

using namespace tavrin;

int main() {
    constexpr int kFrames = 1500;
    TCombineVideo comb;
    if (comb.initialize(1920, 1080) != 0) {
        return 1;
    }
    const int32_t ports[] = {1, 2, 3, 4};
    comb.SetCombinePorts(ports, 4);
    std::vector<AvFramePtr> pictures;
    for (int i = 0; i < 4; ++i) {
        AvFramePtr f(av_frame_alloc());
        f->format = AV_PIX_FMT_YUV420P;
        f->width = 960;
        f->height = 540;
        av_frame_get_buffer(f.get(), 0);
        for (int p = 0; p < 3; ++p) {
            std::fill_n(f->data[p], f->linesize[p] * (p == 0 ? 540 : 270), uint8_t(40 * (i + 1)));
        }
        pictures.push_back(std::move(f));
    }
    AvFramePtr canvas(av_frame_alloc());
    canvas->format = AV_PIX_FMT_YUV420P;
    canvas->width = 1920;
    canvas->height = 1080;
    av_frame_get_buffer(canvas.get(), 0);

    const double ours = bench::Seconds([&] {
        for (int n = 0; n < kFrames; ++n) {
            for (int i = 0; i < 4; ++i) {
                comb.PushYUVtoCombine(pictures[size_t(i)].get(), i + 1, 4, i + 1);
            }
            comb.GetFrame(canvas.get());
        }
    });
    const double reference = bench::RunTimed(
        "ffmpeg -nostdin -hide_banner -loglevel error -filter_complex "
        "\"color=c=gray:s=960x540:r=25:d=" +
        std::to_string(kFrames / 25) +
        ",format=yuv420p,split=4[a][b][c][d];"
        "[a][b][c][d]xstack=inputs=4:layout=0_0|w0_0|0_h0|w0_h0,format=yuv420p\" -f null -");
    bench::PrintRatio("bench_compose (4 slots, 1920x1080)", "TCombineVideo", ours * 1000 / kFrames,
                      "ffmpeg xstack", reference * 1000 / kFrames);
    return 0;
}
