// A store I/O layer for tests: passes every call to the real file system,
// logs every write, size change and sync (to rebuild what a power cut
// would leave on the disk), and can make calls fail as a full or broken
// disk does.
#pragma once

#include "output/StoreIO.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace tavrin::test {

struct TStoreOp {
    enum TKind { Create, Truncate, Allocate, Write, Sync, SyncDir };
    TKind kind;
    int file;            // index into TLabStoreIO::Files(), -1 for SyncDir
    uint64_t offset = 0; // Write
    uint64_t size = 0;   // Truncate / Allocate: the new size
    std::vector<uint8_t> data;
    int closedBlocks = 0; // the test's mark when the call was made
};

class TLabStoreIO final : public TStoreIO {
public:
    // What the test has done so far, stamped on each logged call.
    void SetMark(int closedBlocks) { mark_ = closedBlocks; }
    void SetLogging(bool on) { logging_ = on; }

    // Faults: posix_fallocate of fromBytes or more answers err (0: none).
    void FailAllocate(int err, uint64_t fromBytes = 0) {
        allocateFrom_ = fromBytes;
        allocateErrno_ = err;
    }
    // Writes to files whose name ends with suffix fail with err once
    // okWrites more have succeeded (-1: never), failures times (-1: for good).
    void FailWrites(const std::string& suffix, int okWrites, int err, int failures = -1);
    // Syncs of such files fail with err.
    void FailSyncs(const std::string& suffix, int err);

    std::vector<TStoreOp> TakeLog();
    std::vector<std::string> Files() const;

    int Open(const char* path, int flags, mode_t mode) override;
    int Lock(int fd, int how) override;
    ssize_t PRead(int fd, void* data, size_t size, off_t offset) override;
    ssize_t PWritev(int fd, const iovec* parts, int count, off_t offset) override;
    int Truncate(int fd, off_t size) override;
    int Allocate(int fd, off_t size) override;
    int DataSync(int fd) override;
    int64_t Size(int fd) override;
    int Close(int fd) override;
    int SyncDir(const char* path) override;

private:
    int FileOf(int fd) const;
    bool Matches(int fd, const std::string& suffix) const;
    void Log(TStoreOp op);

    mutable std::mutex lock_;
    std::map<int, int> fdFile_;
    std::vector<std::string> files_;
    std::vector<TStoreOp> log_;
    std::atomic<int> mark_{0};
    std::atomic<bool> logging_{true};
    std::atomic<int> allocateErrno_{0};
    std::atomic<uint64_t> allocateFrom_{0};
    std::string writeSuffix_;
    int okWrites_ = -1;
    int writeErrno_ = 0;
    int writeFailures_ = -1;
    std::string syncSuffix_;
    int syncErrno_ = 0;
};

} // namespace tavrin::test
