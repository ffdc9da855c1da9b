// The position of an MP4 channel as the position dialog shows it: a minutes
// bar and a seconds bar with "position/maximum" labels.
#pragma once

#include <string>

namespace tavrin {

struct TMp4Bars {
    int nMinMax = 0;
    int nMinPos = 0;
    int nSecMax = 60;
    int nSecPos = 0;
};

TMp4Bars Mp4Bars(int CurrentSec, int TotalSec);

// "1/2".
std::string BarLabel(int nPos, int nMax);

// "循环播放已开" or "循环播放已关".
std::string CycleCaption(bool bCycle);

} // namespace tavrin
