// The programme canvas: one YUV 4:2:0 picture of the programme size into
// which the programme's channels place their pictures, either in the
// built-in arrangements for one to four channels or in the areas of the
// active scene. Channels deliver pictures already scaled to their slot's
// size; here rows are only cropped and copied.
#pragma once

#include "av/AvPtr.h"
#include "compose/CombArea.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace tavrin {

class TCombineVideo {
public:
    static constexpr int kMaxPorts = 4;
    static constexpr uint8_t kBackY = 32;
    static constexpr uint8_t kBackUV = 128;

    TCombineVideo() = default;
    TCombineVideo(const TCombineVideo&) = delete;
    TCombineVideo& operator=(const TCombineVideo&) = delete;

    // lCombArea_Ext is not used. 0, or -1 for a size that is not positive and even.
    int initialize(int nW, int nH, const TCombArea_Ext* lCombArea_Ext = nullptr);

    // The programme's channels in slot order; count, or -1 (nothing changed)
    // for more than four or a negative count.
    int SetCombinePorts(const int32_t* portsArr, int nPortCounts);
    // Copies the programme's channels into portsArr; their count.
    int GetCombinePorts(int32_t (&portsArr)[kMaxPorts]) const;
    // 1-based slot of nPort, 0 when it is not on the programme.
    int GetIFThisPortIn(int nPort) const;
    int SetCombArea_Ext(const TCombArea_Ext& p);
    void SetOneCHFullScreen(bool bFullScreen);
    // Repaints the background (not forced); the file name is not used.
    int LoadYUVBikImage(const std::string& sFile);

    // Places a delivered YUV420P picture of port nPort. Returns its slot, or
    // 0 when the layout changed since the channel asked (nCount or nIndex no
    // longer match) and the canvas is left untouched.
    int PushYUVtoCombine(const AVFrame* PYUVData, int nPort, int nCount, int nIndex);

    // Copies the canvas into the caller's W x H YUV420P picture.
    int GetFrame(AVFrame* PYUVData);

    // The size at which nPort must deliver and the channel count; slot, or 0
    // (nothing set) when the port is not on the programme.
    int GetSlotSize(int nPort, int& DstW, int& DstH, int& nCount) const;

    int Width() const { return nYUVWidth; }
    int Height() const { return nYUVHeight; }

private:
    struct TPlanes {
        const uint8_t* data[3];
        int linesize[3];
        int width;
        int height;
    };

    // Every public operation holds FFrameLock; these run inside it.
    int SlotOf(int nPort) const;
    bool SceneApplies() const;
    void FillBackground();
    void FillRows(int firstRow, int rows);
    void RepaintBackground(bool bForce);
    void CopyBackground(const uint8_t* yuv);
    // Copies w x h luma (and the matching chroma) from (sx, sy) of src to
    // (dx, dy) of the canvas, clipped to both pictures.
    void CopyRect(const TPlanes& src, int sx, int sy, int dx, int dy, int w, int h);
    void PlaceBuiltIn(const TPlanes& src, int slot);
    void PlaceSceneArea(const TPlanes& src, int slot);
    void DarkLumaRow(int row, int fromCol, int toCol);
    void DarkLumaColumn(int col, int fromRow, int rows);

    mutable std::mutex FFrameLock;
    int32_t count = 0;
    int32_t aCombin[kMaxPorts] = {};
    int nYUVWidth = 0;
    int nYUVHeight = 0;
    std::vector<uint8_t> dstbuf; // Y, then U, then V, lines without gaps
    uint8_t* planeY = nullptr;
    uint8_t* planeU = nullptr;
    uint8_t* planeV = nullptr;
    TCombArea_Ext CombArea_Ext;
};

} // namespace tavrin
