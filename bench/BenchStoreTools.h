// Shared bits of the store benchmarks: a scratch folder and clocks.
#pragma once

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

namespace tavrin::bench {

class TScratchDir {
public:
    TScratchDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tavrin-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        path_ = pattern;
    }
    ~TScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TScratchDir(const TScratchDir&) = delete;
    TScratchDir& operator=(const TScratchDir&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

inline double Seconds(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

inline double WallSeconds() {
    return Seconds(CLOCK_MONOTONIC);
}
inline double CpuSeconds() {
    return Seconds(CLOCK_PROCESS_CPUTIME_ID);
}

} // namespace tavrin::bench
