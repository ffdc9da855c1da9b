#include "output/Adts.h"

namespace tavrin {

int AdtsSampleRateIndex(int sampleRate) {
    static constexpr int kRates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                     22050, 16000, 12000, 11025, 8000,  7350};
    for (int i = 0; i < int(sizeof(kRates) / sizeof(kRates[0])); ++i) {
        if (kRates[i] == sampleRate) {
            return i;
        }
    }
    return 3;
}

bool MakeAdtsHeader(uint8_t (&out)[kAdtsHeaderSize], int frameLength, int sampleRate) {
    if (frameLength < int(kAdtsHeaderSize) || frameLength > kAdtsMaxFrameLength) {
        return false;
    }
    const unsigned L = unsigned(frameLength);
    out[0] = 0xFF;
    out[1] = 0xF1;
    out[2] = uint8_t(0x40 | (AdtsSampleRateIndex(sampleRate) << 2));
    out[3] = uint8_t(0x80 | (L >> 11));
    out[4] = uint8_t((L >> 3) & 0xFF);
    out[5] = uint8_t(((L & 7) << 5) | 0x1F);
    out[6] = 0xFC;
    return true;
}

bool HasAdtsHeader(const uint8_t* data, size_t size) {
    return size >= 2 && data[0] == 0xFF && data[1] >= 0xF0;
}

} // namespace tavrin
