// Scene rectangles come from activity-plan files and delivered pictures from
// any channel: whatever they say, placement must stay inside the canvas and
// inside the picture.
#include "compose/CombineVideo.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <vector>

using namespace tavrin;

namespace {

AvFramePtr Picture(int w, int h) {
    AvFramePtr f(av_frame_alloc());
    f->format = AV_PIX_FMT_YUV420P;
    f->width = w;
    f->height = h;
    if (av_frame_get_buffer(f.get(), 0) < 0) {
        return nullptr;
    }
    return f;
}

rRect AnyRect(FuzzedDataProvider& in) {
    return rRect{in.ConsumeIntegralInRange<int32_t>(-400, 800),
                 in.ConsumeIntegralInRange<int32_t>(-400, 800),
                 in.ConsumeIntegralInRange<int32_t>(-50, 900),
                 in.ConsumeIntegralInRange<int32_t>(-50, 900)};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    TCombineVideo comb;
    const int w = 2 * in.ConsumeIntegralInRange(1, 320);
    const int h = 2 * in.ConsumeIntegralInRange(1, 180);
    if (comb.initialize(w, h) != 0) {
        return 0;
    }
    std::vector<uint8_t> background(size_t(w) * h * 3 / 2, 7);
    while (in.remaining_bytes() > 0) {
        switch (in.ConsumeIntegralInRange(0, 3)) {
        case 0: {
            std::vector<int32_t> ports(size_t(in.ConsumeIntegralInRange(0, 5)));
            for (auto& p : ports) {
                p = in.ConsumeIntegralInRange(1, 6);
            }
            comb.SetCombinePorts(ports.data(), int(ports.size()));
            break;
        }
        case 1: {
            TCombArea_Ext area;
            area.count = in.ConsumeIntegralInRange(0, 4);
            area.bNeedCover = in.ConsumeBool();
            area.bNeedChangeCOver = in.ConsumeBool();
            area.pYUVBuf = in.ConsumeBool() ? background.data() : nullptr;
            const int rects = in.ConsumeIntegralInRange(0, 4);
            for (int i = 0; i < rects; ++i) {
                area.Ext.push_back(AnyRect(in));
                area.Ext_ForInterface.push_back(AnyRect(in));
            }
            comb.SetCombArea_Ext(area);
            break;
        }
        case 2:
            comb.SetOneCHFullScreen(in.ConsumeBool());
            break;
        default: {
            const int port = in.ConsumeIntegralInRange(1, 6);
            int dw = 0, dh = 0, count = 0;
            const int slot = comb.GetSlotSize(port, dw, dh, count);
            // Usually the asked size, sometimes any other.
            if (in.ConsumeBool() || dw <= 0 || dh <= 0) {
                dw = in.ConsumeIntegralInRange(1, 700);
                dh = in.ConsumeIntegralInRange(1, 400);
            }
            AvFramePtr pic = Picture(dw, dh);
            if (pic) {
                comb.PushYUVtoCombine(pic.get(), port, count, slot);
            }
            break;
        }
        }
    }
    AvFramePtr canvas = Picture(w, h);
    comb.GetFrame(canvas.get());
    return 0;
}
