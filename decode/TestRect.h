// A cut rectangle in per mille (0 ... 1000) of the picture, and the display
// rectangle it really covers.
#pragma once

#include <SDL2/SDL_rect.h>
#include <cstdint>

namespace tavrin {

struct TestRect {
    int32_t xStart = 0;
    int32_t yStart = 0;
    int32_t xEnd = 0;
    int32_t yEnd = 0;
    SDL_Rect Rect{0, 0, 0, 0}; // in display pixels
};

} // namespace tavrin
