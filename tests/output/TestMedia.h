// Test media made by the ffmpeg command line and read back as media frames.
#pragma once

#include <string>
#include <vector>

namespace tavrin::test {

// Runs a shell command; true when it exits 0.
bool Run(const std::string& command);

// Writes an Annex B H.264 stream (SPS + PPS before every key picture, a key
// picture every 25th) of a moving test picture, and an ADTS AAC stereo
// 48 kHz tone, each `seconds` long.
bool MakeTestH264(const std::string& path, int width, int height, int seconds);
bool MakeTestAdts(const std::string& path, int seconds);

// The stream's units as media frames (head + payload): access units typed
// 10 or 9, AAC frames typed 8 with their ADTS header.
std::vector<std::vector<uint8_t>> ReadMediaFrames(const std::string& path);

// Audio and video frames merged in presentation order (40 ms per picture,
// 1024/48 ms per audio frame).
std::vector<std::vector<uint8_t>> Interleave(const std::vector<std::vector<uint8_t>>& video,
                                             const std::vector<std::vector<uint8_t>>& audio);

} // namespace tavrin::test
