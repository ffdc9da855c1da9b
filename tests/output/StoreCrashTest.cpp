// Power cuts during a recording, replayed from its I/O log (see
// StoreCrashLab.h); bench/classroom/pulled_plug.sh runs the long version.
#include "tests/base/TempDir.h"
#include "tests/output/StoreCrashLab.h"

#include <gtest/gtest.h>

namespace tavrin::test {
namespace {

TEST(StoreCrashTest, EveryBlockMadeDurableSurvivesAPowerCutAndTheStoreRecordsOn) {
    TempDir dir;
    TCrashLabOptions options;
    options.workDir = dir.Path();
    // Past the 20th block the table leaves the counters' sector, so a flush
    // out of order can show.
    options.seconds = 24;
    options.subsets = 3;
    options.recordOnEvery = 3;
    options.seed = 29;
    const TCrashLabResult r = RunCrashLab(options);
    // Three flushes per block and the preparation's own.
    EXPECT_GE(r.syncs, 3 * options.seconds);
    EXPECT_GT(r.crashPoints, r.syncs);
    EXPECT_EQ(r.durableLost, 0) << r.firstProblem;
    EXPECT_EQ(r.damagedVisible, 0) << r.firstProblem;
    // Beyond the open block a cut can take only the block still being flushed.
    EXPECT_LE(r.maxLostAtOneCut, 1) << r.firstProblem;
    EXPECT_EQ(r.blocksLost, r.blocksInFlight);
    EXPECT_EQ(r.killLost, 0) << r.firstProblem;
    EXPECT_GT(r.recordOnTried, 0);
    EXPECT_EQ(r.recordOnFailures, 0) << r.firstProblem;
}

// The lab itself: a recorder that never flushes loses closed blocks to a cut
// (what the recorder did before its blocks were flushed).
TEST(StoreCrashTest, ARecorderThatNeverFlushesLosesClosedBlocks) {
    TempDir dir;
    TCrashLabOptions options;
    options.workDir = dir.Path();
    options.seconds = 4;
    options.subsets = 2;
    options.recordOnEvery = 1000;
    options.durable = false;
    const TCrashLabResult r = RunCrashLab(options);
    EXPECT_GE(r.maxLostAtOneCut, options.seconds - 1);
}

} // namespace
} // namespace tavrin::test
