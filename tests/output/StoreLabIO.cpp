#include "tests/output/StoreLabIO.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace tavrin::test {

void TLabStoreIO::FailWrites(const std::string& suffix, int okWrites, int err, int failures) {
    std::lock_guard lock(lock_);
    writeSuffix_ = suffix;
    okWrites_ = okWrites;
    writeErrno_ = err;
    writeFailures_ = failures;
}

void TLabStoreIO::FailSyncs(const std::string& suffix, int err) {
    std::lock_guard lock(lock_);
    syncSuffix_ = suffix;
    syncErrno_ = err;
}

std::vector<TStoreOp> TLabStoreIO::TakeLog() {
    std::lock_guard lock(lock_);
    return std::move(log_);
}

std::vector<std::string> TLabStoreIO::Files() const {
    std::lock_guard lock(lock_);
    return files_;
}

int TLabStoreIO::FileOf(int fd) const {
    const auto it = fdFile_.find(fd);
    return it == fdFile_.end() ? -1 : it->second;
}

bool TLabStoreIO::Matches(int fd, const std::string& suffix) const {
    const int file = FileOf(fd);
    if (suffix.empty() || file < 0) {
        return false;
    }
    const std::string& name = files_[size_t(file)];
    return name.size() >= suffix.size() &&
           name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

void TLabStoreIO::Log(TStoreOp op) {
    if (logging_) {
        op.closedBlocks = mark_;
        log_.push_back(std::move(op));
    }
}

int TLabStoreIO::Open(const char* path, int flags, mode_t mode) {
    const bool existed = ::access(path, F_OK) == 0;
    const int fd = PosixStoreIO().Open(path, flags, mode);
    if (fd < 0) {
        return fd;
    }
    std::lock_guard lock(lock_);
    int file = -1;
    for (size_t i = 0; i < files_.size(); ++i) {
        if (files_[i] == path) {
            file = int(i);
        }
    }
    if (file < 0) {
        file = int(files_.size());
        files_.emplace_back(path);
    }
    fdFile_[fd] = file;
    if (!existed) {
        Log({TStoreOp::Create, file});
    }
    return fd;
}

int TLabStoreIO::Lock(int fd, int how) {
    return PosixStoreIO().Lock(fd, how);
}

ssize_t TLabStoreIO::PRead(int fd, void* data, size_t size, off_t offset) {
    return PosixStoreIO().PRead(fd, data, size, offset);
}

ssize_t TLabStoreIO::PWritev(int fd, const iovec* parts, int count, off_t offset) {
    std::lock_guard lock(lock_);
    if (okWrites_ >= 0 && Matches(fd, writeSuffix_)) {
        if (okWrites_ == 0 && writeFailures_ != 0) {
            if (writeFailures_ > 0) {
                --writeFailures_;
            }
            errno = writeErrno_;
            return -1;
        }
        if (okWrites_ > 0) {
            --okWrites_;
        }
    }
    const ssize_t n = PosixStoreIO().PWritev(fd, parts, count, offset);
    if (n > 0) {
        TStoreOp op{TStoreOp::Write, FileOf(fd), uint64_t(offset)};
        op.data.reserve(size_t(n));
        size_t left = size_t(n);
        for (int i = 0; i < count && left > 0; ++i) {
            const size_t take = std::min(left, parts[i].iov_len);
            const auto* p = static_cast<const uint8_t*>(parts[i].iov_base);
            op.data.insert(op.data.end(), p, p + take);
            left -= take;
        }
        Log(std::move(op));
    }
    return n;
}

int TLabStoreIO::Truncate(int fd, off_t size) {
    const int rc = PosixStoreIO().Truncate(fd, size);
    std::lock_guard lock(lock_);
    if (rc == 0) {
        Log({TStoreOp::Truncate, FileOf(fd), 0, uint64_t(size)});
    }
    return rc;
}

int TLabStoreIO::Allocate(int fd, off_t size) {
    if (const int err = allocateErrno_; err != 0 && uint64_t(size) >= allocateFrom_) {
        return err;
    }
    const int rc = PosixStoreIO().Allocate(fd, size);
    std::lock_guard lock(lock_);
    if (rc == 0) {
        Log({TStoreOp::Allocate, FileOf(fd), 0, uint64_t(size)});
    }
    return rc;
}

int TLabStoreIO::DataSync(int fd) {
    {
        std::lock_guard lock(lock_);
        if (syncErrno_ != 0 && Matches(fd, syncSuffix_)) {
            errno = syncErrno_;
            return -1;
        }
        // Logged where it starts: it covers exactly the writes logged before.
        Log({TStoreOp::Sync, FileOf(fd)});
    }
    return PosixStoreIO().DataSync(fd);
}

int64_t TLabStoreIO::Size(int fd) {
    return PosixStoreIO().Size(fd);
}

int TLabStoreIO::Close(int fd) {
    {
        std::lock_guard lock(lock_);
        fdFile_.erase(fd);
    }
    return PosixStoreIO().Close(fd);
}

int TLabStoreIO::SyncDir(const char* path) {
    {
        std::lock_guard lock(lock_);
        Log({TStoreOp::SyncDir, -1});
    }
    return PosixStoreIO().SyncDir(path);
}

} // namespace tavrin::test
