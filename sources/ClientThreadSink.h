// Hands a local capture thread's pictures and sound to the slot's channel
// worker, which plays them at once.
#pragma once

#include "sources/CaptureSink.h"
#include "sources/ClientThread.h"

namespace tavrin {

class TClientThreadSink : public ICaptureSink {
public:
    explicit TClientThreadSink(TClientThread* worker) : worker_(worker) {}
    void RealPlayYUV(const AVFrame* p) override {
        if (worker_ != nullptr) {
            worker_->RealPlayYUV(p);
        }
    }
    void RealPlayAudio(const uint8_t* p, uint8_t nType, uint32_t nSize) override {
        if (worker_ != nullptr) {
            worker_->RealPlayAudio(p, nType, int(nSize));
        }
    }

private:
    TClientThread* worker_;
};

} // namespace tavrin
