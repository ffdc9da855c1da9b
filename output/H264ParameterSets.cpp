#include "output/H264ParameterSets.h"

#include "base/H264Nal.h"
#include "base/MediaFrame.h"
#include "output/EncodeVideo.h"

#include <cstring>

namespace tavrin {

std::vector<uint8_t> ExtractParameterSets(std::span<const uint8_t> au) {
    std::vector<uint8_t> out;
    TNalScanner scanner(au);
    TNalUnit nal;
    while (scanner.Next(nal)) {
        if (nal.type == kNalSps || nal.type == kNalPps) {
            out.insert(out.end(), {0, 0, 0, 1});
            out.insert(out.end(), nal.bytes.begin(), nal.bytes.end());
        }
    }
    return out;
}

std::vector<uint8_t> ProgrammeParameterSets(int nW, int nH) {
    // The parameter sets depend on size and profile, not on the picture or
    // the bit rate: one grey picture through a programme encoder gives them.
    TEncodeVideo encoder;
    if (encoder.initialize(nW, nH, int64_t{4000} * 1024, false) != 0) {
        return {};
    }
    AvFramePtr picture = AllocPicture(nW, nH);
    if (!picture) {
        return {};
    }
    for (int plane = 0; plane < 3; ++plane) {
        const int rows = plane == 0 ? nH : (nH + 1) / 2;
        std::memset(picture->data[plane], 128, size_t(picture->linesize[plane]) * size_t(rows));
    }
    // The frame threads hold the first pictures back; the first unit out is
    // the key picture.
    std::vector<uint8_t> unit;
    for (int i = 0; i < 16; ++i) {
        int type = 0;
        if (encoder.GetPackage(picture.get(), unit, type) > 0) {
            return type == kFrameH264Key ? ExtractParameterSets(unit) : std::vector<uint8_t>();
        }
    }
    return {};
}

} // namespace tavrin
