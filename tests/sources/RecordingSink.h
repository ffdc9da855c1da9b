// A frame sink that keeps what the parser handed over.
#pragma once

#include "base/MediaFrame.h"
#include "sources/NetFrameSink.h"

#include <vector>

namespace tavrin::test {

class TRecordingSink : public TNetFrameSink {
public:
    void PushFrame(const uint8_t* p, size_t n) override { frames.emplace_back(p, p + n); }
    void SetThisPortInError(int port) override { portErrors.push_back(port); }
    std::string WorkerIdText() const override { return "7"; }

    std::vector<uint8_t> Types() const {
        std::vector<uint8_t> t;
        for (const auto& f : frames) {
            t.push_back(f[0]);
        }
        return t;
    }

    std::vector<std::vector<uint8_t>> frames;
    std::vector<int> portErrors;
};

} // namespace tavrin::test
