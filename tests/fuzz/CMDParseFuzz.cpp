// The phone's byte stream is outside input: any bytes, cut anywhere, must
// parse safely and hand on only whole media frames.
#include "base/MediaFrame.h"
#include "sources/CMDParse.h"

#include <algorithm>
#include <cstdlib>
#include <span>

namespace {

class CheckingSink : public tavrin::TNetFrameSink {
public:
    void PushFrame(const uint8_t* p, size_t n) override {
        if (tavrin::CompleteMediaFrameLength(std::span<const uint8_t>(p, n)) != n) {
            std::abort();
        }
    }
    void SetThisPortInError(int) override {}
    std::string WorkerIdText() const override { return {}; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static CheckingSink sink;
    static tavrin::TClientInfo info;
    static tavrin::TCMDParse parse; // one buffer for all runs, like a slot
    parse.initialize(&sink, &info);
    parse.SetConnect();
    // The first byte chooses the read size, so messages split everywhere.
    const size_t step = size > 0 ? size_t(data[0]) + 1 : 1;
    for (size_t at = 1; at < size; at += step) {
        const size_t n = std::min(step, size - at);
        if (parse.AddData(data + at, int(n)) < 0) {
            parse.SetDisconnect();
            parse.SetConnect();
        }
        if (parse.BufferedBytes() < 0 || parse.BufferedBytes() > tavrin::TCMDParse::kBufferSize) {
            std::abort();
        }
    }
    return 0;
}
