// Scales YUV 4:2:0 pictures on the hot path with the cheapest method that
// keeps the picture: a plain copy at the same size, libyuv's box filter at
// the ratios it has SIMD paths for (1/2, 3/4, 1/4), libswscale's area filter
// for every other size and for sources in other formats. Against bicubic
// scaling all of them stay above 43 dB PSNR on the channel sizes
// (bench_scale) at a fraction of its cost.
#pragma once

#include "av/AvPtr.h"

#include <cstdint>

namespace tavrin {

class TYuvScaler {
public:
    enum class TMethod { kNone, kCopy, kBox, kArea };

    // Prepares src (any FFmpeg format) -> dst YUV420P; nothing is rebuilt
    // while the sizes and the format stay. False when no scaler can be made.
    bool Prepare(int srcW, int srcH, int srcFormat, int dstW, int dstH);
    // Scales a whole picture of the prepared size. False on failure.
    bool Scale(const uint8_t* const src[], const int srcStride[], uint8_t* const dst[],
               const int dstStride[]);
    TMethod Method() const { return method; }
    void Reset();

private:
    TMethod method = TMethod::kNone;
    int sw = 0, sh = 0, sf = -1, dw = 0, dh = 0;
    SwsContextPtr sws;
};

} // namespace tavrin
