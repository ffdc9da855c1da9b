#include "decode/YuvScaler.h"

#include "tests/support/Pictures.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

using test::FillScene;
using test::MakePicture;

// PSNR over all three planes of two pictures of the same size.
double Psnr(const AVFrame* a, const AVFrame* b) {
    double se = 0;
    size_t n = 0;
    for (int p = 0; p < 3; ++p) {
        const int w = p == 0 ? a->width : (a->width + 1) / 2;
        const int h = p == 0 ? a->height : (a->height + 1) / 2;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const double d = double(a->data[p][y * a->linesize[p] + x]) -
                                 double(b->data[p][y * b->linesize[p] + x]);
                se += d * d;
                ++n;
            }
        }
    }
    return se == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 * double(n) / se);
}

AvFramePtr Bicubic(const AVFrame* src, int w, int h) {
    AvFramePtr out = MakePicture(w, h);
    SwsContextPtr sws(sws_getContext(src->width, src->height, AVPixelFormat(src->format), w, h,
                                     AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr));
    sws_scale(sws.get(), src->data, src->linesize, 0, src->height, out->data, out->linesize);
    return out;
}

TEST(YuvScaler, EachChannelSizeStaysCloseToBicubic) {
    struct TCase {
        int sw, sh, dw, dh;
        TYuvScaler::TMethod method;
    };
    const TCase cases[] = {
        {1920, 1080, 1280, 720, TYuvScaler::TMethod::kArea}, // preview
        {1920, 1080, 960, 540, TYuvScaler::TMethod::kBox},   // quarter of the programme
        {1280, 720, 960, 540, TYuvScaler::TMethod::kBox},
        {1920, 1080, 480, 270, TYuvScaler::TMethod::kBox},
        {1920, 1080, 640, 360, TYuvScaler::TMethod::kArea},
        {1280, 720, 1920, 1080, TYuvScaler::TMethod::kArea}, // upscaled into the programme
        {1280, 720, 1280, 720, TYuvScaler::TMethod::kCopy},
        {1920, 1080, 852, 480, TYuvScaler::TMethod::kArea}, // inset of two at 720p
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.sw) + "x" + std::to_string(c.sh) + " -> " +
                     std::to_string(c.dw) + "x" + std::to_string(c.dh));
        AvFramePtr src = MakePicture(c.sw, c.sh);
        FillScene(src.get(), 7);
        TYuvScaler scaler;
        ASSERT_TRUE(scaler.Prepare(c.sw, c.sh, src->format, c.dw, c.dh));
        EXPECT_EQ(scaler.Method(), c.method);
        AvFramePtr out = MakePicture(c.dw, c.dh);
        ASSERT_TRUE(scaler.Scale(src->data, src->linesize, out->data, out->linesize));
        EXPECT_GE(Psnr(Bicubic(src.get(), c.dw, c.dh).get(), out.get()), 40.0);
    }
}

TEST(YuvScaler, OtherFormatsAndSizesGoThroughSwscale) {
    TYuvScaler scaler;
    // Full-range 4:2:0 is converted, even at the same size.
    ASSERT_TRUE(scaler.Prepare(640, 360, AV_PIX_FMT_YUVJ420P, 640, 360));
    EXPECT_EQ(scaler.Method(), TYuvScaler::TMethod::kArea);
    // A halving in one direction only is not the box filter's.
    ASSERT_TRUE(scaler.Prepare(1280, 720, AV_PIX_FMT_YUV420P, 640, 720));
    EXPECT_EQ(scaler.Method(), TYuvScaler::TMethod::kArea);
    EXPECT_FALSE(scaler.Prepare(0, 720, AV_PIX_FMT_YUV420P, 640, 360));
    const uint8_t* none[3] = {};
    const int strides[3] = {};
    uint8_t* out[3] = {};
    EXPECT_FALSE(scaler.Scale(none, strides, out, strides));
}

} // namespace
} // namespace tavrin
