#include "tests/decode/TestPicture.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace tavrin::test {

namespace {
int Clamp8(double v) {
    return std::clamp(int(std::lround(v)), 0, 255);
}
} // namespace

Rgb Bt709(Yuv c) {
    const double y = 1.164383 * (c.y - 16);
    const double u = c.u - 128;
    const double v = c.v - 128;
    return {Clamp8(y + 1.792741 * v), Clamp8(y - 0.213249 * u - 0.532909 * v),
            Clamp8(y + 2.112402 * u)};
}

std::vector<uint8_t> QuadrantPicture(int w, int h, int pitch, const Yuv (&quadrants)[4],
                                     uint8_t padByte) {
    const int cw = (pitch + 1) / 2;
    const int ch = (h + 1) / 2;
    std::vector<uint8_t> picture(size_t(pitch) * h + 2 * size_t(cw) * ch, padByte);
    auto quadrant = [&](int x, int y, int width, int height) {
        return (y >= height / 2 ? 2 : 0) + (x >= width / 2 ? 1 : 0);
    };
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            picture[size_t(y) * pitch + x] = quadrants[quadrant(x, y, w, h)].y;
        }
    }
    uint8_t* u = picture.data() + size_t(pitch) * h;
    uint8_t* v = u + size_t(cw) * ch;
    for (int y = 0; y < ch; ++y) {
        for (int x = 0; x < (w + 1) / 2; ++x) {
            const Yuv& c = quadrants[quadrant(x, y, (w + 1) / 2, ch)];
            u[size_t(y) * cw + x] = c.u;
            v[size_t(y) * cw + x] = c.v;
        }
    }
    return picture;
}

std::vector<uint8_t> SolidPicture(int w, int h, Yuv c) {
    const Yuv all[4] = {c, c, c, c};
    return QuadrantPicture(w, h, w, all);
}

TReadBack::TReadBack(TDisplay& port, int w, int h, const std::string& folder) {
    static int serial = 0;
    std::string file = folder;
    file.append("/readback").append(std::to_string(++serial)).append(".bmp");
    if (!port.saveBmp(w, h, file)) {
        return;
    }
    SDL_Surface* loaded = SDL_LoadBMP(file.c_str());
    if (loaded != nullptr) {
        surface_.reset(SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0));
        SDL_FreeSurface(loaded);
    }
}

Rgb TReadBack::At(int x, int y) const {
    if (surface_ == nullptr || x < 0 || y < 0 || x >= surface_->w || y >= surface_->h) {
        return {-1, -1, -1};
    }
    const auto* row = static_cast<const uint8_t*>(surface_->pixels) + size_t(y) * surface_->pitch;
    uint32_t p = 0;
    std::memcpy(&p, row + size_t(x) * 4, 4);
    return {int((p >> 16) & 0xFF), int((p >> 8) & 0xFF), int(p & 0xFF)};
}

bool Near(Rgb a, Rgb b, int tolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}

std::string ToString(Rgb c) {
    std::string text("(");
    text.append(std::to_string(c.r)).append(",").append(std::to_string(c.g)).append(",");
    return text.append(std::to_string(c.b)).append(")");
}

} // namespace tavrin::test
