#include "replay/Ruler.h"

#include "base/MediaFrame.h"
#include "base/Rounding.h"

#include <QFont>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace tavrin {

namespace {

QColor Rgb(uint32_t rgb) {
    return QColor(int((rgb >> 16) & 0xFF), int((rgb >> 8) & 0xFF), int(rgb & 0xFF));
}

int64_t MinuteStartAudio(int m) {
    return int64_t(RoundTiesToEven(double(m) * 60000.0 / kAudioFrameMs));
}

// Whole lesson milliseconds of n audio frames.
int64_t AudioMs(int64_t n) {
    return int64_t(RoundTiesToEven(double(n) * kAudioFrameMs));
}

} // namespace

void TReplayRuler::SetLession(const std::vector<TIndex_IBlock>& blocks, int nMinutes,
                              TToggle toggleMark) {
    Index_IBlock_A = blocks;
    nM_Total = nMinutes;
    toggle = std::move(toggleMark);
    nCurrentIBlock = -1;
    nCurrentMinutes = 0;
}

TMinuteBlocks TReplayRuler::minuteBlocks(int m) const {
    TMinuteBlocks mb;
    const int64_t start = MinuteStartAudio(m);
    const int64_t next = MinuteStartAudio(m + 1);
    int64_t sum = 0;
    const int n = int(Index_IBlock_A.size());
    for (int i = 0; i < n; ++i) {
        sum += Index_IBlock_A[i].AudioCount;
        if (mb.first < 0 && sum > start) {
            mb.first = i;
        }
        if (mb.first >= 0 && sum > next) {
            mb.last = i;
            break;
        }
    }
    if (mb.first < 0) {
        return mb;
    }
    if (mb.last < 0) {
        mb.last = n - 1;
    }
    for (int i = mb.first; i <= mb.last; ++i) {
        if (mb.firstKept < 0 && Index_IBlock_A[i].DeleteFlag == 0) {
            mb.firstKept = i;
        }
        mb.deleted += Index_IBlock_A[i].DeleteFlag == 1 ? 1 : 0;
        mb.errors += Index_IBlock_A[i].ErrorFlag != 0 ? 1 : 0;
    }
    mb.count = mb.last - mb.first + (m == nM_Total ? 1 : 0);
    return mb;
}

int TReplayRuler::CurrentMinute() const {
    int64_t s = 0;
    for (int i = 0; i <= nCurrentIBlock && i < int(Index_IBlock_A.size()); ++i) {
        s += Index_IBlock_A[i].AudioCount;
    }
    return int(AudioMs(s) / 1000 / 60);
}

int TReplayRuler::CellWidth(const TMinuteBlocks& mb) const {
    return mb.count <= 60 ? rw / 60 : rw / std::max(mb.count, 1);
}

rRulerRect TReplayRuler::MinuteRect() const {
    return {rx + canvas.nStartX, ry + 20, rx + canvas.nStartX + canvas.ML * (nM_Total + 1),
            ry + 50};
}

rRulerRect TReplayRuler::SecondRect() const {
    const TMinuteBlocks mb = minuteBlocks(CurrentMinute());
    return {rx, ry + rh - 51, rx + CellWidth(mb) * std::max(mb.count, 0), ry + rh - 21};
}

int TReplayRuler::Resize_ruler(int x, int y, int w, int h) {
    rx = x;
    ry = y;
    rw = w;
    rh = h;
    const int n = nM_Total + 1;
    canvas = rCanvasAll{};
    canvas.ML = w / 60;
    if (n > 60) {
        canvas.bOverflow = true;
        canvas.w = canvas.ML * n;
        const int pages = (n + 59) / 60;
        for (int i = 0; i < pages; ++i) {
            canvas.xArray.push_back(i == pages - 1 ? canvas.ML * 60 - canvas.w
                                                   : -i * canvas.ML * 60);
        }
    } else {
        canvas.w = w;
        canvas.xArray.push_back(0);
    }
    canvas.nStartX = canvas.xArray[0];
    MinuteRulerRect = {x, y, x + w, y + 20};
    preMinuteRect = {x, y, x + 100, y + 20};
    nextMinuteRect = {x + w - 100, y, x + w, y + 20};
    repaintReplayArea();
    if (bDraw) {
        bitmap = QImage(std::max(x + w, 1), std::max(y + h, 1), QImage::Format_RGB32);
        bitmap.fill(Rgb(kBackground));
    }
    _DrawRuler();
    return 0;
}

void TReplayRuler::repaintReplayArea() {
    if (bDraw && !bitmap.isNull()) {
        bitmap.fill(Rgb(kBackground));
    }
}

void TReplayRuler::Fill(const rRulerRect& r, uint32_t rgb) {
    QPainter p(&bitmap);
    p.fillRect(QRect(r.left, r.top, r.right - r.left, r.bottom - r.top), Rgb(rgb));
}

int TReplayRuler::_ChangePage(bool bPre) {
    if (!canvas.bOverflow) {
        return 0;
    }
    const int old = canvas.nCurrentPageIndex;
    const int last = int(canvas.xArray.size()) - 1;
    canvas.nCurrentPageIndex = std::clamp(old + (bPre ? -1 : 1), 0, last);
    canvas.nStartX = canvas.xArray[canvas.nCurrentPageIndex];
    if (bDraw && !bitmap.isNull()) {
        Fill(MinuteRulerRect, kBackground);
        if (old != canvas.nCurrentPageIndex && (old == last || canvas.nCurrentPageIndex == last)) {
            Fill({rx, ry, rx + rw, ry + rh}, kBackground);
        }
    }
    _DrawRuler();
    return 0;
}

void TReplayRuler::_DrawRuler() {
    nCurrentMinutes = CurrentMinute();
    if (!bDraw || bitmap.isNull()) {
        return;
    }
    const TMinuteBlocks cur = minuteBlocks(nCurrentMinutes);
    if (cur.count <= 0 && cur.first < 0) {
        return;
    }
    if (nCurrentIBlock == cur.firstKept) {
        Fill({rx, ry, rx + rw, ry + rh}, kBackground);
    }
    QPainter p(&bitmap);
    QFont font = p.font();
    font.setPointSize(9);
    p.setFont(font);
    const int ML = canvas.ML;
    for (int i = 0; i <= nM_Total; ++i) {
        const int left = i * ML + canvas.nStartX;
        if (left < 0 || left > rw) {
            continue;
        }
        if (i % 5 == 0 || i == nM_Total) {
            const QString label = QString::number(i) +
                                  (i % 60 == 0 ? QStringLiteral("      分") : QStringLiteral("  "));
            p.setPen(Rgb(kText));
            p.drawText(QPoint(rx + left, ry + 2 + p.fontMetrics().ascent()), label);
        }
        const QRect cell(rx + left - 1, ry + 20, ML + 2, 30);
        p.fillRect(cell, Rgb(i == nCurrentMinutes ? kCurrent : kNormal));
        p.setPen(Rgb(kBackground));
        p.drawRect(cell.adjusted(0, 0, -1, -1));
        const TMinuteBlocks mb = minuteBlocks(i);
        if (mb.first < 0) {
            continue;
        }
        if (mb.deleted > 0) {
            const int bar = RoundToInt(double(ML) * mb.deleted / (mb.last - mb.first + 1)) + 3;
            p.fillRect(QRect(rx + left - 1, ry + 20, bar, 10), Rgb(kDeleted));
        }
        if (mb.errors > 0) {
            p.fillRect(QRect(rx + left - 1, ry + 30, ML + 2, 10), Rgb(kError));
        }
    }
    const int cellW = CellWidth(cur);
    int64_t elapsedMs = 0;
    for (int i = 0; i < cur.count; ++i) {
        const TIndex_IBlock& b = Index_IBlock_A[size_t(cur.first) + size_t(i)];
        if (i % 5 == 0) {
            const QString label = QString::number(elapsedMs / 1000) +
                                  (i == 0 ? QStringLiteral("      秒") : QString());
            p.setPen(Rgb(kText));
            p.drawText(QPoint(rx + i * cellW, ry + rh - 20 + p.fontMetrics().ascent()), label);
        }
        elapsedMs += AudioMs(b.AudioCount);
        const bool current = cur.first + i == nCurrentIBlock;
        uint32_t colour = current ? kCurrent : kNormal;
        const bool error = b.ErrorFlag != 0 && !current;
        if (error) {
            colour = kError;
        }
        if (b.DeleteFlag == 1) {
            colour = kDeleted;
        }
        const QRect cell(rx + i * cellW - 1, ry + rh - 51, cellW + 2, 30);
        p.fillRect(cell, Rgb(colour));
        p.setPen(Rgb(kBackground));
        p.drawRect(cell.adjusted(0, 0, -1, -1));
        if (error) {
            p.setPen(Rgb(kText));
            p.drawText(QPoint(cell.left() + 1 + 4, ry + rh - 45 + p.fontMetrics().ascent()),
                       b.ErrorFlag == 10 ? QStringLiteral("x") : QString::number(b.ErrorFlag));
        }
    }
}

int TReplayRuler::HitPageButton(int x, int y) const {
    if (!canvas.bOverflow) {
        return 0;
    }
    if (preMinuteRect.Contains(x, y)) {
        return -1;
    }
    return nextMinuteRect.Contains(x, y) ? 1 : 0;
}

int TReplayRuler::HitMinute(int x, int y) const {
    const rRulerRect r = MinuteRect();
    if (!r.Contains(x, y) || canvas.ML <= 0 || x < rx) {
        return -1;
    }
    return (x - rx - canvas.nStartX) / canvas.ML;
}

int TReplayRuler::HitBlock(int x, int y) const {
    const rRulerRect r = SecondRect();
    if (!r.Contains(x, y)) {
        return -1;
    }
    const TMinuteBlocks mb = minuteBlocks(CurrentMinute());
    const int cellW = CellWidth(mb);
    if (cellW <= 0) {
        return -1;
    }
    return mb.first + std::min((x - rx) / cellW, mb.count - 1);
}

int TReplayRuler::Toggle(int nBlock) {
    const int state = toggle ? toggle(nBlock) : -1;
    if (state >= 0 && nBlock >= 0 && nBlock < int(Index_IBlock_A.size())) {
        Index_IBlock_A[size_t(nBlock)].DeleteFlag = uint8_t(state);
    }
    return state;
}

int TReplayRuler::MarkMinute(int m, bool bKeepFirstThree) {
    const TMinuteBlocks mb = minuteBlocks(m);
    if (mb.first < 0 || mb.count <= 0) {
        return -1;
    }
    const int end = mb.first + mb.count; // the minute's own blocks
    int deleted = 0;
    for (int i = mb.first; i < end; ++i) {
        deleted += Index_IBlock_A[size_t(i)].DeleteFlag == 1 ? 1 : 0;
    }
    int state = -1;
    if (deleted >= 2) {
        for (int i = mb.first; i < end; ++i) {
            if (Index_IBlock_A[size_t(i)].DeleteFlag == 1) {
                state = Toggle(i);
            }
        }
        return state;
    }
    for (int i = mb.first; i < end; ++i) {
        state = Toggle(i);
    }
    if (bKeepFirstThree) {
        for (int i = mb.first; i < std::min(mb.first + 3, end); ++i) {
            if (Index_IBlock_A[size_t(i)].DeleteFlag == 1) {
                const int s = Toggle(i);
                state = i == end - 1 ? s : state;
            }
        }
    }
    return state;
}

int TReplayRuler::SetDropIblock(int x, int y) {
    int state = -1;
    const int block = HitBlock(x, y);
    if (block >= 0) {
        state = Toggle(block);
    } else {
        const int minute = HitMinute(x, y);
        if (minute < 0) {
            return -1;
        }
        state = MarkMinute(minute, true);
    }
    _DrawRuler();
    return state;
}

int TReplayRuler::SetDropIblock_EX(int x, int y, int x1, int y1) {
    if (x1 < x) {
        std::swap(x, x1);
        std::swap(y, y1);
    }
    int state = -1;
    const int block = HitBlock(x, y);
    if (block >= 0) {
        const TMinuteBlocks mb = minuteBlocks(CurrentMinute());
        const rRulerRect row = SecondRect();
        const int to = HitBlock(std::min(x1, row.right - 1), y);
        for (int i = block; i <= std::min(to, mb.first + mb.count - 1); ++i) {
            state = Toggle(i);
        }
    } else {
        const int minute = HitMinute(x, y);
        if (minute < 0) {
            return -1;
        }
        const int to = std::min(HitMinute(std::min(x1, MinuteRect().right - 1), y), nM_Total);
        for (int m = minute; m <= to; ++m) {
            const int s = MarkMinute(m, false);
            state = s >= 0 ? s : state;
        }
    }
    _DrawRuler();
    return state;
}

int TReplayRuler::QueryDeletedBlockSeconds() const {
    int64_t audio = 0;
    for (const TIndex_IBlock& b : Index_IBlock_A) {
        audio += b.DeleteFlag == 1 ? b.AudioCount : 0;
    }
    const int seconds = int(AudioMs(audio) / 1000);
    return (seconds == 0 && audio > 0) ? 1 : seconds;
}

int TReplayRuler::ClearMarks() {
    int marked = 0;
    for (TIndex_IBlock& b : Index_IBlock_A) {
        marked += b.DeleteFlag == 1 ? 1 : 0;
        b.DeleteFlag = 0;
    }
    _DrawRuler();
    return marked;
}

} // namespace tavrin
