// The system calls the lesson store makes, behind one small interface so a
// test can log every write and sync (and replay a power cut from the log) or
// make a call fail as a full or broken disk would. The real one is a thin
// pass-through: no allocation, one virtual call per system call.
#pragma once

#include <cstdint>
#include <sys/types.h>
#include <sys/uio.h>

namespace tavrin {

class TStoreIO {
public:
    virtual ~TStoreIO() = default;
    // As open(2), flock(2), pread(2), pwritev(2), ftruncate(2),
    // posix_fallocate(3) (returns an errno value), fdatasync(2), fstat's
    // size (-1 on error) and close(2). -1 with errno set on failure.
    virtual int Open(const char* path, int flags, mode_t mode) = 0;
    virtual int Lock(int fd, int how) = 0;
    virtual ssize_t PRead(int fd, void* data, size_t size, off_t offset) = 0;
    virtual ssize_t PWritev(int fd, const iovec* parts, int count, off_t offset) = 0;
    virtual int Truncate(int fd, off_t size) = 0;
    virtual int Allocate(int fd, off_t size) = 0;
    virtual int DataSync(int fd) = 0;
    virtual int64_t Size(int fd) = 0;
    virtual int Close(int fd) = 0;
    // Makes the entries of a folder (new files in it) durable.
    virtual int SyncDir(const char* path) = 0;
};

// The process's real file system.
TStoreIO& PosixStoreIO();

} // namespace tavrin
