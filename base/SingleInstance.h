// Only one console runs on a machine. The lock is an exclusive flock on
// "vo_KVXMAIN.lock" in $XDG_RUNTIME_DIR (or /tmp); the kernel releases it when
// its owner dies, so a crashed console never blocks the next start.
#pragma once

#include <string>

namespace tavrin {

class TSingleInstance {
public:
    TSingleInstance() = default;
    ~TSingleInstance();
    TSingleInstance(const TSingleInstance&) = delete;
    TSingleInstance& operator=(const TSingleInstance&) = delete;

    // True when this process now owns the lock (held until destruction);
    // false when another process holds it.
    bool Acquire();
    bool Owned() const { return fd_ >= 0; }

    static std::string LockPath();

private:
    int fd_ = -1;
};

} // namespace tavrin
