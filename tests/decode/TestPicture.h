// Test pictures for display ports and reading back what a port drew.
#pragma once

#include "decode/Display.h"

#include <SDL.h>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace tavrin::test {

struct Yuv {
    uint8_t y, u, v;
};
struct Rgb {
    int r, g, b;
};

// The studio-range BT.709 colour of a YUV triple.
Rgb Bt709(Yuv c);

// A packed YUV 4:2:0 picture of w x h with luma rows pitch bytes apart, split
// into four solid quadrants (top-left, top-right, bottom-left, bottom-right).
// Padding bytes past the width are set to padByte.
std::vector<uint8_t> QuadrantPicture(int w, int h, int pitch, const Yuv (&quadrants)[4],
                                     uint8_t padByte = 0);

// A solid picture.
std::vector<uint8_t> SolidPicture(int w, int h, Yuv c);

inline constexpr Yuv kRed{63, 102, 240};
inline constexpr Yuv kGreen{173, 42, 26};
inline constexpr Yuv kBlue{32, 240, 118};
inline constexpr Yuv kGrey{126, 128, 128};
inline constexpr Yuv kQuadrants[4] = {kRed, kGreen, kBlue, kGrey};

// What a port drew, read back through saveBmp.
class TReadBack {
public:
    // Saves the port's picture as a w x h bitmap into folder and loads it.
    TReadBack(TDisplay& port, int w, int h, const std::string& folder);
    bool Ok() const { return surface_ != nullptr; }
    int Width() const { return surface_ ? surface_->w : 0; }
    int Height() const { return surface_ ? surface_->h : 0; }
    Rgb At(int x, int y) const;

private:
    TSdlSurfacePtr surface_;
};

bool Near(Rgb a, Rgb b, int tolerance = 4);
std::string ToString(Rgb c);
inline bool operator==(Rgb a, Rgb b) {
    return a.r == b.r && a.g == b.g && a.b == b.b;
}
inline std::ostream& operator<<(std::ostream& out, Rgb c) {
    return out << ToString(c);
}

} // namespace tavrin::test
