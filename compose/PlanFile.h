// The activity-plan file (.kvx): the one reader and writer of its JSON text.
// The plan model of the editor and the scene runtime both read through it,
// so a plan the editor saves reads back the same in both.
#pragma once

#include "compose/LayoutRecords.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tavrin {

// The records of one plan file as stored; no picture is decoded here.
struct TPlanRecords {
    rProjectHead head;
    std::vector<rImage> images;     // filename: the plan's folder + the stored file name
    std::vector<rRectangle> rects;  // order 0
    std::vector<rFontStyle> styles; // color as stored (see PlanColorToRgb)
    std::vector<rLayout> scenes;    // ascending stored id; equal ids keep file order
};

// Read results besides 0 (read), -1 (no such file, or it cannot be read)
// and 1 (not JSON).
constexpr int kPlanNotObject = -4; // JSON, but not an object

struct TPlanRead {
    int result = -1;
    // A plan as the editor writes it: the five head keys with their types,
    // every list an array of objects, every scene with its rectangle and
    // text arrays. Readers that are lenient take the records regardless.
    bool wellFormed = false;
};

// Reads the plan file at path. Missing keys read as 0 or "", lists that are
// not arrays as empty; plan is only written when the result is 0.
TPlanRead ReadPlanFile(const std::string& path, TPlanRecords& plan);
// The same for plan text; folder prefixes the image file names.
TPlanRead ParsePlanText(const std::string& text, const std::string& folder, TPlanRecords& plan);

// The file text: compact and ASCII only (non-ASCII as \u escapes), image
// file names without their folder, scene rectangles as {"id": n} objects.
std::string PlanText(const TPlanRecords& plan);
// 0, or -3 when the file cannot be written.
int WritePlanFile(const std::string& path, const TPlanRecords& plan);

// A plan stores a colour as the integer 0x00BBGGRR (red in the low byte);
// bits above the low 24 are kept in the file and ignored when drawing.
uint32_t PlanColorToRgb(int32_t color);  // 0xRRGGBB
int32_t RgbToPlanColor(uint32_t rgb);    // from 0xRRGGBB
std::string PlanColorHex(int32_t color); // "RRGGBB", upper-case hex

// Folder of a path with its trailing separator, "" when there is none.
std::string PlanFolderOf(const std::string& path);

} // namespace tavrin
