// Lessons of real H.264 and AAC for the MP4 and replay tests, written to a
// store block by block, plus ffprobe/ffmpeg read-backs of what was made.
#pragma once

#include "base/GetLessionInfo.h"
#include "tests/support/TestMedia.h" // Capture

#include <cstdint>
#include <string>
#include <vector>

namespace tavrin::test {

struct TMediaLesson {
    // Media frames (head + payload) of each I-block, in recorded order.
    std::vector<std::vector<std::vector<uint8_t>>> blocks;
    int VideoCount(const std::vector<int>& skip = {}) const;
    int AudioCount(const std::vector<int>& skip = {}) const;
    // The video payloads of the blocks not in skip, as one Annex B stream.
    std::string VideoStream(const std::vector<int>& skip = {}) const;
};

// A seconds-long lesson at w x h: 25 pictures and about 47 AAC frames per
// block. Blocks listed in deleted are marked deleted in the table.
TMediaLesson WriteMediaLesson(const TGetLessionInfo& paths, int32_t lesson, int w, int h,
                              int seconds, const std::vector<int>& deleted = {});

// One line per packet of the stream ("v" or "a"): "pts_time,flags".
std::vector<std::string> ProbePackets(const std::string& file, const std::string& stream);
// "WxH" of every decoded video frame.
std::vector<std::string> ProbeFrameSizes(const std::string& file);
// MD5 of every decoded video picture.
std::vector<std::string> FrameHashes(const std::string& file, const std::string& format = "");

} // namespace tavrin::test
