#include "compose/CombineVideo.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavutil/imgutils.h>
}

namespace tavrin {

int TCombineVideo::initialize(int nW, int nH, const TCombArea_Ext* /*lCombArea_Ext*/) {
    if (nW <= 0 || nH <= 0 || nW % 2 != 0 || nH % 2 != 0) {
        return -1;
    }
    std::lock_guard<std::mutex> lock(FFrameLock);
    nYUVWidth = nW;
    nYUVHeight = nH;
    dstbuf.assign(size_t(nW) * nH * 3 / 2, 0);
    planeY = dstbuf.data();
    planeU = planeY + size_t(nW) * nH;
    planeV = planeU + size_t(nW / 2) * (nH / 2);
    count = 0;
    std::fill(std::begin(aCombin), std::end(aCombin), 0);
    CombArea_Ext = TCombArea_Ext{};
    FillBackground();
    return 0;
}

void TCombineVideo::FillBackground() {
    const size_t luma = size_t(nYUVWidth) * nYUVHeight;
    std::memset(planeY, kBackY, luma);
    std::memset(planeU, kBackUV, luma / 2);
}

void TCombineVideo::FillRows(int firstRow, int rows) {
    const int W = nYUVWidth;
    for (int r = firstRow; r < firstRow + rows && r < nYUVHeight; ++r) {
        std::memset(planeY + size_t(r) * W, kBackY, size_t(W));
    }
    for (int r = firstRow / 2; r < (firstRow + rows) / 2 && r < nYUVHeight / 2; ++r) {
        std::memset(planeU + size_t(r) * (W / 2), kBackUV, size_t(W / 2));
        std::memset(planeV + size_t(r) * (W / 2), kBackUV, size_t(W / 2));
    }
}

void TCombineVideo::CopyBackground(const uint8_t* yuv) {
    std::memcpy(dstbuf.data(), yuv, dstbuf.size());
}

void TCombineVideo::RepaintBackground(bool bForce) {
    if (CombArea_Ext.bNeedCover && CombArea_Ext.pYUVBuf != nullptr &&
        (bForce || CombArea_Ext.bNeedChangeCOver)) {
        CopyBackground(CombArea_Ext.pYUVBuf);
        CombArea_Ext.bNeedChangeCOver = false;
    } else if (!CombArea_Ext.bNeedCover) {
        FillBackground();
    }
}

int TCombineVideo::SetCombinePorts(const int32_t* portsArr, int nPortCounts) {
    std::lock_guard<std::mutex> lock(FFrameLock);
    if (nPortCounts > kMaxPorts || nPortCounts < 0 || (nPortCounts > 0 && portsArr == nullptr) ||
        dstbuf.empty()) {
        return -1;
    }
    const int oldCount = count;
    count = nPortCounts;
    std::fill(std::begin(aCombin), std::end(aCombin), 0);
    std::copy(portsArr, portsArr + nPortCounts, aCombin);
    if (!CombArea_Ext.bExt) {
        const int H6 = nYUVHeight / 6;
        if (count == 3) {
            FillRows(0, H6);
            FillRows(5 * H6, H6);
        } else if (count == 4) {
            RepaintBackground(false);
        }
        return count;
    }
    RepaintBackground(oldCount != count);
    return count;
}

int TCombineVideo::GetCombinePorts(int32_t (&portsArr)[kMaxPorts]) const {
    std::lock_guard<std::mutex> lock(FFrameLock);
    std::copy(std::begin(aCombin), std::end(aCombin), portsArr);
    return count;
}

int TCombineVideo::GetIFThisPortIn(int nPort) const {
    std::lock_guard<std::mutex> lock(FFrameLock);
    return SlotOf(nPort);
}

int TCombineVideo::SlotOf(int nPort) const {
    for (int i = 0; i < count && i < kMaxPorts; ++i) {
        if (aCombin[i] == nPort) {
            return i + 1;
        }
    }
    return 0;
}

int TCombineVideo::SetCombArea_Ext(const TCombArea_Ext& p) {
    std::lock_guard<std::mutex> lock(FFrameLock);
    CombArea_Ext.bExt = true;
    CombArea_Ext.count = p.count;
    CombArea_Ext.bNeedCover = p.bNeedCover;
    CombArea_Ext.bNeedChangeCOver = p.bNeedChangeCOver;
    CombArea_Ext.OneCHFullScreen = false;
    CombArea_Ext.Ext = p.Ext;
    CombArea_Ext.Ext_ForInterface = p.Ext_ForInterface;
    if (p.bNeedCover && p.bNeedChangeCOver && p.pYUVBuf != nullptr) {
        CombArea_Ext.pYUVBuf = p.pYUVBuf;
        if (!dstbuf.empty()) {
            CopyBackground(p.pYUVBuf);
        }
    }
    return 0;
}

void TCombineVideo::SetOneCHFullScreen(bool bFullScreen) {
    std::lock_guard<std::mutex> lock(FFrameLock);
    CombArea_Ext.OneCHFullScreen = bFullScreen;
}

int TCombineVideo::LoadYUVBikImage(const std::string& /*sFile*/) {
    std::lock_guard<std::mutex> lock(FFrameLock);
    if (!dstbuf.empty()) {
        RepaintBackground(false);
    }
    return 0;
}

bool TCombineVideo::SceneApplies() const {
    if (!CombArea_Ext.bExt || CombArea_Ext.count != count) {
        return false;
    }
    return !(count == 1 && CombArea_Ext.OneCHFullScreen);
}

int TCombineVideo::GetSlotSize(int nPort, int& DstW, int& DstH, int& nCount) const {
    std::lock_guard<std::mutex> lock(FFrameLock);
    const int slot = SlotOf(nPort);
    if (slot == 0) {
        return 0;
    }
    nCount = count;
    const int W = nYUVWidth;
    const int H = nYUVHeight;
    if (SceneApplies()) {
        if (size_t(slot) > CombArea_Ext.Ext_ForInterface.size()) {
            return 0;
        }
        const rRect& r = CombArea_Ext.Ext_ForInterface[size_t(slot - 1)];
        DstW = r.width;
        DstH = r.height;
        return slot;
    }
    switch (count) {
    case 1:
        DstW = W, DstH = H;
        break;
    case 2:
        if (slot == 1) {
            DstW = W, DstH = H;
        } else {
            DstW = W / 3, DstH = H / 3;
        }
        break;
    case 3:
        if (slot == 1) {
            DstW = 2 * W / 3, DstH = 2 * H / 3;
        } else {
            DstW = W / 3, DstH = H / 3;
        }
        break;
    default:
        DstW = W / 2, DstH = H / 2;
        break;
    }
    return slot;
}

void TCombineVideo::CopyRect(const TPlanes& src, int sx, int sy, int dx, int dy, int w, int h) {
    if (dx < 0) {
        sx -= dx, w += dx, dx = 0;
    }
    if (dy < 0) {
        sy -= dy, h += dy, dy = 0;
    }
    if (sx < 0 || sy < 0) {
        return;
    }
    w = std::min({w, nYUVWidth - dx, src.width - sx});
    h = std::min({h, nYUVHeight - dy, src.height - sy});
    if (w <= 0 || h <= 0) {
        return;
    }
    const int W = nYUVWidth;
    for (int r = 0; r < h; ++r) {
        std::memcpy(planeY + size_t(dy + r) * W + dx,
                    src.data[0] + size_t(sy + r) * src.linesize[0] + sx, size_t(w));
    }
    // Chroma follows the luma rectangle at half resolution.
    const int cw = std::min({w / 2, W / 2 - dx / 2, (src.width + 1) / 2 - sx / 2});
    const int ch = std::min({h / 2, nYUVHeight / 2 - dy / 2, (src.height + 1) / 2 - sy / 2});
    for (int r = 0; r < ch; ++r) {
        const size_t dst = size_t(dy / 2 + r) * (W / 2) + dx / 2;
        const size_t srcRow = size_t(sy / 2) + size_t(r);
        std::memcpy(planeU + dst, src.data[1] + srcRow * src.linesize[1] + sx / 2, size_t(cw));
        std::memcpy(planeV + dst, src.data[2] + srcRow * src.linesize[2] + sx / 2, size_t(cw));
    }
}

void TCombineVideo::DarkLumaRow(int row, int fromCol, int toCol) {
    if (row < 0 || row >= nYUVHeight) {
        return;
    }
    fromCol = std::max(fromCol, 0);
    toCol = std::min(toCol, nYUVWidth - 1);
    for (int c = fromCol; c <= toCol; ++c) {
        planeY[size_t(row) * nYUVWidth + c] = kBackY;
    }
}

void TCombineVideo::DarkLumaColumn(int col, int fromRow, int rows) {
    if (col < 0 || col >= nYUVWidth) {
        return;
    }
    for (int r = std::max(fromRow, 0); r < fromRow + rows && r < nYUVHeight; ++r) {
        planeY[size_t(r) * nYUVWidth + col] = kBackY;
    }
}

void TCombineVideo::PlaceBuiltIn(const TPlanes& src, int slot) {
    const int W = nYUVWidth;
    const int H = nYUVHeight;
    const int W3 = W / 3;
    const int H3 = H / 3;
    const int H6 = H / 6;
    switch (count) {
    case 1:
        CopyRect(src, 0, 0, 0, 0, W, H);
        break;
    case 2:
        if (slot == 1) {
            // Everything but the inset's corner, then the inset's dark frame.
            CopyRect(src, 0, 0, 0, 0, W, 2 * H3);
            CopyRect(src, 0, 2 * H3, 0, 2 * H3, 2 * W3, H - 2 * H3);
            DarkLumaRow(2 * H3 - 1, 2 * W3 - 1, W - 1);
            DarkLumaColumn(2 * W3 - 1, 2 * H3 - 1, H3 + 1);
        } else {
            CopyRect(src, 0, 0, 2 * W3, 2 * H3, W3, H3);
        }
        break;
    case 3:
        // The scratch size of the large slot is (W/3)*2 x (H/3)*2: where the
        // delivered (2W/3) x (2H/3) is larger, its left and top part is used.
        if (slot == 1) {
            CopyRect(src, 0, 0, 0, H6, W3 * 2, std::min(H3 * 2, 4 * H6));
        } else if (slot == 2) {
            CopyRect(src, 0, 0, 2 * W3, H6, W3, std::min(H3, H / 2 - H6));
        } else {
            CopyRect(src, 0, 0, 2 * W3, H / 2, W3, std::min(H3, 5 * H6 - H / 2));
        }
        break;
    case 4: {
        const int x = (slot == 2 || slot == 4) ? W / 2 : 0;
        const int y = (slot >= 3) ? H / 2 : 0;
        CopyRect(src, 0, 0, x, y, W / 2, H / 2);
        break;
    }
    default:
        break;
    }
}

void TCombineVideo::PlaceSceneArea(const TPlanes& src, int slot) {
    const rRect& target = CombArea_Ext.Ext[size_t(slot - 1)];
    const rRect& delivered = CombArea_Ext.Ext_ForInterface[size_t(slot - 1)];
    // Centre crop horizontally; the top rows are used.
    const int e = delivered.width > target.width ? (delivered.width - target.width) / 2 : 0;
    TPlanes clipped = src;
    clipped.width = std::min(src.width, int(delivered.width));
    clipped.height = std::min(src.height, int(delivered.height));
    CopyRect(clipped, e, 0, target.left, target.top, target.width, target.height);
}

int TCombineVideo::PushYUVtoCombine(const AVFrame* PYUVData, int nPort, int nCount, int nIndex) {
    std::lock_guard<std::mutex> lock(FFrameLock);
    const int slot = SlotOf(nPort);
    if (nCount != count || nIndex != slot || slot == 0 || dstbuf.empty()) {
        return 0;
    }
    if (PYUVData == nullptr || PYUVData->format != AV_PIX_FMT_YUV420P ||
        PYUVData->data[0] == nullptr || PYUVData->data[1] == nullptr ||
        PYUVData->data[2] == nullptr) {
        return 0;
    }
    const TPlanes src{{PYUVData->data[0], PYUVData->data[1], PYUVData->data[2]},
                      {PYUVData->linesize[0], PYUVData->linesize[1], PYUVData->linesize[2]},
                      PYUVData->width,
                      PYUVData->height};
    if (SceneApplies()) {
        if (size_t(slot) > CombArea_Ext.Ext.size() ||
            size_t(slot) > CombArea_Ext.Ext_ForInterface.size()) {
            return 0;
        }
        PlaceSceneArea(src, slot);
    } else {
        PlaceBuiltIn(src, slot);
    }
    return slot;
}

int TCombineVideo::GetFrame(AVFrame* PYUVData) {
    std::lock_guard<std::mutex> lock(FFrameLock);
    if (PYUVData == nullptr || dstbuf.empty() || PYUVData->width != nYUVWidth ||
        PYUVData->height != nYUVHeight || PYUVData->format != AV_PIX_FMT_YUV420P) {
        return -1;
    }
    const uint8_t* src[4] = {planeY, planeU, planeV, nullptr};
    const int srcLines[4] = {nYUVWidth, nYUVWidth / 2, nYUVWidth / 2, 0};
    av_image_copy(PYUVData->data, PYUVData->linesize, src, srcLines, AV_PIX_FMT_YUV420P, nYUVWidth,
                  nYUVHeight);
    return 0;
}

} // namespace tavrin
