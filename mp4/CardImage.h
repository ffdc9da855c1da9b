// Card pictures: the built-in backgrounds painted at build time. JPEG images
// the operator picks for a card are read by compose/JpegPicture.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavrin {

// Loads the built-in title (bTail false) or tail card background for the
// card size given by w (1920 or 1280) into buf; false when it is missing or
// short. The pictures live next to the program as NAME.yuv.
bool LoadCardPicture(bool bTail, int w, int h, std::vector<uint8_t>& buf);

// Resource names of the four backgrounds, e.g. "coverYUV_1080".
std::string CardPictureName(bool bTail, int h);

} // namespace tavrin
