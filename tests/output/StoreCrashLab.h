// Power cuts replayed from a recorder's I/O log, the way crash-safe storage
// engines are tested: a lesson is recorded over a logging I/O layer; then, at
// every sync point and just before the next, the disk is rebuilt as a power
// cut could leave it: what was synced, plus a seeded choice of the unsynced
// writes (each 512-byte sector either never written back or written back after
// some prefix of its writes; unsynced size changes and new names may or may
// not be there). Each image is opened with the store reader and checked
// block by block against the frames pushed, then recorded on and read back.
#pragma once

#include <cstdint>
#include <string>

namespace tavrin::test {

struct TCrashLabOptions {
    std::string workDir; // an empty folder on a real disk
    int seconds = 10;    // blocks recorded (one per second)
    int subsets = 4;     // images per crash point: none, all, and random choices
    uint32_t seed = 1;
    int recordOnEvery = 1; // record on after every n-th image (1: all)
    bool durable = true;   // false: the recorder never flushes (a control)
};

struct TCrashLabResult {
    int crashPoints = 0;
    int images = 0;
    // Blocks closed before the cut that did not read back intact.
    int blocksLost = 0;
    // ... of which the recorder was still flushing (closed, not yet durable).
    int blocksInFlight = 0;
    // Closed blocks lost where every write reached the disk (as when the
    // process is killed and the machine stays up): goal 0.
    int killLost = 0;
    // The most closed blocks one power cut took.
    int maxLostAtOneCut = 0;
    // Blocks the recorder had made durable that did not read back: goal 0.
    int durableLost = 0;
    // Blocks in the table that read back damaged: goal 0.
    int damagedVisible = 0;
    // Images on which the store did not open, record on and read back whole.
    int recordOnFailures = 0;
    int recordOnTried = 0;
    int logOps = 0;
    int syncs = 0;
    std::string firstProblem;
};

TCrashLabResult RunCrashLab(const TCrashLabOptions& options);

} // namespace tavrin::test
