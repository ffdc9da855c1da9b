#include "decode/YuvScaler.h"

#include <libyuv/scale.h>

extern "C" {
#include <libavutil/imgutils.h>
}

namespace tavrin {

namespace {

// Ratios at which libyuv's box filter runs its dedicated row functions.
bool BoxRatio(int s, int d) {
    return d * 2 == s || d * 4 == s * 3 || d * 4 == s;
}

} // namespace

void TYuvScaler::Reset() {
    sws.reset();
    method = TMethod::kNone;
    sw = sh = dw = dh = 0;
    sf = -1;
}

bool TYuvScaler::Prepare(int srcW, int srcH, int srcFormat, int dstW, int dstH) {
    if (method != TMethod::kNone && srcW == sw && srcH == sh && srcFormat == sf && dstW == dw &&
        dstH == dh) {
        return true;
    }
    Reset();
    if (srcW <= 0 || srcH <= 0 || dstW <= 0 || dstH <= 0) {
        return false;
    }
    const bool planar420 = srcFormat == AV_PIX_FMT_YUV420P;
    if (planar420 && srcW == dstW && srcH == dstH) {
        method = TMethod::kCopy;
    } else if (planar420 && srcW % 2 == 0 && srcH % 2 == 0 && BoxRatio(srcW, dstW) &&
               BoxRatio(srcH, dstH) && srcW * dstH == srcH * dstW) {
        method = TMethod::kBox;
    } else {
        sws.reset(sws_getContext(srcW, srcH, AVPixelFormat(srcFormat), dstW, dstH,
                                 AV_PIX_FMT_YUV420P, SWS_AREA, nullptr, nullptr, nullptr));
        if (!sws) {
            return false;
        }
        method = TMethod::kArea;
    }
    sw = srcW, sh = srcH, sf = srcFormat, dw = dstW, dh = dstH;
    return true;
}

bool TYuvScaler::Scale(const uint8_t* const src[], const int srcStride[], uint8_t* const dst[],
                       const int dstStride[]) {
    switch (method) {
    case TMethod::kCopy:
        for (int i = 0; i < 3; ++i) {
            const int w = i == 0 ? sw : (sw + 1) / 2;
            const int h = i == 0 ? sh : (sh + 1) / 2;
            av_image_copy_plane(dst[i], dstStride[i], src[i], srcStride[i], w, h);
        }
        return true;
    case TMethod::kBox:
        return libyuv::I420Scale(src[0], srcStride[0], src[1], srcStride[1], src[2], srcStride[2],
                                 sw, sh, dst[0], dstStride[0], dst[1], dstStride[1], dst[2],
                                 dstStride[2], dw, dh, libyuv::kFilterBox) == 0;
    case TMethod::kArea:
        return sws_scale(sws.get(), src, srcStride, 0, sh, dst, dstStride) > 0;
    case TMethod::kNone:
        break;
    }
    return false;
}

} // namespace tavrin
