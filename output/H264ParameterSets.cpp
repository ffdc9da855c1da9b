#include "output/H264ParameterSets.h"

#include "output/EncodeVideo.h"

#include <cstring>

namespace tavrin {

namespace {

// Position of the next 00 00 01 start code at or after from; size when none.
size_t FindStartCode(std::span<const uint8_t> au, size_t from) {
    for (size_t i = from; i + 3 <= au.size(); ++i) {
        if (au[i] == 0 && au[i + 1] == 0 && au[i + 2] == 1) {
            return i;
        }
    }
    return au.size();
}

} // namespace

std::vector<uint8_t> ExtractParameterSets(std::span<const uint8_t> au) {
    std::vector<uint8_t> out;
    size_t start = FindStartCode(au, 0);
    while (start < au.size()) {
        const size_t nal = start + 3;
        size_t next = FindStartCode(au, nal);
        size_t end = next;
        // A 4-byte start code owns the zero before it.
        if (end < au.size() && end > nal && au[end - 1] == 0) {
            --end;
        }
        if (nal < end) {
            const int type = au[nal] & 0x1F;
            if (type == 7 || type == 8) {
                out.insert(out.end(), {0, 0, 0, 1});
                out.insert(out.end(), au.begin() + std::ptrdiff_t(nal),
                           au.begin() + std::ptrdiff_t(end));
            }
        }
        start = next;
    }
    return out;
}

std::vector<uint8_t> ProgrammeParameterSets(int nW, int nH) {
    // The parameter sets depend on size and profile, not on the picture or
    // the bit rate: one grey picture through a programme encoder gives them.
    TEncodeVideo encoder;
    if (encoder.initialize(nW, nH, 4000 * 1024, false) != 0) {
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
            return type == 10 ? ExtractParameterSets(unit) : std::vector<uint8_t>();
        }
    }
    return {};
}

} // namespace tavrin
