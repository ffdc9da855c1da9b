// JPEG files decoded in memory: their size, and one picture scaled to an
// exact size. The editor's backgrounds and the MP4 cards both use it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavrin {

// Decodes a JPEG to one YUV 4:2:0 picture of exactly w x h (scaled when the
// file has another size) into buf (Y, then U, then V, packed). False when
// the file cannot be read or decoded.
bool JpegToYUV420(const std::string& file, int w, int h, std::vector<uint8_t>& buf);

// Size of a JPEG; false when it is not one.
bool JpegSize(const std::string& file, int& w, int& h);

// Usable as a w x h picture (a card, a plan background): opens and has
// exactly that size. Otherwise shows why in a warning and returns false.
bool CheckCardImage(int width, int height, const std::string& file);

} // namespace tavrin
