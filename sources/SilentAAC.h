// The 13-byte ADTS AAC-LC frame (48 kHz, stereo) that decodes to silence;
// inserted wherever audio must keep its clock without a real frame.
#pragma once

#include <cstdint>

namespace tavrin {

inline constexpr uint8_t kSilentAACFrame[13] = {0xFF, 0xF1, 0x4C, 0x80, 0x01, 0xBF, 0xFC,
                                                0x21, 0x00, 0x03, 0x40, 0x68, 0x1C};

} // namespace tavrin
