#include "sources/ui/PixChoice.h"

namespace tavrin {

std::string PixItemText(const TPixInfo& pix) {
    return std::to_string(pix.width) + "x" + std::to_string(pix.height) + " (" +
           std::to_string(pix.frameCount) + "帧/秒)";
}

std::vector<std::string> PixItems(const std::vector<TPixInfo>& sizes) {
    if (sizes.empty()) {
        return {"无"};
    }
    std::vector<std::string> items;
    items.reserve(sizes.size());
    for (const TPixInfo& pix : sizes) {
        items.push_back(PixItemText(pix));
    }
    return items;
}

int DefaultPixIndex(const std::vector<TPixInfo>& sizes) {
    for (size_t i = sizes.size(); i-- > 0;) {
        if (sizes[i].width == 1280) {
            return int(i);
        }
    }
    return 0;
}

} // namespace tavrin
