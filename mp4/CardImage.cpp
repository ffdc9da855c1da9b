#include "mp4/CardImage.h"

#include "base/ProgramDir.h"

#include <fstream>

namespace tavrin {

std::string CardPictureName(bool bTail, int h) {
    return std::string(bTail ? "backcoverYUV_" : "coverYUV_") + (h == 1080 ? "1080" : "720");
}

bool LoadCardPicture(bool bTail, int w, int h, std::vector<uint8_t>& buf) {
    const size_t bytes = size_t(w) * h * 3 / 2;
    std::ifstream in(ProgramFile(CardPictureName(bTail, h) + ".yuv"), std::ios::binary);
    if (!in || buf.size() < bytes) {
        return false;
    }
    return bool(in.read(reinterpret_cast<char*>(buf.data()), std::streamsize(bytes)));
}

} // namespace tavrin
