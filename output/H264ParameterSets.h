// Helpers over H.264 access units in Annex B form.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace tavrin {

// The SPS and PPS NAL units of an access unit, each with a 4-byte start code,
// in their order of appearance. Empty when the unit carries none.
std::vector<uint8_t> ExtractParameterSets(std::span<const uint8_t> accessUnit);

// The SPS and PPS that the programme encoder emits at nW x nH: what a muxer
// must announce for the programme stream. Empty when no encoder opens.
std::vector<uint8_t> ProgrammeParameterSets(int nW, int nH);

} // namespace tavrin
