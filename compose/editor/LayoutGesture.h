// The editor's hit tests and drag rules on the 1920 x 1080 canvas, kept free
// of any window so that every rule can be checked on its own: where a press
// lands on a rectangle, how a drag moves or resizes it, how style samples
// and scene texts follow the pointer, the aspect buttons and the fit of the
// picture panel.
#pragma once

#include "compose/LayoutRecords.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace tavrin {

// Handle numbers of a rectangle.
enum : int {
    kHandleTopLeft = 0,
    kHandleTop = 1,
    kHandleTopRight = 2,
    kHandleLeft = 3,
    kHandleRight = 4,
    kHandleBottomLeft = 5,
    kHandleBottom = 6,
    kHandleBottomRight = 7,
    kHandleBody = 8,
};

// A press counts within this many canvas pixels around an item.
constexpr int kGrabMargin = 50;
// A resize never leaves a rectangle narrower or lower than this.
constexpr int kMinRectSide = 200;

// The editor window's drag state, from mouse-down to mouse-up.
struct TChooseItem {
    bool bChoose = false;       // a drag may run
    bool bSubItem = false;      // a text inside a scene is selected
    int nType = 0;              // kItemRectangle, kItemFontStyle or kItemText
    int nRectAdjustOrScale = 0; // 1 move, 2 resize
    int32_t mainID = -1;        // item id, or the scene id for a text
    int32_t subID = -1;         // text id
    int startW = 0;             // grab offsets in canvas pixels
    int startH = 0;
    int nRectEnterNum = kHandleBody;
};

// Canvas <-> display mapping of the picture (Disp_xr inside the panel).
struct TDispMap {
    rRect Disp_xr;
    int nYUVWidth = kPlanWidth;
    int nYUVHeight = kPlanHeight;

    int ToDispX(int x) const;
    int ToDispY(int y) const;
    int ScaleW(int w) const;
    int ScaleH(int h) const;
    // Display point to canvas; false (and nothing written) outside Disp_xr,
    // whose edges count as inside.
    bool ToCanvas(int X, int Y, int& x, int& y) const;
    // Canvas sizes from display sizes.
    int CanvasW(int w) const;
    int CanvasH(int h) const;
};

struct TRectGrab {
    int32_t id = -1;
    int handle = kHandleBody;
    int startW = 0;
    int startH = 0;
};

struct TBoxGrab {
    int32_t id = -1;
    int startW = 0;
    int startH = 0;
};

class TLayoutGesture {
public:
    // True when (x, y) lies within box (x0, y0, w, h) grown by the margin.
    static bool InGrownBox(int x0, int y0, int w, int h, int x, int y);
    // The handle of r that (x, y) takes (edges first, then corners, the
    // later corner winning), or -1 when the point misses r's grown box.
    static int RectHandle(const rRect& r, int x, int y);
    // Grab offsets: (dx, dy) from the top-left, measured from the right or
    // bottom edge for a handle on that side.
    static void GrabOffsets(const rRect& r, int handle, int x, int y, int& startW, int& startH);
    // Tests the candidates in the order given (the list's selection first,
    // then the list): the first whose grown box holds the point.
    static std::optional<TRectGrab> HitRectangles(const std::vector<rRectangle>& candidates, int x,
                                                  int y);
    // The same on style samples (x, y, wh) and on scene texts; always a move.
    static std::optional<TBoxGrab> HitStyles(const std::vector<rFontStyle>& styles, int x, int y);
    static std::optional<TBoxGrab> HitTexts(const std::vector<rText>& texts, int x, int y);

    // A rectangle moved so that the grab point follows the pointer, kept on
    // the canvas.
    static rRect MoveRect(const rRect& r, int x, int y, int startW, int startH, int canvasW,
                          int canvasH);
    // The rectangle resized by dragging `handle`; nullopt when a side it
    // changes would fall below the minimum (the rectangle then stays as it was).
    static std::optional<rRect> ResizeRect(const rRect& r, int handle, int x, int y, int startW,
                                           int startH, int canvasW, int canvasH);
    // Top-left of a box of size wh dragged to the pointer, kept on the canvas.
    static rPoint MoveBox(int x, int y, int startW, int startH, const rPoint& wh, int canvasW,
                          int canvasH);
    // The height an aspect button gives r (num:den = width:height); nullopt
    // when the rectangle would then reach below the canvas.
    static std::optional<int> AspectHeight(const rRect& r, int num, int den, int canvasH);
    // The largest 16:9 area centred in a container of w x h.
    static rRect FitPanel(int containerW, int containerH);
};

} // namespace tavrin
