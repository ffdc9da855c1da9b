// The picture sizes a camera offers, as the device dialog lists them.
#pragma once

#include "sources/NativeDevice.h"

#include <string>
#include <vector>

namespace tavrin {

// "1280x720 (30帧/秒)".
std::string PixItemText(const TPixInfo& pix);

// One item per size; a camera without sizes shows the single item "无".
std::vector<std::string> PixItems(const std::vector<TPixInfo>& sizes);

// The size chosen at first: the last one 1280 wide, else the first.
int DefaultPixIndex(const std::vector<TPixInfo>& sizes);

} // namespace tavrin
