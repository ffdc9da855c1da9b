#include "output/StoreFile.h"

#include "output/LessonStoreFormat.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>
#include <vector>

namespace tavrin {

TStoreFile::TOpenResult TStoreFile::Open(const std::string& path, int flags, TLock lock) {
    Close();
    const int fd = io_->Open(path.c_str(), flags | O_CLOEXEC, 0644);
    if (fd < 0) {
        return kOpenFailed;
    }
    const int how = (lock == TLock::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
    int rc;
    do {
        rc = io_->Lock(fd, how);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        io_->Close(fd);
        return kLocked;
    }
    fd_ = fd;
    return kOpened;
}

void TStoreFile::Close() {
    if (fd_ >= 0) {
        io_->Close(fd_); // drops the lock as well
        fd_ = -1;
    }
}

int64_t TStoreFile::Size() const {
    return fd_ < 0 ? -1 : io_->Size(fd_);
}

size_t TStoreFile::ReadAt(std::span<uint8_t> bytes, uint64_t offset) const {
    size_t done = 0;
    while (fd_ >= 0 && done < bytes.size()) {
        const ssize_t n =
            io_->PRead(fd_, bytes.data() + done, bytes.size() - done, off_t(offset + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += size_t(n);
    }
    return done;
}

bool TStoreFile::ReadExact(void* data, size_t size, uint64_t offset) const {
    return ReadAt({static_cast<uint8_t*>(data), size}, offset) == size;
}

bool TStoreFile::WriteAt(const void* data, size_t size, uint64_t offset) {
    return WriteTwoAt({static_cast<const uint8_t*>(data), size}, {}, offset);
}

bool TStoreFile::WriteTwoAt(std::span<const uint8_t> head, std::span<const uint8_t> payload,
                            uint64_t offset) {
    if (fd_ < 0) {
        return false;
    }
    iovec parts[2] = {{const_cast<uint8_t*>(head.data()), head.size()},
                      {const_cast<uint8_t*>(payload.data()), payload.size()}};
    int first = 0;
    while (first < 2) {
        if (parts[first].iov_len == 0) {
            ++first;
            continue;
        }
        const ssize_t n = io_->PWritev(fd_, parts + first, 2 - first, off_t(offset));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        offset += uint64_t(n);
        // Skip what a short write already put on disk.
        size_t left = size_t(n);
        while (first < 2 && left >= parts[first].iov_len) {
            left -= parts[first].iov_len;
            ++first;
        }
        if (first < 2) {
            parts[first].iov_base = static_cast<uint8_t*>(parts[first].iov_base) + left;
            parts[first].iov_len -= left;
        }
    }
    return true;
}

bool TStoreFile::FillZeros(uint64_t size, TPrepareMode mode, const TPrepareProgress& progress) {
    if (fd_ < 0 || io_->Truncate(fd_, 0) != 0) {
        return false;
    }
    if (mode == TPrepareMode::Allocate) {
        const int rc = io_->Allocate(fd_, off_t(size));
        if (rc == 0) {
            if (progress) {
                progress(100);
            }
            return true;
        }
        if (rc == ENOSPC) {
            return false; // writing the zeros would not fit either
        }
    }
    // No allocation on this file system (or zeros were asked for): write them,
    // reporting after every 1/100 of the chunks.
    const std::vector<uint8_t> zeros(kStoreChunkSize, 0);
    const uint64_t chunks = (size + kStoreChunkSize - 1) / kStoreChunkSize;
    const uint64_t step = chunks >= 100 ? chunks / 100 : 1;
    for (uint64_t i = 0; i < chunks; ++i) {
        const uint64_t at = i * kStoreChunkSize;
        const size_t n = size_t(std::min<uint64_t>(kStoreChunkSize, size - at));
        if (!WriteAt(zeros.data(), n, at)) {
            return false;
        }
        if (progress && ((i + 1) % step == 0 || i + 1 == chunks)) {
            progress(int(std::min<uint64_t>(100, (i + 1) * 100 / chunks)));
        }
    }
    return true;
}

bool TStoreFile::DataSync() {
    if (fd_ < 0) {
        return false;
    }
    int rc;
    do {
        rc = io_->DataSync(fd_);
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
}

} // namespace tavrin
