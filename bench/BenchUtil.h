// Timing helpers of the benchmarks: each compares our code with the ffmpeg
// command line doing the same work in the same run and prints the ratio.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

namespace tavrin::bench {

template <typename F> double Seconds(F&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Runs a shell command; exits the benchmark when it fails.
inline double RunTimed(const std::string& command) {
    int rc = 0;
    const double s = Seconds([&] { rc = std::system(command.c_str()); });
    if (rc != 0) {
        std::fprintf(stderr, "benchmark reference failed (%d): %s\n", rc, command.c_str());
        std::exit(1);
    }
    return s;
}

// A fresh folder for the benchmark's files, removed at exit.
class TempFolder {
public:
    TempFolder() {
        char pattern[] = "/tmp/tavrin-bench-XXXXXX";
        const char* made = mkdtemp(pattern);
        path_ = made ? made : "/tmp";
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline double ClockSeconds(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}
inline double WallSeconds() {
    return ClockSeconds(CLOCK_MONOTONIC);
}
// CPU time of the whole process, every thread.
inline double CpuSeconds() {
    return ClockSeconds(CLOCK_PROCESS_CPUTIME_ID);
}

// The q-quantile (0 to 1) of values sorted in ascending order; 0 when empty.
template <typename T> T Quantile(const std::vector<T>& sorted, double q) {
    if (sorted.empty()) {
        return T{};
    }
    return sorted[std::min(sorted.size() - 1, size_t(q * double(sorted.size())))];
}

inline void PrintRatio(const char* name, const char* ours, double oursMs, const char* reference,
                       double referenceMs) {
    std::printf("%s: %s %.3f ms/frame, %s %.3f ms/frame, ratio %.2f\n", name, ours, oursMs,
                reference, referenceMs, oursMs / referenceMs);
}

} // namespace tavrin::bench
