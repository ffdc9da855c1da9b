// Little-endian integers in byte buffers: every wire and file format of the
// system (media frame heads, the phones' messages, the media server's
// messages, the lesson store) stores its numbers this way.
#pragma once

#include <cstdint>

namespace tavrin {

inline uint16_t ReadLE16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}

inline uint32_t ReadLE32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline uint64_t ReadLE64(const uint8_t* p) {
    return uint64_t(ReadLE32(p)) | uint64_t(ReadLE32(p + 4)) << 32;
}

inline void WriteLE16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

inline void WriteLE32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = uint8_t(v >> (8 * i));
    }
}

inline void WriteLE64(uint8_t* p, uint64_t v) {
    WriteLE32(p, uint32_t(v));
    WriteLE32(p + 4, uint32_t(v >> 32));
}

} // namespace tavrin
