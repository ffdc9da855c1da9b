// Sustained recording: 25 pictures and 47 AAC frames per second at
// 22 Mbit/s through the recorder, as CPU time per recorded second and as a
// ratio to a plain write() loop of the same frame bytes into a file
// allocated the same way.
#include "base/MediaFrame.h"
#include "bench/BenchStoreTools.h"
#include "output/LessonStoreFormat.h"
#include "output/SaveAV.h"

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

using namespace tavrin;

namespace {

constexpr int kSeconds = 60;
constexpr size_t kBytesPerSecond = 22'000'000 / 8;
constexpr size_t kAudioBytes = 350;
constexpr size_t kKeyBytes = 250'000;
constexpr size_t kPictureBytes = (kBytesPerSecond - 47 * kAudioBytes - kKeyBytes) / 24;

struct TContent {
    std::vector<uint8_t> key, picture, audio;                // payloads
    std::vector<uint8_t> keyFrame, pictureFrame, audioFrame; // head + payload

    TContent() : key(kKeyBytes, 0x5A), picture(kPictureBytes, 0x33), audio(kAudioBytes, 0x21) {
        key[4] = 0x67;
        AssignMediaFrame(keyFrame, kFrameH264Key, 0, key);
        AssignMediaFrame(pictureFrame, kFrameH264, 0, picture);
        AssignMediaFrame(audioFrame, kFrameAAC, 0, audio);
    }
};

// One second as the output pipeline interleaves it: calls kind(0) for the
// key picture, kind(1) for another picture, kind(2) for an audio frame.
template <typename Push> void OneSecond(Push push) {
    int audio = 0;
    for (int picture = 0; picture < 25; ++picture) {
        push(picture == 0 ? 0 : 1);
        for (; audio < (picture + 1) * 47 / 25; ++audio) {
            push(2);
        }
    }
}

double RecorderCpu(const TGetLessionInfo& paths, int lesson, const TContent& c) {
    TSaveAV rec;
    rec.Create(paths);
    if (rec.NewLession(lesson, 1920, 1080) != 0) {
        return -1;
    }
    rec.SetCaptureState(true);
    const double t0 = bench::CpuSeconds();
    for (int s = 0; s < kSeconds; ++s) {
        OneSecond([&](int kind) {
            if (kind == 0) {
                rec.PushH264(c.key.data(), int(c.key.size()), kFrameH264Key);
            } else if (kind == 1) {
                rec.PushH264(c.picture.data(), int(c.picture.size()), kFrameH264);
            } else {
                rec.PushAAC(c.audio.data(), int(c.audio.size()));
            }
        });
    }
    rec.EndLession();
    return bench::CpuSeconds() - t0;
}

double WriteLoopCpu(const std::string& path, const TContent& c) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ::posix_fallocate(fd, 0, off_t(kAVFileSize)) != 0) {
        return -1;
    }
    bool ok = true;
    const double t0 = bench::CpuSeconds();
    for (int s = 0; s < kSeconds; ++s) {
        OneSecond([&](int kind) {
            const std::vector<uint8_t>& f =
                kind == 0 ? c.keyFrame : (kind == 1 ? c.pictureFrame : c.audioFrame);
            ok = ok && ::write(fd, f.data(), f.size()) == ssize_t(f.size());
        });
    }
    const double cpu = bench::CpuSeconds() - t0;
    ::close(fd);
    return ok ? cpu : -1;
}

} // namespace

int main() {
    bench::TScratchDir dir;
    TGetLessionInfo paths;
    paths.initialize(dir.Path(), "1001");
    const TContent content;

    // Alternate the two so both meet the same page cache; the middle of three.
    std::vector<double> recorder, plain;
    for (int round = 1; round <= 3; ++round) {
        plain.push_back(WriteLoopCpu(dir.Path() + "/plain.dat", content));
        recorder.push_back(RecorderCpu(paths, round, content));
        std::filesystem::remove_all(dir.Path() + "/1001/" + std::to_string(round));
        std::filesystem::remove(dir.Path() + "/plain.dat");
        if (plain.back() < 0 || recorder.back() < 0) {
            std::fprintf(stderr, "bench_store_record: scratch store not written\n");
            return 1;
        }
    }
    std::sort(recorder.begin(), recorder.end());
    std::sort(plain.begin(), plain.end());
    std::printf("store record: 25 pictures + 47 AAC frames/s at 22 Mbit/s, %d s: %.2f ms CPU per "
                "recorded second; ratio %.2f to a plain write() loop (%.2f ms)\n",
                kSeconds, recorder[1] * 1000.0 / kSeconds, recorder[1] / plain[1],
                plain[1] * 1000.0 / kSeconds);
    return 0;
}
