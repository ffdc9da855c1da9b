// The level record that travels with previewed pictures and audio frames.
#pragma once

#include <cstdint>

namespace tavrin {

struct rAudioChannel {
    uint16_t L = 0;            // left level (0..100 when drawn by a display port)
    uint16_t R = 0;            // right level
    bool bMainAudioCH = false; // this channel's sound is the programme's sound
    int32_t nPosition = 0;     // 1: bars on the left edge instead of the right
};

} // namespace tavrin
