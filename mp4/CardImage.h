// Card pictures: the built-in backgrounds painted at build time, and JPEG
// images the operator picks for a card.
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

// Usable as a w x h card: opens and has exactly that size. Otherwise shows
// why in a warning and returns false.
bool CheckCardImage(int width, int height, const std::string& file);

// Loads the built-in title (bTail false) or tail card background for the
// card size given by w (1920 or 1280) into buf; false when it is missing or
// short. The pictures live next to the program as NAME.yuv.
bool LoadCardPicture(bool bTail, int w, int h, std::vector<uint8_t>& buf);

// Resource names of the four backgrounds, e.g. "coverYUV_1080".
std::string CardPictureName(bool bTail, int h);

} // namespace tavrin
