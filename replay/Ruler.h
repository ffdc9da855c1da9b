// The two-row timeline ruler under the replay picture: minutes of the lesson
// above, the I-blocks of the current minute below. The operator marks blocks
// deleted by clicking or dragging; the ruler draws into an image that the
// main window paints, so it works without any window.
#pragma once

#include "output/LessonStoreFormat.h"

#include <QImage>
#include <functional>
#include <string>
#include <vector>

namespace tavrin {

struct rRulerRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool Contains(int x, int y) const { return left <= x && x < right && top <= y && y < bottom; }
};

struct rCanvasAll {
    bool bOverflow = false; // more than one page of minutes
    int ML = 0;             // width of one minute cell
    int w = 0;              // width of all minute cells
    int nStartX = 0;        // offset of the visible page, 0 or negative
    int nCurrentPageIndex = 0;
    std::vector<int> xArray; // offset of each page
};

// The blocks of one lesson minute.
struct TMinuteBlocks {
    int first = -1;
    int last = -1;
    int firstKept = -1;
    int deleted = 0;
    int errors = 0;
    int count = 0; // cells drawn for the minute
};

class TReplayRuler {
public:
    // Toggles a block's mark in the store; the new flag, or -1.
    using TToggle = std::function<int(int nBlock)>;

    static constexpr uint32_t kBackground = 0x262626;
    static constexpr uint32_t kNormal = 0x808080;
    static constexpr uint32_t kCurrent = 0x00BB00;
    static constexpr uint32_t kDeleted = 0xB90000;
    static constexpr uint32_t kError = 0xB0B000;
    static constexpr uint32_t kText = 0xFFFFFF;

    // The block table (the engine's copy) and the lesson's last minute.
    void SetLession(const std::vector<TIndex_IBlock>& blocks, int nM_Total, TToggle toggle);
    const std::vector<TIndex_IBlock>& Blocks() const { return Index_IBlock_A; }

    // Lays the ruler out in rulerRect (x, y, w, h) and draws it.
    int Resize_ruler(int x, int y, int w, int h);
    int _ChangePage(bool bPre);
    void _DrawRuler();
    void repaintReplayArea();
    const QImage& Image() const { return bitmap; }
    // When false (no GUI application), drawing is skipped; marks still work.
    void EnableDrawing(bool bOn) { bDraw = bOn; }

    void SetCurrentIBlock(int nBlock) { nCurrentIBlock = nBlock; }
    int CurrentMinute() const;
    TMinuteBlocks minuteBlocks(int m) const;

    // Hit tests: the page button (-1 previous, 1 next, 0 none), the minute
    // under a point of the minute row or the block under a point of the
    // block row (-1 when the point is outside the row).
    int HitPageButton(int x, int y) const;
    int HitMinute(int x, int y) const;
    int HitBlock(int x, int y) const;

    int SetDropIblock(int x, int y);
    int SetDropIblock_EX(int x, int y, int x1, int y1);
    int QueryDeletedBlockSeconds() const;
    // Clears the engine copy's marks and redraws; the number that were set.
    int ClearMarks();

    const rCanvasAll& CanvasAll() const { return canvas; }
    int CellWidth(const TMinuteBlocks& mb) const;
    rRulerRect MinuteRect() const;
    rRulerRect SecondRect() const;
    int nCurrentMinutes = 0;

private:
    int Toggle(int nBlock);
    // The minute rule; returns the state of the last block handled or -1.
    int MarkMinute(int m, bool bKeepFirstThree);
    void Fill(const rRulerRect& r, uint32_t rgb);

    std::vector<TIndex_IBlock> Index_IBlock_A;
    TToggle toggle;
    int nM_Total = 0;
    int nCurrentIBlock = -1;
    int rx = 0, ry = 0, rw = 0, rh = 0;
    rCanvasAll canvas;
    rRulerRect MinuteRulerRect, preMinuteRect, nextMinuteRect;
    QImage bitmap;
    bool bDraw = true;
};

} // namespace tavrin
