// The YUV 4:2:0 scalers the hot path could use, on the sizes the channels
// deliver: libswscale's bicubic (the quality reference), its faster modes,
// and libyuv's box and bilinear filters. Prints one line: per method the CPU
// time relative to bicubic over all cases and its worst PSNR against the
// bicubic picture; BENCH_SCALE_DETAIL=1 prints every case. An argument that
// is a number sets the rounds per case.
#include "av/AvPtr.h"
#include "bench/BenchUtil.h"
#include "decode/YuvScaler.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
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
    const int asked = argc > 1 ? std::atoi(argv[1]) : 0;
    const int rounds = asked > 0 ? asked : 40;
    const bool detail = std::getenv("BENCH_SCALE_DETAIL") != nullptr;
    // Totals per method over all cases: CPU ms and the worst PSNR. Slot 0 is
    // bicubic, the last one the method the decoder picks per size.
    constexpr int kMethods = 7;
    const char* names[kMethods] = {"sws_bicubic", "sws_bilinear", "sws_fast_bilinear",
                                   "sws_area",    "yuv_box",      "yuv_bilinear",
                                   "chosen"};
    double totalMs[kMethods] = {};
    double worstDb[kMethods];
    std::fill(std::begin(worstDb), std::end(worstDb), 99.0);
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
            totalMs[0] += bicubic;
            if (detail) {
                std::printf("scale %dx%d->%dx%d %-10s sws_bicubic %.3f ms", c.sw, c.sh, c.dw, c.dh,
                            kind, bicubic);
            }
            int m = 1;
            const auto note = [&](const char* name, double ms) {
                const double db = Psnr(ref, out);
                totalMs[m] += ms;
                worstDb[m] = std::min(worstDb[m], db);
                ++m;
                if (detail) {
                    std::printf(" | %s %.3f ms %.1f dB", name, ms, db);
                }
            };
            const struct {
                const char* name;
                int flags;
            } sws[] = {{"sws_bilinear", SWS_BILINEAR},
                       {"sws_fast_bilinear", SWS_FAST_BILINEAR},
                       {"sws_area", SWS_AREA}};
            for (const auto& m : sws) {
                note(m.name, cpuMs([&] { Swscale(src, out, m.flags, rounds); }));
            }
            const struct {
                const char* name;
                libyuv::FilterMode mode;
            } yuv[] = {{"yuv_box", libyuv::kFilterBox}, {"yuv_bilinear", libyuv::kFilterBilinear}};
            for (const auto& m : yuv) {
                note(m.name, cpuMs([&] { Libyuv(src, out, m.mode, rounds); }));
            }
            TYuvScaler chosen;
            chosen.Prepare(c.sw, c.sh, AV_PIX_FMT_YUV420P, c.dw, c.dh);
            note("chosen", cpuMs([&] {
                     for (int i = 0; i < rounds; ++i) {
                         chosen.Scale(src.plane, src.stride, out.plane, out.stride);
                     }
                 }));
            if (detail) {
                std::printf("\n");
            }
        }
    }
    std::printf("bench_scale (channel sizes, CPU relative to bicubic, worst PSNR):");
    for (int i = 1; i < kMethods; ++i) {
        std::printf(" %s %.2f %.1f dB;", names[i], totalMs[i] / totalMs[0], worstDb[i]);
    }
    std::printf("\n");
    return 0;
}
