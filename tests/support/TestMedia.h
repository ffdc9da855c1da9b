// Test media made by the ffmpeg command line and read back as media frames.
#pragma once

#include <string>
#include <vector>

namespace tavrin::test {

// Runs a shell command; true when it exits 0.
bool Run(const std::string& command);
// Output of a shell command (stdout), and whether it exited 0.
bool Capture(const std::string& command, std::string& out);
// Output of a shell command (stdout), whatever its exit status.
std::string Output(const std::string& command);

// Writes an ADTS AAC stereo 48 kHz tone `seconds` long.
bool MakeTestAdts(const std::string& path, int seconds);

// count pictures of a moving test scene at w x h, encoded by the programme
// encoder, as media frames typed 10 or 9.
std::vector<std::vector<uint8_t>> EncodeTestVideo(int width, int height, int count);

// The stream's units as media frames (head + payload): access units typed
// 10 or 9, AAC frames typed 8 with their ADTS header.
std::vector<std::vector<uint8_t>> ReadMediaFrames(const std::string& path);

// Audio and video frames merged in presentation order (40 ms per picture,
// 1024/48 ms per audio frame).
std::vector<std::vector<uint8_t>> Interleave(const std::vector<std::vector<uint8_t>>& video,
                                             const std::vector<std::vector<uint8_t>>& audio);

} // namespace tavrin::test
