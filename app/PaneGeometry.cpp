#include "app/PaneGeometry.h"

#include <cstddef>

namespace tavrin {

bool GridLayout(int clientW, int clientH, int barH, int nChannels, TGridLayout& out) {
    if (nChannels != 3 && nChannels != 5) {
        return false;
    }
    const int H = clientH - (barH + 125);
    const int W = clientW;
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
    if (H * 16 < W * 9) {
        h = H;
        w = H * 16 / 9;
        x = (W - w) / 2;
        y = 61;
    } else {
        w = W;
        h = W * 9 / 16;
        x = 0;
        y = (H - h) / 2 + 61;
    }
    out.panes.assign(std::size_t(nChannels) + 1, {});
    if (nChannels == 3) {
        for (int i = 0; i < 4; ++i) {
            TPaneRect& r = out.panes[std::size_t(i)];
            r.y = y + (i / 2) * (h / 2);
            r.x = x + (i % 2) * (w / 2) + 1;
            r.h = h / 2 - 1;
            r.w = w / 2 - 1 - (i % 2 == 1 ? 1 : 0);
        }
    } else {
        const int c = w / 3;
        const int r = h / 3;
        out.panes[0] = {x + 1, y, 2 * c - 1, 2 * r - 1};
        for (int i = 1; i <= 3; ++i) {
            out.panes[std::size_t(i)] = {x + 2 * c + 1, y + r * (i - 1), c - 2, r - 1};
        }
        out.panes[4] = {x + c + 1, out.panes[3].y, c - 1, r - 1};
        out.panes[5] = {x + 1, out.panes[3].y, c - 1, r - 1};
    }
    out.DispOne = {x, y, out.panes[1].Right() - x, out.panes[3].Bottom() - y + 1};
    return true;
}

TPaneRect ReplayPaneRect(int clientW, int clientH, int barH) {
    const int A = clientH - barH - 122;
    TPaneRect r;
    if (A * 16 < clientW * 9) {
        r.h = A;
        r.w = A * 16 / 9;
        r.x = (clientW - r.w) / 2;
        r.y = 0;
    } else {
        r.w = clientW;
        r.h = clientW * 9 / 16;
        r.x = 0;
        r.y = (clientH - r.h - barH - kRulerHeight) / 2;
    }
    return r;
}

TPaneRect ReplayRulerRect(int clientW, int clientH, int barH) {
    return {0, clientH - kRulerHeight - barH, clientW, kRulerHeight};
}

} // namespace tavrin
