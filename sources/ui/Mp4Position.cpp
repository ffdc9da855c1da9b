#include "sources/ui/Mp4Position.h"

#include <algorithm>

namespace tavrin {

TMp4Bars Mp4Bars(int CurrentSec, int TotalSec) {
    TMp4Bars b;
    TotalSec = std::max(TotalSec, 0);
    CurrentSec = std::max(CurrentSec, 0);
    b.nMinMax = TotalSec / 60;
    b.nMinPos = CurrentSec / 60;
    b.nSecPos = CurrentSec % 60;
    return b;
}

std::string BarLabel(int nPos, int nMax) {
    return std::to_string(nPos) + "/" + std::to_string(nMax);
}

std::string CycleCaption(bool bCycle) {
    return bCycle ? "循环播放已开" : "循环播放已关";
}

} // namespace tavrin
