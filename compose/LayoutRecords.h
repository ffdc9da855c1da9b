// The records of an activity plan: background images, video rectangles,
// text styles and scenes on a 1920 x 1080 canvas.
#pragma once

#include "compose/CombArea.h" // rRect, shared with the scene areas

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tavrin {

// Item kinds passed as nType to the plan model's item operations.
enum : int {
    kItemImage = 1,
    kItemRectangle = 2,
    kItemFontStyle = 3,
    kItemLayout = 4,
    kItemText = 5,
};

constexpr int kPlanWidth = 1920;
constexpr int kPlanHeight = 1080;
constexpr size_t kPlanPictureBytes = size_t(kPlanWidth) * kPlanHeight * 3 / 2;

struct rPoint {
    int32_t x = 0;
    int32_t y = 0;
};

struct rProjectHead {
    int32_t userid = 0;
    std::string name;
    std::string createtime;
    std::string lastrefreshtime;
    std::string rtmp;
};

struct rImage {
    int32_t id = 0;
    std::string name;
    std::string filename; // full path in memory, file name only on disk
    // 1920 x 1080 YUV420P picture owned by the model; null while the image
    // has no file or its file could not be decoded.
    std::shared_ptr<std::vector<uint8_t>> pImage;
};

struct rRectangle {
    int32_t id = 0;
    int32_t order = 0; // creation sequence, not stored
    std::string name;
    rRect rect;
};

struct rFontStyle {
    int32_t id = 0;
    std::string name;
    std::string font;
    int32_t size = 0;
    int32_t x = 0;
    int32_t y = 0;
    int32_t color = 0; // 0x00BBGGRR
    rPoint wh;         // run-time only
};

struct rText {
    int32_t id = 0;
    int32_t fontStyle = 0;
    int32_t x = 0;
    int32_t y = 0;
    std::string name;
    rPoint wh; // run-time only
};

struct rLayout {
    int32_t id = 0;
    std::string name;
    int32_t image = 0;
    std::vector<int32_t> rectangle; // drawing order
    std::vector<rText> text;
};

} // namespace tavrin
