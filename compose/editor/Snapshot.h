// Snapshots of the editor's picture: the current item drawn at 1280 x 720 or
// 1920 x 1080 and kept as a JPEG (quality 90) in the plan folder's
// "snapshot" folder.
#pragma once

#include <ctime>
#include <string>

namespace tavrin {

class TInterLayout;

constexpr int kSnapshotQuality = 90;

// "yyyy-mm-dd hh-nn-ss(WxH).jpg" of the local time t.
std::string SnapshotFileName(std::time_t t, int w, int h);

// Converts a BMP file to a JPEG; true when written.
bool BmpToJpeg(const std::string& bmpFile, const std::string& jpegFile, int quality);

// Draws the picture at w x h, writes it into <plan folder>/snapshot/ (made
// when missing) under the name of time t and tells the operator where it
// went, or that it failed. The file written, or "" on failure.
std::string TakeSnapshot(TInterLayout& view, int w, int h, std::time_t t);

} // namespace tavrin
