// Synthetic YUV 4:2:0 pictures and picture comparisons for the media tests.
#pragma once

#include "av/AvPtr.h"

#include <cmath>
#include <cstdint>
#include <vector>

extern "C" {
#include <libavutil/imgutils.h>
}

namespace tavrin::test {

inline AvFramePtr MakePicture(int w, int h) {
    return AllocPicture(w, h);
}

// A smooth moving scene (gradients and a travelling block) that compresses
// well, so decoded pictures come close to their source.
inline void FillScene(AVFrame* f, int index) {
    const int w = f->width;
    const int h = f->height;
    const int bx = (index * 8) % std::max(w - w / 5, 1);
    const int by = h / 3;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            int v = 40 + (x * 120) / w + (y * 60) / h;
            if (x >= bx && x < bx + w / 5 && y >= by && y < by + h / 4) {
                v = 220;
            }
            f->data[0][y * f->linesize[0] + x] = uint8_t(v);
        }
    }
    for (int y = 0; y < h / 2; ++y) {
        for (int x = 0; x < w / 2; ++x) {
            f->data[1][y * f->linesize[1] + x] = uint8_t(90 + (x * 60) / (w / 2));
            f->data[2][y * f->linesize[2] + x] = uint8_t(160 - (y * 60) / (h / 2));
        }
    }
}

// Every pixel of each plane says where it is (for placement checks).
inline uint8_t PatternY(int x, int y) {
    return uint8_t((x * 7 + y * 13) % 251);
}
inline uint8_t PatternU(int x, int y) {
    return uint8_t((x * 3 + y * 5 + 17) % 241);
}
inline uint8_t PatternV(int x, int y) {
    return uint8_t((x * 11 + y * 2 + 101) % 239);
}

inline void FillPattern(AVFrame* f) {
    for (int y = 0; y < f->height; ++y) {
        for (int x = 0; x < f->width; ++x) {
            f->data[0][y * f->linesize[0] + x] = PatternY(x, y);
        }
    }
    for (int y = 0; y < (f->height + 1) / 2; ++y) {
        for (int x = 0; x < (f->width + 1) / 2; ++x) {
            f->data[1][y * f->linesize[1] + x] = PatternU(x, y);
            f->data[2][y * f->linesize[2] + x] = PatternV(x, y);
        }
    }
}

inline void FillSolid(AVFrame* f, uint8_t Y, uint8_t U, uint8_t V) {
    for (int y = 0; y < f->height; ++y) {
        std::fill_n(f->data[0] + y * f->linesize[0], f->width, Y);
    }
    for (int y = 0; y < (f->height + 1) / 2; ++y) {
        std::fill_n(f->data[1] + y * f->linesize[1], (f->width + 1) / 2, U);
        std::fill_n(f->data[2] + y * f->linesize[2], (f->width + 1) / 2, V);
    }
}

inline uint8_t At(const AVFrame* f, int plane, int x, int y) {
    return f->data[plane][y * f->linesize[plane] + x];
}

// Luma PSNR in dB of b against a over a's size.
inline double LumaPsnr(const AVFrame* a, const AVFrame* b) {
    double sum = 0;
    for (int y = 0; y < a->height; ++y) {
        for (int x = 0; x < a->width; ++x) {
            const double d = double(At(a, 0, x, y)) - double(At(b, 0, x, y));
            sum += d * d;
        }
    }
    const double mse = sum / (double(a->width) * a->height);
    return mse == 0 ? 100.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

} // namespace tavrin::test
