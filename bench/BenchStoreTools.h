// Shared bits of the store benchmarks: a scratch folder (clocks are in BenchUtil.h).
#pragma once

#include "bench/BenchUtil.h"

#include <cstdlib>
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

} // namespace tavrin::bench
