// Decodes a JPEG file into a YUV 4:2:0 planar picture of an exact size. The
// image source, the scene runtime, the plan model and the MP4 builder all
// take their still pictures from here.
#pragma once

#include <cstdint>
#include <string>

namespace tavrin {

// Result codes of JpegToYUV420.
enum : int {
    kJpegMissing = -1,
    kJpegTempOpen = -1000, // kept for callers that test the full code set
    kJpegHeader = -1001,   // the JPEG bytes could not be read
    kJpegNoContainer = -1002,
    kJpegNoStream = -1003,
    kJpegNoCodec = -1004,   // no MJPEG decoder in the libraries
    kJpegOpenRead = -1005,  // the decoder could not be opened
    kJpegNoPicture = -1006, // the bytes did not decode to a picture
    kJpegNoDestination = -1007,
};

// Decodes jpegFile and scales it (bicubic) to width x height YUV420P. The
// picture (width * height * 3 / 2 bytes, Y then U then V without gaps) is
// written to outFile when it is not empty (created or overwritten) and copied
// into buffer when it is not null. A missing file shows its name followed by
// " 图片找不到" and returns -1.
int JpegToYUV420(const std::string& jpegFile, const std::string& outFile, uint8_t* buffer,
                 int height, int width);

} // namespace tavrin
