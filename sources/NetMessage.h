// Framing of the streaming apps' TCP messages: a 12-byte little-endian head
// (magic, total length, command) followed by the command's payload. The
// builders give the exact bytes the console sends.
#pragma once

#include "base/LittleEndian.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace tavrin {

constexpr uint32_t kNetMagic = 0x87654321;
constexpr size_t kNetHeadSize = 12;
constexpr uint16_t kNetSourcePort = 37021;

enum : uint32_t {
    C_21_REQUESTAV = 0x10000701,
    C_21_SETFOCUS = 0x10000702,
    C_21_FOCUSPOINT = 0x10000703,
    C_21_WIDEANGLE = 0x10000705,
    C_21_BATTERY = 0x10000706,
    C_21_REP_REQUESTAV = 0x10000801,
    C_21_REP_FOCUS = 0x10000802,
    C_21_IGNORED = 0x10000809,
    C_21_MEDIAFRAME = 0x90000001,
};

// Status of an accepted request.
constexpr uint16_t kRequestAccepted = 200;

template <size_t N> std::array<uint8_t, N> MakeNetHead(uint32_t nCommand) {
    std::array<uint8_t, N> m{};
    WriteLE32(m.data(), kNetMagic);
    WriteLE32(m.data() + 4, uint32_t(N));
    WriteLE32(m.data() + 8, nCommand);
    return m;
}

// The console always asks for 2048 kbit/s H.264 at 25 fps, 1280 x 720, AAC.
inline std::array<uint8_t, 23> MakeRequestAV() {
    auto m = MakeNetHead<23>(C_21_REQUESTAV);
    WriteLE32(m.data() + 12, 2048);
    m[16] = 1;
    m[17] = 25;
    WriteLE16(m.data() + 18, 1280);
    WriteLE16(m.data() + 20, 720);
    m[22] = 1;
    return m;
}

inline std::array<uint8_t, 14> MakeSetFocusValue(uint16_t nValue) {
    auto m = MakeNetHead<14>(C_21_SETFOCUS);
    WriteLE16(m.data() + 12, nValue);
    return m;
}

// x, y in 1280 x 720 coordinates.
inline std::array<uint8_t, 16> MakeFocusAtPoint(uint16_t x, uint16_t y) {
    auto m = MakeNetHead<16>(C_21_FOCUSPOINT);
    WriteLE16(m.data() + 12, x);
    WriteLE16(m.data() + 14, y);
    return m;
}

inline std::array<uint8_t, 12> MakeSwitchWideAngle() {
    return MakeNetHead<12>(C_21_WIDEANGLE);
}

} // namespace tavrin
