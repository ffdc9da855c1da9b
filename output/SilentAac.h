// A silent AAC-LC frame with its ADTS header, for filling gaps in a stream
// of passed-through frames: the programme's recorded sound keeps running on
// the programme's clock while its source is silent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavrin {

// The sample rate and channel configuration an ADTS header announces.
struct TAdtsFormat {
    int nSampleRate = 0;
    int nChannelConfig = 0; // 1..7 as in the header (7 means eight channels)
    bool operator==(const TAdtsFormat&) const = default;
};

// Reads the format of the ADTS frame in data; false when it is no ADTS frame
// of AAC-LC with a known rate and channel configuration.
bool ReadAdtsFormat(const uint8_t* data, size_t size, TAdtsFormat& format);

// Encodes 1024 samples of silence in format with libavcodec's AAC encoder
// and puts the frame with its ADTS header into out. False when the format
// cannot be encoded.
bool MakeSilentAacFrame(const TAdtsFormat& format, std::vector<uint8_t>& out);

} // namespace tavrin
