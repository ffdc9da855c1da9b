// CPU per preview picture of the display ports (SDL software renderer,
// offscreen targets), against the same YUV->RGB conversion and scaling done
// by libswscale alone, measured in the same run. Prints one line.
#include <cstdio>
#include <ctime>
#include <vector>

extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include "decode/DispManager.h"

using namespace tavrin;

namespace {

constexpr int kW = 1280;
constexpr int kH = 720;
constexpr int kRounds = 60;

double CpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Two moving test pictures so that nothing can be served from a cache.
std::vector<uint8_t> Picture(int phase) {
    std::vector<uint8_t> p(size_t(kW) * kH * 3 / 2);
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            p[size_t(y) * kW + x] = uint8_t(16 + (x + y + phase) % 220);
        }
    }
    uint8_t* u = p.data() + size_t(kW) * kH;
    for (size_t i = 0; i < size_t(kW) * kH / 2; ++i) {
        u[i] = uint8_t(64 + (i / 7 + phase) % 128);
    }
    return p;
}

// Panes of the five-channel grid on a 1920 x 1040 client area: the
// programme pane and five channel panes.
std::vector<SDL_Rect> FiveChannelGrid() {
    const int H = 1040 - (49 + 125);
    const int W = 1920;
    int w = W, h = W * 9 / 16;
    if (H * 16 < W * 9) {
        h = H;
        w = H * 16 / 9;
    }
    const int c = w / 3, r = h / 3;
    std::vector<SDL_Rect> panes{{0, 0, 2 * c - 1, 2 * r - 1}};
    for (int i = 1; i <= 3; ++i) {
        panes.push_back({0, 0, c - 2, r - 1});
    }
    panes.push_back({0, 0, c - 1, r - 1});
    panes.push_back({0, 0, c - 1, r - 1});
    return panes;
}

// CPU ms per round of one picture into every pane.
double PortsMs(const std::vector<SDL_Rect>& panes, const std::vector<uint8_t> (&pictures)[2]) {
    TDispManager manager;
    for (const SDL_Rect& pane : panes) {
        manager.createNewPort(0, kW, kH, pane);
    }
    const double start = CpuMs();
    for (int round = 0; round < kRounds; ++round) {
        for (int port = 0; port < int(panes.size()); ++port) {
            manager.pushFrame(port, pictures[round % 2].data(), kW, nullptr, nullptr, nullptr,
                              nullptr);
        }
    }
    return (CpuMs() - start) / kRounds;
}

double SwscaleMs(const std::vector<SDL_Rect>& panes, const std::vector<uint8_t> (&pictures)[2]) {
    struct Target {
        SwsContext* sws;
        std::vector<uint8_t> rgb;
        int stride;
    };
    std::vector<Target> targets;
    for (const SDL_Rect& pane : panes) {
        SwsContext* sws = sws_getContext(kW, kH, AV_PIX_FMT_YUV420P, pane.w, pane.h,
                                         AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr, nullptr);
        const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
        sws_setColorspaceDetails(sws, bt709, 0, bt709, 1, 0, 1 << 16, 1 << 16);
        targets.push_back({sws, std::vector<uint8_t>(size_t(pane.w) * pane.h * 4), pane.w * 4});
    }
    const double start = CpuMs();
    for (int round = 0; round < kRounds; ++round) {
        const uint8_t* y = pictures[round % 2].data();
        const size_t luma = size_t(kW) * kH;
        const uint8_t* src[3] = {y, y + luma, y + luma * 5 / 4};
        const int srcStride[3] = {kW, kW / 2, kW / 2};
        for (Target& t : targets) {
            uint8_t* dst[1] = {t.rgb.data()};
            sws_scale(t.sws, src, srcStride, 0, kH, dst, &t.stride);
        }
    }
    const double ms = (CpuMs() - start) / kRounds;
    for (Target& t : targets) {
        sws_freeContext(t.sws);
    }
    return ms;
}

} // namespace

int main() {
    const std::vector<uint8_t> pictures[2] = {Picture(0), Picture(37)};
    const std::vector<SDL_Rect> one{{0, 0, kW, kH}};
    const std::vector<SDL_Rect> grid = FiveChannelGrid();

    const double oneRef = SwscaleMs(one, pictures);
    const double onePorts = PortsMs(one, pictures);
    const double gridRef = SwscaleMs(grid, pictures);
    const double gridPorts = PortsMs(grid, pictures);

    std::printf("bench_display: one 1280x720 port %.2f ms CPU/picture vs swscale %.2f ms, "
                "ratio %.2f; five-channel grid (6 ports, 1280x720 pictures) %.2f ms CPU per "
                "tick = %.0f%% of a core at 25 fps vs swscale %.2f ms, ratio %.2f\n",
                onePorts, oneRef, onePorts / oneRef, gridPorts, gridPorts * 25 / 10, gridRef,
                gridPorts / gridRef);
    return 0;
}
