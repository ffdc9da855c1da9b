// The 7-byte ADTS header that frames every AAC-LC frame of the system:
// MPEG-4, no CRC, two channels, buffer fullness 0x7FF, one raw data block.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavrin {

constexpr size_t kAdtsHeaderSize = 7;
// A header whose protection_absent bit is 0 is followed by a CRC.
constexpr size_t kAdtsCrcSize = 2;
// The 13-bit frame length field of the header, header included.
constexpr int kAdtsMaxFrameLength = 0x1FFF;

// MPEG-4 sampling-frequency index of a rate; any rate without an index is
// written as 48,000 Hz (index 3).
int AdtsSampleRateIndex(int sampleRate);

// Writes the header for an AAC frame of frameLength bytes (header included)
// into out. Returns false, writing nothing, when the length does not fit the
// header's field (below 7 or above 8191).
bool MakeAdtsHeader(uint8_t (&out)[kAdtsHeaderSize], int frameLength, int sampleRate);

// A packet already carries a header when it begins with the ADTS sync bits.
bool HasAdtsHeader(const uint8_t* data, size_t size);

} // namespace tavrin
