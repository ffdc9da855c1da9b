// Cut rectangles come from the operator's mouse and pictures of any size from
// the channels: the cut copy and the scalers must stay inside every picture.
#include "base/MediaFrame.h"
#include "decode/DecodeVideo.h"

#include <fuzzer/FuzzedDataProvider.h>

using namespace tavrin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    static TDecodeVideo dec;
    static bool opened = dec.initialize() == 0;
    if (!opened) {
        return 0;
    }
    while (in.remaining_bytes() > 0) {
        switch (in.ConsumeIntegralInRange(0, 4)) {
        case 0:
            dec.SetClipWH(in.ConsumeIntegralInRange(-4, 2000), in.ConsumeIntegralInRange(-4, 1200));
            break;
        case 1: {
            int cx = 0, cy = 0;
            dec.SetClipArea(
                in.ConsumeIntegralInRange(-10, 1010), in.ConsumeIntegralInRange(-10, 1010),
                in.ConsumeIntegralInRange(-10, 1010), in.ConsumeIntegralInRange(-10, 1010), cx, cy);
            break;
        }
        case 2:
            dec.MoveCutArea(in.ConsumeIntegralInRange(-3000, 3000),
                            in.ConsumeIntegralInRange(-3000, 3000));
            break;
        case 3: {
            TestRect r{in.ConsumeIntegralInRange(-10, 1010),
                       in.ConsumeIntegralInRange(-10, 1010),
                       in.ConsumeIntegralInRange(-10, 1010),
                       in.ConsumeIntegralInRange(-10, 1010),
                       {}};
            dec.GetCovertRectFromInterfaceToDisp(r, in.ConsumeIntegralInRange(1, 1920),
                                                 in.ConsumeIntegralInRange(1, 1080));
            break;
        }
        default: {
            AvFramePtr pic(av_frame_alloc());
            pic->format = AV_PIX_FMT_YUV420P;
            pic->width = in.ConsumeIntegralInRange(1, 400);
            pic->height = in.ConsumeIntegralInRange(1, 300);
            if (av_frame_get_buffer(pic.get(), 0) < 0) {
                break;
            }
            AVFrame* preview = nullptr;
            AVFrame* clip = nullptr;
            dec.GetFrame_includeClip(in.ConsumeBool(), pic.get(), preview, clip);
            break;
        }
        }
    }
    return 0;
}
