// Pictures and plans for the editor's tests.
#pragma once

#include "tests/decode/TestPicture.h"

#include <string>

namespace tavrin::test {

// A solid w x h JPEG of the given colour.
bool WriteSolidJpeg(const std::string& path, int w, int h, Rgb colour);

// A decoded JPEG: size and RGB pixels.
struct TJpeg {
    int w = 0;
    int h = 0;
    std::vector<uint8_t> rgb;
    Rgb At(int x, int y) const {
        const size_t i = (size_t(y) * w + x) * 3;
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
};
bool ReadJpeg(const std::string& path, TJpeg& out);

inline constexpr Rgb kJpegRed{200, 30, 30};

} // namespace tavrin::test
