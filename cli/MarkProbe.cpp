#include "cli/MarkProbe.h"

#include <chrono>
#include <cstdio>

extern "C" {
#include <libavutil/frame.h>
}

namespace tavrin::cli {

namespace {

constexpr uint8_t kWhiteLuma = 225;
constexpr size_t kReservedSightings = size_t(4) * 3600;      // a mark a second per slot for an hour
constexpr size_t kReservedQueued = size_t(2) * 4 * 25 * 600; // two stages of ten minutes

double WallClockSeconds() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace

TMarkProbe::TMarkProbe(TCombineOut& programme, std::vector<const TClientThread*> workers)
    : Programme(programme), Workers(std::move(workers)) {
    Seen.reserve(kReservedSightings);
    Queued.reserve(kReservedQueued);
    Programme.SetTickObserver([this](const AVFrame* picture) { OnTick(picture); });
    for (size_t i = 0; i < Workers.size(); ++i) {
        if (Workers[i] == nullptr) {
            continue;
        }
        const int slot = int(i) + 1;
        Workers[i]->SetStageObserver([this, slot](int, TClientThread::TStage stage, int64_t pts) {
            if (stage != TClientThread::kStageQueued && stage != TClientThread::kStagePlayed) {
                return;
            }
            const double now = WallClockSeconds();
            std::lock_guard<std::mutex> lock(FQueuedLock);
            if (Queued.size() < Queued.capacity()) {
                Queued.push_back({slot, stage == TClientThread::kStagePlayed, pts, now});
            }
        });
    }
}

TMarkProbe::~TMarkProbe() {
    Stop();
}

void TMarkProbe::Stop() {
    Programme.SetTickObserver(nullptr);
    for (const TClientThread* worker : Workers) {
        if (worker != nullptr) {
            worker->SetStageObserver(nullptr);
        }
    }
}

bool TMarkProbe::QuadrantIsWhite(const AVFrame* picture, int slot) {
    const int cx = ((slot == 2 || slot == 4) ? 3 : 1) * picture->width / 4;
    const int cy = (slot >= 3 ? 3 : 1) * picture->height / 4;
    for (int y = cy - 16; y < cy + 16; ++y) {
        const uint8_t* row = picture->data[0] + size_t(y) * size_t(picture->linesize[0]);
        for (int x = cx - 16; x < cx + 16; ++x) {
            if (row[x] < kWhiteLuma) {
                return false;
            }
        }
    }
    return true;
}

void TMarkProbe::OnTick(const AVFrame* picture) {
    if (picture == nullptr || picture->width < 64 || picture->height < 64) {
        return;
    }
    const double now = WallClockSeconds();
    std::lock_guard<std::mutex> lock(FLock);
    for (int slot = 1; slot <= kSlots; ++slot) {
        const bool white = QuadrantIsWhite(picture, slot);
        if (white && !bWhite[slot] && Seen.size() < Seen.capacity()) {
            Seen.emplace_back(slot, now);
        }
        bWhite[slot] = white;
    }
}

bool TMarkProbe::Write(const std::string& path) {
    Stop();
    FILE* f = std::fopen(path.c_str(), "w");
    if (f == nullptr) {
        return false;
    }
    std::lock_guard<std::mutex> lock(FLock);
    for (const auto& [slot, at] : Seen) {
        std::fprintf(f, "seen %d %.6f\n", slot, at);
    }
    std::lock_guard<std::mutex> queuedLock(FQueuedLock);
    for (const TQueued& q : Queued) {
        std::fprintf(f, "%s %d %.6f %.6f\n", q.played ? "played" : "queued", q.slot,
                     double(q.stamp) / 1e6, q.at);
    }
    return std::fclose(f) == 0;
}

} // namespace tavrin::cli
