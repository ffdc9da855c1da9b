// What a local capture thread hands its pictures and sound to: the slot's
// channel worker plays them at once, bypassing its queue.
#pragma once

#include <cstdint>

struct AVFrame;

namespace tavrin {

class ICaptureSink {
public:
    virtual ~ICaptureSink() = default;
    // A decoded YUV420P picture (frame type 15); valid only during the call.
    virtual void RealPlayYUV(const AVFrame* p) = 0;
    // An audio payload of the given frame type (8: AAC with its ADTS header).
    virtual void RealPlayAudio(const uint8_t* p, uint8_t nType, uint32_t nSize) = 0;
};

} // namespace tavrin
