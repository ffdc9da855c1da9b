// What the stream settings dialog shows and decides, without the widgets:
// the recording's figures, the bit-rate list, the size and time estimates
// and the conversion choice handed to the MP4 builder.
#pragma once

#include "mp4/Mp4Thread.h"

#include <string>
#include <vector>

namespace tavrin {

class TPixSetModel {
public:
    static constexpr int kBitrateEntries = 21;
    static constexpr int kDefaultBitrateEntry = 5; // "1.5"

    // size in MB, length in seconds, video bit rate in 0.1 Mbit/s, picture size.
    void SetServerInfo(int size, int nSec, int bitrate, int width, int height);

    // "1", "1.1" ... "1.9", then "2" ... "12".
    static std::vector<std::string> BitrateEntries();
    // Bit rate of a list entry in kbit/s (1000 ... 12000).
    static int BitrateKbps(int entry);

    // Estimated MP4 size in MB and conversion time in minutes.
    static int EstimateSizeMB(int nSeconds, int entry);
    static int EstimateMinutes(int nSeconds, bool b1080);

    // The recording's figures, four lines joined by "\r\n".
    std::string InfoText() const;
    // Caption of the "cards only" option, naming the other resolution.
    std::string OtherResolutionCaption() const;
    // Index of the recording's own size in the resolution list.
    int OwnResolutionIndex() const { return Wide() ? 1 : 0; }
    // The estimate for a resolution-list index and a bit-rate entry.
    std::string EstimateText(int resolutionIndex, int entry) const;

    // The choice for mode 0 (copy), 1 (cards at the other size) or 2
    // (re-encode to the listed size and bit rate).
    TConvertMode Result(int nMode, int resolutionIndex, int entry) const;

    int Seconds() const { return nSeconds; }

private:
    bool Wide() const { return nWidth == 1920; }

    int nSize = 0;
    int nBitrate = 0;
    int nSeconds = 0;
    int nWidth = 1280;
    int nHeight = 720;
};

} // namespace tavrin
