// The YUV 4:2:0 scalers the hot path could use, on the sizes the channels
// deliver: libswscale's bicubic (the quality reference), its faster modes,
// and libyuv's box and bilinear filters. Prints CPU time per picture and the
// PSNR of each against the bicubic picture, for three kinds of picture.
#include "av/AvPtr.h"
#include "bench/BenchUtil.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <libyuv/scale.h>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/imgutils.h>
}

using namespace tavrin;

namespace {

struct TPicture {
    int w = 0;
    int h = 0;
    std::vector<uint8_t> buf;
    uint8_t* plane[3] = {};
    int stride[3] = {};

    TPicture(int width, int height) : w(width), h(height), buf(size_t(width) * height * 3 / 2) {
        plane[0] = buf.data();
        plane[1] = plane[0] + size_t(w) * h;
        plane[2] = plane[1] + size_t(w / 2) * (h / 2);
        stride[0] = w;
        stride[1] = stride[2] = w / 2;
    }
};

TPicture Source(const bench::TempFolder& folder, const std::string& lavfi, int w, int h) {
    const std::string file = folder.File("src.yuv");
    // Through x264 and back, as the phones' pictures arrive.
    bench::RunTimed("ffmpeg -nostdin -hide_banner -loglevel error -f lavfi -i '" + lavfi +
                    "=s=" + std::to_string(w) + "x" + std::to_string(h) +
                    "' -frames:v 1 -c:v libx264 -preset veryfast -b:v 4M -f h264 -y " +
                    folder.File("src.h264") +
                    " && ffmpeg -nostdin -hide_banner -loglevel error -i " +
                    folder.File("src.h264") + " -pix_fmt yuv420p -f rawvideo -y " + file);
    TPicture p(w, h);
    std::ifstream in(file, std::ios::binary);
    in.read(reinterpret_cast<char*>(p.buf.data()), std::streamsize(p.buf.size()));
    return p;
}

double Psnr(const TPicture& a, const TPicture& b) {
    double se = 0;
    for (size_t i = 0; i < a.buf.size(); ++i) {
        const double d = double(a.buf[i]) - double(b.buf[i]);
        se += d * d;
    }
    const double mse = se / double(a.buf.size());
    return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

void Swscale(const TPicture& src, TPicture& dst, int flags, int rounds) {
    SwsContextPtr ctx(sws_getContext(src.w, src.h, AV_PIX_FMT_YUV420P, dst.w, dst.h,
                                     AV_PIX_FMT_YUV420P, flags, nullptr, nullptr, nullptr));
    for (int i = 0; i < rounds; ++i) {
        sws_scale(ctx.get(), src.plane, src.stride, 0, src.h, dst.plane, dst.stride);
    }
}

void Libyuv(const TPicture& src, TPicture& dst, libyuv::FilterMode mode, int rounds) {
    for (int i = 0; i < rounds; ++i) {
        libyuv::I420Scale(src.plane[0], src.stride[0], src.plane[1], src.stride[1], src.plane[2],
                          src.stride[2], src.w, src.h, dst.plane[0], dst.stride[0], dst.plane[1],
                          dst.stride[1], dst.plane[2], dst.stride[2], dst.w, dst.h, mode);
    }
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 40;
    bench::TempFolder folder;
    struct TCase {
        int sw, sh, dw, dh;
    };
    const std::vector<TCase> all = {{1920, 1080, 1280, 720}, {1920, 1080, 960, 540},
                                    {1920, 1080, 640, 360},  {1280, 720, 960, 540},
                                    {1280, 720, 640, 360},   {1280, 720, 1920, 1080},
                                    {1920, 1080, 852, 480},  {1920, 1080, 1920, 1080}};
    const char* kinds[] = {"testsrc2", "mandelbrot", "gradients"};
    // BENCH_SCALE_CASE=i runs one case only.
    std::vector<TCase> cases = all;
    if (const char* one = std::getenv("BENCH_SCALE_CASE")) {
        cases = {all.at(size_t(std::atoi(one)))};
    }
    for (const TCase& c : cases) {
        for (const char* kind : kinds) {
            const TPicture src = Source(folder, kind, c.sw, c.sh);
            TPicture ref(c.dw, c.dh);
            TPicture out(c.dw, c.dh);
            const auto cpuMs = [&](auto&& work) {
                const double start = bench::CpuSeconds();
                work();
                return (bench::CpuSeconds() - start) * 1000 / rounds;
            };
            const double bicubic = cpuMs([&] { Swscale(src, ref, SWS_BICUBIC, rounds); });
            std::printf("scale %dx%d->%dx%d %-10s sws_bicubic %.3f ms", c.sw, c.sh, c.dw, c.dh,
                        kind, bicubic);
            const struct {
                const char* name;
                int flags;
            } sws[] = {{"sws_bilinear", SWS_BILINEAR},
                       {"sws_fast_bilinear", SWS_FAST_BILINEAR},
                       {"sws_area", SWS_AREA}};
            for (const auto& m : sws) {
                const double ms = cpuMs([&] { Swscale(src, out, m.flags, rounds); });
                std::printf(" | %s %.3f ms %.1f dB", m.name, ms, Psnr(ref, out));
            }
            const struct {
                const char* name;
                libyuv::FilterMode mode;
            } yuv[] = {{"yuv_box", libyuv::kFilterBox}, {"yuv_bilinear", libyuv::kFilterBilinear}};
            for (const auto& m : yuv) {
                const double ms = cpuMs([&] { Libyuv(src, out, m.mode, rounds); });
                std::printf(" | %s %.3f ms %.1f dB", m.name, ms, Psnr(ref, out));
            }
            std::printf("\n");
        }
    }
    return 0;
}
