#include "compose/editor/LayoutGesture.h"

#include <algorithm>
#include <cstdlib>

namespace tavrin {

namespace {

// v kept within lo .. hi; a box larger than the canvas sticks to its origin.
int Clamp(int v, int lo, int hi) {
    return std::max(lo, std::min(v, hi));
}

bool Near(int d) {
    return std::abs(d) < kGrabMargin;
}

} // namespace

int TDispMap::ToDispX(int x) const {
    return int(int64_t(x) * Disp_xr.width / nYUVWidth) + Disp_xr.left;
}

int TDispMap::ToDispY(int y) const {
    return int(int64_t(y) * Disp_xr.height / nYUVHeight) + Disp_xr.top;
}

int TDispMap::ScaleW(int w) const {
    return int(int64_t(w) * Disp_xr.width / nYUVWidth);
}

int TDispMap::ScaleH(int h) const {
    return int(int64_t(h) * Disp_xr.height / nYUVHeight);
}

int TDispMap::CanvasW(int w) const {
    return Disp_xr.width <= 0 ? 0 : int(int64_t(w) * nYUVWidth / Disp_xr.width);
}

int TDispMap::CanvasH(int h) const {
    return Disp_xr.height <= 0 ? 0 : int(int64_t(h) * nYUVHeight / Disp_xr.height);
}

bool TDispMap::ToCanvas(int X, int Y, int& x, int& y) const {
    if (Disp_xr.width <= 0 || Disp_xr.height <= 0 || X < Disp_xr.left ||
        X > Disp_xr.left + Disp_xr.width || Y < Disp_xr.top || Y > Disp_xr.top + Disp_xr.height) {
        return false;
    }
    x = int(int64_t(nYUVWidth) * (X - Disp_xr.left) / Disp_xr.width);
    y = int(int64_t(nYUVHeight) * (Y - Disp_xr.top) / Disp_xr.height);
    return true;
}

bool TLayoutGesture::InGrownBox(int x0, int y0, int w, int h, int x, int y) {
    return x > x0 - kGrabMargin && x < x0 + w + kGrabMargin && y > y0 - kGrabMargin &&
           y < y0 + h + kGrabMargin;
}

int TLayoutGesture::RectHandle(const rRect& r, int x, int y) {
    if (!InGrownBox(r.left, r.top, r.width, r.height, x, y)) {
        return -1;
    }
    const int dx = x - r.left;
    const int dy = y - r.top;
    const bool left = Near(dx);
    const bool right = Near(dx - r.width);
    const bool top = Near(dy);
    const bool bottom = Near(dy - r.height);
    int handle = kHandleBody;
    if (bottom) {
        handle = kHandleBottom;
    } else if (top) {
        handle = kHandleTop;
    } else if (right) {
        handle = kHandleRight;
    } else if (left) {
        handle = kHandleLeft;
    }
    // Corners override the edge; on a small rectangle several may apply and
    // the last one wins.
    if (left && top) {
        handle = kHandleTopLeft;
    }
    if (top && right) {
        handle = kHandleTopRight;
    }
    if (left && bottom) {
        handle = kHandleBottomLeft;
    }
    if (right && bottom) {
        handle = kHandleBottomRight;
    }
    return handle;
}

void TLayoutGesture::GrabOffsets(const rRect& r, int handle, int x, int y, int& startW,
                                 int& startH) {
    startW = x - r.left;
    startH = y - r.top;
    if (handle == kHandleTopRight || handle == kHandleRight || handle == kHandleBottomRight) {
        startW -= r.width;
    }
    if (handle == kHandleBottomLeft || handle == kHandleBottom || handle == kHandleBottomRight) {
        startH -= r.height;
    }
}

std::optional<TRectGrab> TLayoutGesture::HitRectangles(const std::vector<rRectangle>& candidates,
                                                       int x, int y) {
    for (const rRectangle& c : candidates) {
        const int handle = RectHandle(c.rect, x, y);
        if (handle < 0) {
            continue;
        }
        TRectGrab grab;
        grab.id = c.id;
        grab.handle = handle;
        GrabOffsets(c.rect, handle, x, y, grab.startW, grab.startH);
        return grab;
    }
    return std::nullopt;
}

std::optional<TBoxGrab> TLayoutGesture::HitStyles(const std::vector<rFontStyle>& styles, int x,
                                                  int y) {
    for (const rFontStyle& s : styles) {
        if (InGrownBox(s.x, s.y, s.wh.x, s.wh.y, x, y)) {
            return TBoxGrab{s.id, x - s.x, y - s.y};
        }
    }
    return std::nullopt;
}

std::optional<TBoxGrab> TLayoutGesture::HitTexts(const std::vector<rText>& texts, int x, int y) {
    for (const rText& t : texts) {
        if (InGrownBox(t.x, t.y, t.wh.x, t.wh.y, x, y)) {
            return TBoxGrab{t.id, x - t.x, y - t.y};
        }
    }
    return std::nullopt;
}

rRect TLayoutGesture::MoveRect(const rRect& r, int x, int y, int startW, int startH, int canvasW,
                               int canvasH) {
    rRect moved = r;
    moved.left = Clamp(x - startW, 0, canvasW - r.width);
    moved.top = Clamp(y - startH, 0, canvasH - r.height);
    return moved;
}

std::optional<rRect> TLayoutGesture::ResizeRect(const rRect& r, int handle, int x, int y,
                                                int startW, int startH, int canvasW, int canvasH) {
    const int X = x - startW;
    const int Y = y - startH;
    const int L = r.left;
    const int T = r.top;
    const int W = r.width;
    const int H = r.height;
    rRect n = r;
    switch (handle) {
    case kHandleTopLeft:
        n = {X, Y, W + L - X, H + T - Y};
        break;
    case kHandleTop:
        n = {L, Y, W, H + T - Y};
        break;
    case kHandleTopRight:
        n = {L, Y, X - L, H + T - Y};
        break;
    case kHandleLeft:
        n = {X, T, W + L - X, H};
        break;
    case kHandleRight:
        n = {L, T, X - L, H};
        break;
    case kHandleBottomLeft:
        n = {X, T, W + L - X, Y - T};
        break;
    case kHandleBottom:
        n = {L, T, W, Y - T};
        break;
    case kHandleBottomRight:
        n = {L, T, X - L, Y - T};
        break;
    default:
        return std::nullopt;
    }
    // Only a side the handle changes must keep the minimum: a new rectangle
    // starts 180 high and must still be narrowed by its side handles.
    if ((n.width != W && n.width < kMinRectSide) || (n.height != H && n.height < kMinRectSide)) {
        return std::nullopt;
    }
    n.left = std::max(n.left, 0);
    n.width = std::min(n.width, canvasW);
    if (n.left + n.width > canvasW) {
        n.left = canvasW - n.width;
    }
    n.top = std::max(n.top, 0);
    n.height = std::min(n.height, canvasH);
    if (n.top + n.height > canvasH) {
        n.top = canvasH - n.height;
    }
    return n;
}

rPoint TLayoutGesture::MoveBox(int x, int y, int startW, int startH, const rPoint& wh, int canvasW,
                               int canvasH) {
    return {Clamp(x - startW, 0, canvasW - wh.x), Clamp(y - startH, 0, canvasH - wh.y)};
}

std::optional<int> TLayoutGesture::AspectHeight(const rRect& r, int num, int den, int canvasH) {
    if (num <= 0 || den <= 0) {
        return std::nullopt;
    }
    const int h = int(int64_t(r.width) * den / num);
    if (r.top + h > canvasH) {
        return std::nullopt;
    }
    return h;
}

rRect TLayoutGesture::FitPanel(int containerW, int containerH) {
    if (containerW <= 0 || containerH <= 0) {
        return {};
    }
    if (int64_t(containerW) * 9 > int64_t(containerH) * 16) {
        const int w = int(int64_t(containerH) * 16 / 9);
        return {(containerW - w) / 2, 0, w, containerH};
    }
    const int h = int(int64_t(containerW) * 9 / 16);
    return {0, (containerH - h) / 2, containerW, h};
}

} // namespace tavrin
