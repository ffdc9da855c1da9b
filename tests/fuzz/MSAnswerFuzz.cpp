// Media-server answers in arbitrary pieces: the receive buffer must never
// read outside what arrived, and must leave a sane state and error.
#include "output/MSProtocol.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tavrin::TMSReceiveBuffer rx;
    int state = tavrin::kMSLoginSent;
    size_t pos = 0;
    // The first byte of every piece says how long the piece is.
    while (pos < size) {
        const size_t piece = std::min<size_t>(size - pos - 1, size_t(data[pos]) * 64 + 1);
        ++pos;
        const int error = rx.Receive(std::span<const uint8_t>(data + pos, piece), state);
        pos += piece;
        if (error != 0 && error != tavrin::kMSProtocolError &&
            error != tavrin::kMSLoginNotAccepted && error != tavrin::kMSLoginRefused &&
            error != tavrin::kMSBadEndAnswer) {
            std::abort();
        }
        if (rx.Pending() > tavrin::kMSCommandBufferSize) {
            std::abort();
        }
        if (error != 0) {
            break;
        }
    }
    if (state != tavrin::kMSLoginSent && state != tavrin::kMSLoggedIn &&
        state != tavrin::kMSFinished && state != tavrin::kMSRefused) {
        std::abort();
    }
    return 0;
}
