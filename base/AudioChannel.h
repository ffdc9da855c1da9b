// The level record that travels with previewed pictures and audio frames.
#pragma once

#include <cstdint>

namespace tavrin {

struct rAudioChannel {
    uint16_t L = 0;            // level of the left channel
    uint16_t R = 0;            // level of the right channel
    bool bMainAudioCH = false; // this channel's audio is the programme's audio
    int32_t nPosition = 0;
};

} // namespace tavrin
