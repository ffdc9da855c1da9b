// Per-picture cost of TEncodeVideo at 1920 x 1080 against the ffmpeg command
// line encoding the same raw pictures with the same libx264 settings.
#include "bench/BenchUtil.h"
#include "output/EncodeVideo.h"

#include <cstdio>
#include <vector>

extern "C" {
#include <libavutil/imgutils.h>
}

using namespace tavrin;

int main() {
    constexpr int kFrames = 75;
    constexpr int kW = 1920;
    constexpr int kH = 1080;
    bench::TempFolder folder;
    const std::string rawFile = folder.File("in.yuv");
    bench::RunTimed("ffmpeg -nostdin -hide_banner -loglevel error -f lavfi -i "
                    "testsrc2=s=1920x1080:r=25:d=3 -frames:v " +
                    std::to_string(kFrames) + " -pix_fmt yuv420p -f rawvideo -y " + rawFile);

    TEncodeVideo enc;
    if (enc.initialize(kW, kH, 4096 * 1024, false) != 0) {
        return 1;
    }
    AvFramePtr pic(av_frame_alloc());
    pic->format = AV_PIX_FMT_YUV420P;
    pic->width = kW;
    pic->height = kH;
    av_frame_get_buffer(pic.get(), 1);
    const size_t pictureBytes = size_t(kW) * kH * 3 / 2;
    std::vector<uint8_t> buffer(pictureBytes);
    std::vector<uint8_t> unit;
    int units = 0;
    FILE* in = std::fopen(rawFile.c_str(), "rb");
    if (in == nullptr) {
        return 1;
    }
    const double ours = bench::Seconds([&] {
        while (std::fread(buffer.data(), 1, pictureBytes, in) == pictureBytes) {
            const uint8_t* planes[4] = {buffer.data(), buffer.data() + kW * kH,
                                        buffer.data() + kW * kH * 5 / 4, nullptr};
            const int lines[4] = {kW, kW / 2, kW / 2, 0};
            av_image_copy(pic->data, pic->linesize, planes, lines, AV_PIX_FMT_YUV420P, kW, kH);
            int type = 0;
            units += enc.GetPackage(pic.get(), unit, type) > 0;
        }
    });
    std::fclose(in);
    const double reference = bench::RunTimed(
        "ffmpeg -nostdin -hide_banner -loglevel error -f rawvideo -pix_fmt yuv420p -s 1920x1080 "
        "-r 25 -i " +
        rawFile +
        " -c:v libx264 -preset superfast -tune zerolatency -profile:v high -g 25 -keyint_min 25 "
        "-x264-params scenecut=0 -b:v 4M -threads 3 -f h264 -y /dev/null");
    if (units < kFrames - 4) {
        std::fprintf(stderr, "only %d units for %d pictures\n", units, kFrames);
        return 1;
    }
    bench::PrintRatio("bench_encode (1080p libx264)", "TEncodeVideo", ours * 1000 / kFrames,
                      "ffmpeg -c:v libx264", reference * 1000 / kFrames);
    return 0;
}
