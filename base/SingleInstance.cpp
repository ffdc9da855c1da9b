#include "base/SingleInstance.h"

#include "base/Trace.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tavrin {

TSingleInstance::~TSingleInstance() {
    if (fd_ >= 0) {
        ::close(fd_); // closing drops the flock
    }
}

std::string TSingleInstance::LockPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string dir = (runtime != nullptr && *runtime != '\0') ? runtime : "/tmp";
    return dir + "/vo_KVXMAIN.lock";
}

bool TSingleInstance::Acquire() {
    if (fd_ >= 0) {
        return true;
    }
    const std::string path = LockPath();
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        // Without a lock file nothing can tell two consoles apart; start anyway.
        Trace("single-instance lock cannot be opened: " + path);
        return true;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

} // namespace tavrin
