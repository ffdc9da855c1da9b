// Five phone channels into a 1080p programme showing four of them (2 x 2),
// recorded into a lesson store and pushed to an RTMP server, for a while.
// The phones are simulators already listening on 127.0.0.2-6 that make
// every 50th picture plain white and log when they sent it; each tick's
// programme picture is searched for those white pictures, which gives the
// latency from a phone sending a picture to the tick that composed it.
// Prints CPU seconds per programme second (this process only), tick
// lateness, missed ticks and the latency, with the time the marked pictures
// spent in each stage: sent to queued in the worker (network and socket
// read), queued to taken (queue depth pacing), taken to decoded (decoder
// delay), decoded to placed in the programme (scaling, hand-over) and placed
// to seen in a tick (tick phase).
// Usage: bench_phones RTMP_URL SECONDS STORE_ROOT SIM1_LOG ... SIM5_LOG
#include "base/GloTimer.h"
#include "bench/BenchOutputs.h"
#include "bench/BenchUtil.h"
#include "cli/MarkProbe.h"
#include "compose/CombineOut.h"
#include "sources/CManager.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

using namespace tavrin;

namespace {

constexpr int kPhones = 5;
constexpr int kShown = 4;
constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr double kLongestLatency = 1.5; // seconds; a later sighting is another mark

// Serves the socket events for ms milliseconds, sleeping while none come.
void RunEventsFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double WallClockSeconds() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// The recorder's own latency probe tells a marked quadrant.
bool QuadrantIsWhite(const AVFrame* picture, int slot) {
    return cli::TMarkProbe::QuadrantIsWhite(picture, slot);
}

// The send times of the marked pictures a simulator logged.
std::vector<double> MarkTimes(const std::string& log) {
    std::vector<double> times;
    std::ifstream in(log);
    std::string word;
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        long index = 0;
        double when = 0;
        if (words >> word && word == "mark" && words >> index >> when) {
            times.push_back(when);
        }
    }
    return times;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4 + kPhones) {
        std::fprintf(stderr, "usage: bench_phones RTMP_URL SECONDS STORE_ROOT SIM1_LOG ... "
                             "SIM5_LOG\n");
        return 2;
    }
    const int seconds = std::atoi(argv[2]);
    int qtArgc = 1;
    QCoreApplication app(qtArgc, argv);

    bench::TBenchOutputs outputs;
    if (!outputs.Open("bench_phones", argv[1], argv[3], kWidth, kHeight)) {
        return 1;
    }

    TLessionInfo lesson;
    lesson.LessionName = "第3课：认识分数";
    TCManager manager;
    manager.SetOutputs(&outputs.sender, &outputs.recorder);
    if (manager.initialize(0, kWidth, kHeight, 8000 * 1024, {0, 0, 320, 180}, 0, {1, 2, 3, 4, 5},
                           {}, {}, &lesson) != 0) {
        std::fprintf(stderr, "bench_phones: the programme cannot be made\n");
        return 1;
    }
    for (int ch = 1; ch <= kPhones; ++ch) {
        manager.ConnectThis("127.0.0." + std::to_string(ch + 1), ch, kDevicePhone);
    }
    manager.SetCombinePorts({1, 2, 3, 4}, false);
    manager.SetMainPortForAudio(1);

    // Wait (bounded) for every phone, then let the queues settle.
    const uint32_t connecting = GetGlobeCount();
    auto allConnected = [&] {
        for (int ch = 1; ch <= kPhones; ++ch) {
            TClientInfo info;
            if (!manager.GetConInfo(ch, info) || !info.bConnectOK) {
                return false;
            }
        }
        return true;
    };
    while (!allConnected() && GlobeElapsed(connecting) < 15000) {
        RunEventsFor(50);
    }
    if (!allConnected()) {
        std::fprintf(stderr, "bench_phones: not every phone connected\n");
        manager.Destroy();
        return 1;
    }
    RunEventsFor(2000);

    // Rising edges of white in each shown quadrant, as wall-clock times.
    std::mutex seenLock;
    std::vector<double> seen[kShown + 1];
    bool white[kShown + 1] = {};
    manager.Programme()->SetTickObserver([&](const AVFrame* picture) {
        const double now = WallClockSeconds();
        std::lock_guard<std::mutex> lock(seenLock);
        for (int slot = 1; slot <= kShown; ++slot) {
            const bool w = QuadrantIsWhite(picture, slot);
            if (w && !white[slot]) {
                seen[slot].push_back(now);
            }
            white[slot] = w;
        }
    });
    // Every stage of every picture of the shown channels, by its stamp.
    struct TStageTime {
        int port;
        int stage;
        int64_t pts;
        double at;
    };
    std::mutex stageLock;
    std::vector<TStageTime> stages;
    stages.reserve(size_t(seconds + 5) * 25 * kShown * 4);
    for (int ch = 1; ch <= kShown; ++ch) {
        manager.Worker(ch)->SetStageObserver(
            [&](int port, TClientThread::TStage stage, int64_t pts) {
                const double now = WallClockSeconds();
                std::lock_guard<std::mutex> lock(stageLock);
                stages.push_back({port, int(stage), pts, now});
            });
    }
    TCombineOut::TTickStats before;
    manager.Programme()->GetTickStats(before);
    manager.StartCapture(true);
    const double cpuStart = bench::CpuSeconds();
    RunEventsFor(seconds * 1000);
    const double cpu = bench::CpuSeconds() - cpuStart;
    manager.Programme()->SetTickObserver(nullptr);
    for (int ch = 1; ch <= kShown; ++ch) {
        manager.Worker(ch)->SetStageObserver(nullptr);
    }
    TCombineOut::TTickStats stats;
    manager.Programme()->GetTickStats(stats);
    int64_t dropped = 0;
    for (int ch = 1; ch <= kPhones; ++ch) {
        dropped += manager.Worker(ch)->DroppedVideo();
    }
    manager.Destroy();
    TClientSendInfo sent;
    outputs.Close(sent);

    // The ticks of the measured period only.
    const size_t measured = size_t(stats.ticks - before.ticks);
    std::vector<uint16_t> late(stats.lateness.end() - std::min(stats.lateness.size(), measured),
                               stats.lateness.end());
    std::sort(late.begin(), late.end());
    const auto at = [&](double q) { return int(bench::Quantile(late, q)); };

    // Each sighting belongs to the latest mark its phone sent before it.
    std::vector<double> latency;
    size_t unmatched = 0;
    constexpr int kStages = 5; // the four worker stages and the tick
    std::vector<double> waits[kStages];
    for (int slot = 1; slot <= kShown; ++slot) {
        const std::vector<double> marks = MarkTimes(argv[3 + slot]);
        for (double t : seen[slot]) {
            auto after = std::upper_bound(marks.begin(), marks.end(), t);
            if (after == marks.begin() || t - *(after - 1) > kLongestLatency) {
                ++unmatched;
                continue;
            }
            const double sent = *(after - 1);
            latency.push_back(t - sent);
            // The marked unit carries the send time as its stamp (ms).
            double at[kStages] = {};
            for (const TStageTime& st : stages) {
                if (st.port == slot && std::abs(double(st.pts) / 1e6 - sent) < 0.005 &&
                    at[st.stage] == 0) {
                    at[st.stage] = st.at;
                }
            }
            at[kStages - 1] = t;
            double previous = sent;
            for (int i = 0; i < kStages; ++i) {
                if (at[i] == 0) {
                    break;
                }
                waits[i].push_back(at[i] - previous);
                previous = at[i];
            }
        }
    }
    std::sort(latency.begin(), latency.end());
    const auto ms = [&](double q) { return 1000.0 * bench::Quantile(latency, q); };
    std::printf("ours: ticks=%zu missed=%llu lateness_ms median=%d p99=%d max=%d "
                "latency_ms median=%.0f p95=%.0f max=%.0f marks_seen=%zu unmatched=%zu "
                "dropped_pictures=%lld sent=%u cpu_per_programme_second=%.3f\n",
                measured, (unsigned long long)(stats.missed - before.missed), at(0.5), at(0.99),
                late.empty() ? 0 : int(late.back()), ms(0.5), ms(0.95),
                latency.empty() ? 0.0 : 1000.0 * latency.back(), latency.size(), unmatched,
                (long long)dropped, sent.nHasSendFrames, cpu / double(seconds));
    const char* names[kStages] = {"send_to_queued", "queued_to_taken", "taken_to_decoded",
                                  "decoded_to_placed", "placed_to_tick"};
    std::printf("stages_ms (median/p95):");
    for (int i = 0; i < kStages; ++i) {
        std::sort(waits[i].begin(), waits[i].end());
        std::printf(" %s=%.0f/%.0f", names[i], 1000.0 * bench::Quantile(waits[i], 0.5),
                    1000.0 * bench::Quantile(waits[i], 0.95));
    }
    std::printf("\n");
    return 0;
}
