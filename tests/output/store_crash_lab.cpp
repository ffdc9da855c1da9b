// Power cuts replayed over a recorded lesson; prints one result line.
// Usage: store_crash_lab DIR [seconds] [images-per-cut] [seed] [record-on-every]
#include "tests/output/StoreCrashLab.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: store_crash_lab DIR [seconds] [images] [seed] [every]\n");
        return 2;
    }
    tavrin::test::TCrashLabOptions options;
    options.workDir = argv[1];
    options.seconds = argc > 2 ? std::atoi(argv[2]) : 60;
    options.subsets = argc > 3 ? std::atoi(argv[3]) : 8;
    options.seed = argc > 4 ? uint32_t(std::atoi(argv[4])) : 1;
    options.recordOnEvery = argc > 5 ? std::atoi(argv[5]) : 4;
    const auto r = tavrin::test::RunCrashLab(options);
    std::printf(
        "pulled plug: %d s recorded, %d syncs, crash points tried %d (%d disk images), "
        "blocks lost beyond the open one %d (max %d at one cut, all %d still being "
        "flushed), with every write on the disk (a killed process) %d, durable blocks lost %d, "
        "damaged blocks shown %d, recorded on %d/%d\n",
        options.seconds, r.syncs, r.crashPoints, r.images, r.blocksLost, r.maxLostAtOneCut,
        r.blocksInFlight, r.killLost, r.durableLost, r.damagedVisible,
        r.recordOnTried - r.recordOnFailures, r.recordOnTried);
    if (!r.firstProblem.empty()) {
        std::printf("first problem: %s\n", r.firstProblem.c_str());
    }
    const bool met = r.durableLost == 0 && r.killLost == 0 && r.damagedVisible == 0 &&
                     r.recordOnFailures == 0 && r.maxLostAtOneCut <= 1;
    return met ? 0 : 1;
}
