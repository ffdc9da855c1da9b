// Decodes recorded H.264 units and encodes them again at another size and
// bit rate. Unlike the live decoder it drains at the end, so the pictures
// still inside the decoder's threads are not lost from the MP4.
#pragma once

#include "av/AvPtr.h"
#include "output/EncodeVideo.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace tavrin {

class TReencodeVideo {
public:
    // Called with each encoded unit and its type (10 key, 9 other).
    using TUnitSink = std::function<bool(const std::vector<uint8_t>& unit, int nType)>;

    // 0, or -1 when the decoder, the scaler or the encoder cannot be made.
    int initialize(int nW, int nH, int64_t nBitrate);
    // One recorded access unit; false only when the sink failed.
    bool Push(const uint8_t* pUnit, int nSize, const TUnitSink& sink);
    // The pictures still held by the decoder.
    bool Drain(const TUnitSink& sink);

private:
    bool Receive(const TUnitSink& sink);

    AvCodecContextPtr decoder;
    AvPacketPtr packet;
    AvFramePtr decoded;
    AvFramePtr scaled;
    SwsContextPtr scaler;
    TEncodeVideo encoder;
    std::vector<uint8_t> unit;
    int nWidth = 0;
    int nHeight = 0;
};

} // namespace tavrin
