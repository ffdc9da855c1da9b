// Where a network source's parser delivers what it receives: complete media
// frames to the slot's channel worker and the lost-connection state to the
// compositor. Kept as a small interface so the parser can be tested alone
// and wired to whatever worker the slot owns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tavrin {

class TNetFrameSink {
public:
    virtual ~TNetFrameSink() = default;
    // A complete media frame (13-byte head and payload). The receiver copies
    // it; the bytes are only valid during the call.
    virtual void PushFrame(const uint8_t* pFrame, size_t nSize) = 0;
    // The slot's display port shows a lost source.
    virtual void SetThisPortInError(int nDispPort) = 0;
    // Identifies the worker in connect and disconnect traces.
    virtual std::string WorkerIdText() const = 0;
};

} // namespace tavrin
