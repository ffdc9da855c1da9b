// The media frame record: a 13-byte packed head followed by the payload.
// Every compressed unit that travels between sources, encoders, the output
// pipeline, the senders and the store has this shape.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tavrin {

// Frame types carried in nFrameType.
enum : uint8_t {
    kFrameMarkerAudio = 1,  // payload-less audio marker from local capture
    kFramePCM = 6,          // raw PCM from local capture
    kFrameAAC = 8,          // AAC-LC with its 7-byte ADTS header
    kFrameH264 = 9,         // H.264 access unit that is not a key frame
    kFrameH264Key = 10,     // H.264 access unit beginning with SPS and PPS
    kFrameDecoded = 15,     // an already decoded picture (decoder input only)
    kFrameMarkerVideo = 16, // payload-less video marker from local capture
    kFrameNone = 99,        // no packet came out of an encoder
};

// The audio types all lie below the video ones.
constexpr bool IsAudioFrameType(int nType) {
    return nType <= kFrameAAC;
}

#pragma pack(push, 1)
struct TZeroMediaFrameHead {
    uint8_t nFrameType;
    uint32_t nFrameSize; // payload bytes, the head not included
    int64_t PTS;         // local wall-clock time in microseconds (ms resolution)
};
#pragma pack(pop)
static_assert(sizeof(TZeroMediaFrameHead) == 13, "media frame head must be 13 bytes");

constexpr size_t kMediaFrameHeadSize = 13;

// One AAC frame of 1024 samples at 48 kHz counts as exactly this many
// milliseconds in every lesson duration (deliberately not 64/3).
constexpr double kAudioFrameMs = 21.33333;

// Reads a head from little-endian bytes. Returns false when fewer than 13
// bytes are available; the head is then left untouched.
bool ReadMediaFrameHead(std::span<const uint8_t> bytes, TZeroMediaFrameHead& head);

// Writes a head as 13 little-endian bytes into out (which must hold 13).
// Returns false when out is too small.
bool WriteMediaFrameHead(const TZeroMediaFrameHead& head, std::span<uint8_t> out);

// A whole frame is complete inside bytes: the head and nFrameSize payload
// bytes. Returns the frame's total length, or 0 when it is not complete.
size_t CompleteMediaFrameLength(std::span<const uint8_t> bytes);

// Builds head + payload into frame, reusing frame's capacity. Used where a
// frame is copied at a hand-over.
void AssignMediaFrame(std::vector<uint8_t>& frame, uint8_t nFrameType, int64_t PTS,
                      std::span<const uint8_t> payload);

// Local wall-clock time in microseconds with millisecond resolution: the
// stamp that media frames and store records carry.
int64_t LocalWallClockMicros();

} // namespace tavrin
