// Where the panes of the main window go: the preview grid of capture mode
// (the programme pane and three or five channel panes over a 16:9 region),
// the replay picture and the ruler under it. Pure arithmetic on the client
// size, so the layout can be checked without a window.
#pragma once

#include <vector>

namespace tavrin {

struct TPaneRect {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
    int Right() const { return x + w; }
    int Bottom() const { return y + h; }
    bool operator==(const TPaneRect&) const = default;
};

// Both bars along the bottom edge are this high.
inline constexpr int kBarHeight = 49;
// Height of the replay ruler drawn on the window above the replay bar.
inline constexpr int kRulerHeight = 120;

struct TGridLayout {
    std::vector<TPaneRect> panes; // pane i shows channel i, pane 0 the programme
    TPaneRect DispOne;            // the region the grid covers
};

// The grid for nChannels 3 or 5; false (and nothing laid out) otherwise.
bool GridLayout(int clientW, int clientH, int barH, int nChannels, TGridLayout& out);

// The replay picture pane: the largest 16:9 area above the ruler.
TPaneRect ReplayPaneRect(int clientW, int clientH, int barH);
// The ruler's rectangle on the window, right above the replay bar.
TPaneRect ReplayRulerRect(int clientW, int clientH, int barH);

} // namespace tavrin
