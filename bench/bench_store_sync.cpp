// What making closed blocks durable costs: the same 22 Mbit/s seconds
// recorded with the flushes and without them, alternately, on the same disk.
// Reports the pushing thread's time per recorded second and its slowest
// single push (the flushes run on the syncer's thread, so these should hardly
// change), and the whole run until EndLession has flushed everything.
// Runs in a scratch folder of its own; takes no arguments.
#include "base/GetLessionInfo.h"
#include "base/MediaFrame.h"
#include "bench/BenchStoreTools.h"
#include "output/SaveAV.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace tavrin;
using Clock = std::chrono::steady_clock;

namespace {

constexpr size_t kAudioBytes = 350;
constexpr size_t kKeyBytes = 250'000;
constexpr size_t kPictureBytes = (22'000'000 / 8 - 47 * kAudioBytes - kKeyBytes) / 24;

struct TRun {
    double pushSeconds = 0; // the pushing thread's wall time
    double slowestPush = 0;
    double totalSeconds = 0; // until EndLession returned
};

double Since(Clock::time_point t0) {
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

bool Record(const std::string& root, int lesson, bool durable, int seconds, TRun& run) {
    std::vector<uint8_t> key(kKeyBytes, 0x5A), picture(kPictureBytes, 0x33),
        audio(kAudioBytes, 0x21);
    key[4] = 0x67;
    TGetLessionInfo paths;
    paths.initialize(root, "1");
    TSaveAV rec;
    rec.SetDurable(durable);
    rec.Create(paths);
    if (rec.NewLession(lesson, 1920, 1080) != 0) {
        return false;
    }
    rec.SetCaptureState(true);
    const auto start = Clock::now();
    const auto timed = [&run](auto push) {
        const auto t0 = Clock::now();
        push();
        const double took = Since(t0);
        run.pushSeconds += took;
        run.slowestPush = std::max(run.slowestPush, took);
    };
    for (int s = 0; s < seconds; ++s) {
        int sent = 0;
        for (int p = 0; p < 25; ++p) {
            if (p == 0) {
                timed([&] { rec.PushH264(key.data(), int(key.size()), kFrameH264Key); });
            } else {
                timed([&] { rec.PushH264(picture.data(), int(picture.size()), kFrameH264); });
            }
            for (; sent < (p + 1) * 47 / 25; ++sent) {
                timed([&] { rec.PushAAC(audio.data(), int(audio.size())); });
            }
        }
    }
    rec.EndLession();
    run.totalSeconds = Since(start);
    return true;
}

} // namespace

int main() {
    const bench::TScratchDir scratch;
    const std::string& dir = scratch.Path();
    constexpr int seconds = 30;
    TRun with, without;
    // Alternating rounds, so both see the same disk and load.
    for (int round = 0; round < 2; ++round) {
        TRun a, b;
        if (!Record(dir, 100 + round, false, seconds, a) ||
            !Record(dir, 200 + round, true, seconds, b)) {
            std::printf("durability cost: the store could not be prepared in %s\n", dir.c_str());
            return 1;
        }
        without.pushSeconds += a.pushSeconds;
        without.totalSeconds += a.totalSeconds;
        without.slowestPush = std::max(without.slowestPush, a.slowestPush);
        with.pushSeconds += b.pushSeconds;
        with.totalSeconds += b.totalSeconds;
        with.slowestPush = std::max(with.slowestPush, b.slowestPush);
    }
    const double n = 2.0 * seconds;
    std::printf("durability cost (%d s at 22 Mbit/s, twice each): pushing thread %.2f ms per "
                "recorded second with flushes vs %.2f without (ratio %.2f), slowest push %.1f vs "
                "%.1f ms; whole run with the final flush %.2f vs %.2f ms per second (ratio %.2f)\n",
                seconds, with.pushSeconds * 1000 / n, without.pushSeconds * 1000 / n,
                with.pushSeconds / std::max(1e-9, without.pushSeconds), with.slowestPush * 1000,
                without.slowestPush * 1000, with.totalSeconds * 1000 / n,
                without.totalSeconds * 1000 / n,
                with.totalSeconds / std::max(1e-9, without.totalSeconds));
    return 0;
}
