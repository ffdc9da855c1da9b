#include "app/CutGesture.h"

#include <algorithm>

namespace tavrin {

namespace {

bool WithinPicture(const TPermilleRect& r) {
    return r.xStart >= 0 && r.yStart >= 0 && r.xEnd <= 1000 && r.yEnd <= 1000;
}

} // namespace

TPermilleRect PermilleRect(int x0, int y0, int x1, int y1, int paneW, int paneH) {
    paneW = std::max(1, paneW);
    paneH = std::max(1, paneH);
    TPermilleRect r;
    r.xStart = std::min(x0, x1) * 1000 / paneW;
    r.xEnd = std::max(x0, x1) * 1000 / paneW;
    r.yStart = std::min(y0, y1) * 1000 / paneH;
    r.yEnd = std::max(y0, y1) * 1000 / paneH;
    return r;
}

bool TrialRectWanted(const TPermilleRect& r) {
    return r.Width() > 0 && r.Height() > 0 && WithinPicture(r);
}

bool ReleaseRectAccepted(const TPermilleRect& r) {
    if (!WithinPicture(r)) {
        return false;
    }
    return r.Width() >= kMinCutPermille || r.Height() >= kMinCutPermille;
}

void PtzPoint(int x, int y, int paneW, int paneH, int& px, int& py) {
    px = x * 1280 / std::max(1, paneW);
    py = y * 720 / std::max(1, paneH);
}

} // namespace tavrin
