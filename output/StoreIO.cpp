#include "output/StoreIO.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavrin {

namespace {

class TPosixStoreIO final : public TStoreIO {
public:
    int Open(const char* path, int flags, mode_t mode) override {
        return ::open(path, flags, mode);
    }
    int Lock(int fd, int how) override { return ::flock(fd, how); }
    ssize_t PRead(int fd, void* data, size_t size, off_t offset) override {
        return ::pread(fd, data, size, offset);
    }
    ssize_t PWritev(int fd, const iovec* parts, int count, off_t offset) override {
        return ::pwritev(fd, parts, count, offset);
    }
    int Truncate(int fd, off_t size) override { return ::ftruncate(fd, size); }
    int Allocate(int fd, off_t size) override { return ::posix_fallocate(fd, 0, size); }
    int DataSync(int fd) override { return ::fdatasync(fd); }
    int64_t Size(int fd) override {
        struct stat st {};
        return ::fstat(fd, &st) == 0 ? int64_t(st.st_size) : -1;
    }
    int Close(int fd) override { return ::close(fd); }
    int SyncDir(const char* path) override {
        const int fd = ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            return -1;
        }
        const int rc = ::fsync(fd);
        ::close(fd);
        return rc;
    }
};

} // namespace

TStoreIO& PosixStoreIO() {
    static TPosixStoreIO io;
    return io;
}

} // namespace tavrin
