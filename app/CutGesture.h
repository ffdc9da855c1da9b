// The mouse gestures on a channel pane that become a cut rectangle of the
// channel's picture, in per mille (0 ... 1000) of the pane, and the point a
// PTZ click sends as the camera's view centre.
#pragma once

namespace tavrin {

struct TPermilleRect {
    int xStart = 0;
    int yStart = 0;
    int xEnd = 0;
    int yEnd = 0;
    int Width() const { return xEnd - xStart; }
    int Height() const { return yEnd - yStart; }
    bool operator==(const TPermilleRect&) const = default;
};

// Rectangles smaller than this in both directions are taken for a slip.
inline constexpr int kMinCutPermille = 100;

// The rectangle between two pane points, corners ordered, in per mille of a
// paneW x paneH pane (values outside 0 ... 1000 when a point left the pane).
TPermilleRect PermilleRect(int x0, int y0, int x1, int y1, int paneW, int paneH);

// While dragging: the trial rectangle is sent when it is not empty and lies
// within the picture.
bool TrialRectWanted(const TPermilleRect& r);

// On release: accepted unless a value lies outside 0 ... 1000 or it is less
// than 100 per mille both wide and high.
bool ReleaseRectAccepted(const TPermilleRect& r);

// A PTZ click at (x, y) on a paneW x paneH pane, in the 1280 x 720 space of
// the camera commands.
void PtzPoint(int x, int y, int paneW, int paneH, int& px, int& py);

} // namespace tavrin
