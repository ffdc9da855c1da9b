// One open file of the lesson store. The recorder holds its files with an
// exclusive lock and readers with a shared one, so a lesson that is being
// recorded cannot be read and a lesson that is being read cannot be
// recorded; the kernel drops the lock when its owner dies.
#pragma once

#include "output/StoreIO.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace tavrin {

// Progress of preparing a new store, 1 ... 100.
using TPrepareProgress = std::function<void(int percent)>;

enum class TPrepareMode {
    Allocate,   // posix_fallocate, falling back to writing zeros
    WriteZeros, // write every zero byte
};

class TStoreFile {
public:
    enum class TLock { Shared, Exclusive };
    enum TOpenResult { kOpened = 0, kOpenFailed = -1, kLocked = -2 };

    TStoreFile() = default;
    // Every call of this file goes through io (the real file system unless
    // a test gives its own); set it while the file is closed.
    explicit TStoreFile(TStoreIO& io) : io_(&io) {}
    void SetIO(TStoreIO& io) { io_ = &io; }
    ~TStoreFile() { Close(); }
    TStoreFile(const TStoreFile&) = delete;
    TStoreFile& operator=(const TStoreFile&) = delete;

    // flags as for open(2) (O_CLOEXEC is added); the lock is taken without
    // waiting, and the file is closed again when it cannot be had.
    TOpenResult Open(const std::string& path, int flags, TLock lock);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    int Fd() const { return fd_; }

    // Current size in bytes, -1 on error.
    int64_t Size() const;

    // Reads up to bytes.size() bytes at offset, stopping early only at the
    // end of the file or on an error; returns how many were read.
    size_t ReadAt(std::span<uint8_t> bytes, uint64_t offset) const;
    // True only when every byte was read.
    bool ReadExact(void* data, size_t size, uint64_t offset) const;

    // Writes all bytes at offset; false when any could not be written.
    bool WriteAt(const void* data, size_t size, uint64_t offset);
    // Writes head and then payload at offset with one call where possible.
    bool WriteTwoAt(std::span<const uint8_t> head, std::span<const uint8_t> payload,
                    uint64_t offset);

    // Makes the file exactly size zero bytes (old contents are discarded).
    bool FillZeros(uint64_t size, TPrepareMode mode, const TPrepareProgress& progress);

    // Puts what was written on the disk (fdatasync); false on an error.
    bool DataSync();

private:
    TStoreIO* io_ = &PosixStoreIO();
    int fd_ = -1;
};

} // namespace tavrin
