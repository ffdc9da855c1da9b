// Preparing a new lesson: the recorder's allocation of index.dat and av.dat
// against writing every zero byte of them, as a ratio of wall time.
#include "bench/BenchStoreTools.h"
#include "output/LessonStoreFormat.h"
#include "output/SaveAV.h"
#include "output/StoreFile.h"

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <vector>

using namespace tavrin;

int main() {
    bench::TScratchDir dir;
    TGetLessionInfo paths;
    paths.initialize(dir.Path(), "1001");

    // The recorder preparing a fresh lesson, three times; the middle figure.
    std::vector<double> allocate;
    for (int lesson = 1; lesson <= 3; ++lesson) {
        TSaveAV rec;
        rec.Create(paths);
        const double t0 = bench::WallSeconds();
        if (rec.NewLession(lesson, 1920, 1080) != 0) {
            std::fprintf(stderr, "bench_store_prepare: lesson %d not prepared\n", lesson);
            return 1;
        }
        allocate.push_back(bench::WallSeconds() - t0);
        rec.EndLession();
        std::filesystem::remove_all(dir.Path() + "/1001/" + std::to_string(lesson));
    }
    std::sort(allocate.begin(), allocate.end());

    // The same two files written zero by zero, as without allocation support.
    TStoreFile index, av;
    const std::string base = dir.Path() + "/zeros-";
    if (index.Open(base + "index.dat", O_RDWR | O_CREAT, TStoreFile::TLock::Exclusive) != 0 ||
        av.Open(base + "av.dat", O_RDWR | O_CREAT, TStoreFile::TLock::Exclusive) != 0) {
        std::fprintf(stderr, "bench_store_prepare: scratch files not created\n");
        return 1;
    }
    const double t0 = bench::WallSeconds();
    const bool ok = index.FillZeros(kIndexFileSize, TPrepareMode::WriteZeros, nullptr) &&
                    av.FillZeros(kAVFileSize, TPrepareMode::WriteZeros, nullptr);
    const double zeros = bench::WallSeconds() - t0;
    if (!ok) {
        std::fprintf(stderr, "bench_store_prepare: writing zeros failed\n");
        return 1;
    }
    std::printf("store prepare: new lesson (10 MB index + 2 GB data) allocated in %.4f s, "
                "written as zeros in %.3f s; ratio %.4f (allocate / zeros)\n",
                allocate[1], zeros, allocate[1] / zeros);
    return 0;
}
