// The runtime side of the activity plan: reads the plan file, groups its
// scenes by their number of video rectangles for the layout menus and, when
// the operator picks a scene, prepares its background with its texts drawn
// in and hands the compositor the scene's areas. Main thread only.
#pragma once

#include "av/AvPtr.h"
#include "compose/AVFilter.h"
#include "compose/CombArea.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tavrin {

class TCombineOut;

class TScreenLayout {
public:
    // Scenes show at most this many video rectangles.
    static constexpr int kMaxRects = 4;

    // The runtime's own records, read from the plan file; the plan model of
    // the editor has records of the same names that these do not share.
    struct rProjectHead {
        int32_t layoutcount = 0; // scenes read
        std::string name;
        std::string filename; // path of the plan file
        std::string rtmp;
    };
    struct rImage {
        int32_t id = 0;
        std::string name;
        std::string filename;        // full path
        std::vector<uint8_t> pImage; // canvas-size YUV420P, empty when not decoded
    };
    struct rFontStyle {
        int32_t id = 0;
        std::string name;
        std::string font; // not used: every text is drawn with sy.otf
        int32_t size = 0;
        int32_t x = 0;
        int32_t y = 0;
        std::string color; // RRGGBB
    };
    struct rText {
        rFontStyle fontStyle; // x, y are the text's own position
        std::string name;     // the text itself
    };
    struct rLayout {
        int32_t id = 0; // runtime id: 1-based position in stored-id order
        int32_t rectCount = 0;
        int32_t textCount = 0;
        std::string name;
        int32_t image = 0;            // background image id, 0 none
        std::vector<rRect> rectangle; // canvas pixels, in the scene's order
        std::vector<rText> text;
    };

    TScreenLayout() = default;
    TScreenLayout(const TScreenLayout&) = delete;
    TScreenLayout& operator=(const TScreenLayout&) = delete;

    // The canvas the plans are drawn on (1920 x 1080); allocates the
    // background buffer. False for a size that is not positive and even.
    bool initialize(int dst_w, int dst_h);

    // The output pipeline of capture mode, null outside it. Areas are scaled
    // from the canvas to its programme size. A different pipeline gets the
    // background again with the next scene.
    void SetOutput(TCombineOut* out);

    // 0 read; 1 not JSON; -1 missing file or a read error; -2 a background
    // JPEG failed to decode (scenes are then not read).
    int loadProject(const std::string& sFileName);
    // With bOnlyRestLayoutID the next scene use repaints the background (0);
    // otherwise the plan file is read again (its result), -1 when there is
    // nothing to read again.
    int relaodProject(bool bOnlyRestLayoutID);
    // Makes the scene with runtime id nIndex current and hands its areas to
    // the output pipeline: its rectangle count, -1 without a pipeline, -2
    // when no scene has that id.
    int UseThisLayout(int nIndex);
    // Scenes with nRectCount rectangles (0: all scenes): their number and p
    // at the first; nCheckedID gets the scene in use. -1 when the list is
    // empty or nRectCount is not 0 ... 4.
    int GetListForThisRectCount(int nRectCount, int32_t& nCheckedID,
                                const rLayout* const*& p) const;
    bool GetIfHasLayout() const { return ProjectHead.layoutcount != 0; }
    bool GetInfo(const rProjectHead*& p) const {
        p = &ProjectHead;
        return true;
    }

    // The background buffer (canvas size) as the scene in use left it.
    const uint8_t* BackgroundImage() const { return pYUVBikImage.data(); }
    int Width() const { return nYUVWidth; }
    int Height() const { return nYUVHeight; }

    // The text filter description of a scene's texts: "[in]" drawtext ...
    // "[out]", one drawtext per text, all with the font file sy.otf.
    static std::string SceneTextFilter(const rLayout& scene);
    // A plan colour (0x00BBGGRR) as RRGGBB.
    static std::string ColorToRGB(int32_t color);
    // Where each rectangle goes on a programme of progW x progH, scaled
    // from the canvas, and the size its channel delivers at.
    static void SceneAreas(const std::vector<rRect>& rects, int canvasW, int canvasH, int progW,
                           int progH, std::vector<rRect>& ext, std::vector<rRect>& delivery);

private:
    void clearProject();
    void DrawTexts(const rLayout& scene);
    // The background at the programme size: the buffer itself, or its
    // scaled copy.
    const uint8_t* ProgrammeBackground(int progW, int progH);

    int nYUVWidth = 0;
    int nYUVHeight = 0;
    std::vector<uint8_t> pYUVBikImage; // shared with the compositor as its cover
    AvFramePtr pBikFrame;              // wraps pYUVBikImage
    rProjectHead ProjectHead;
    std::vector<rImage> rI;
    std::vector<rLayout> scenes; // owns the scenes, in runtime-id order
    std::array<std::vector<const rLayout*>, kMaxRects + 1> layout; // by rectangle count
    std::vector<const rLayout*> layoutAll;
    int32_t checkedID = -1;
    int32_t nLastLayoutID = -1;
    TAVFilter Filter;

    TCombineOut* Output = nullptr;
    // The background scaled to a programme of another size; kept while the
    // programme size stays, so it is not reallocated per scene change.
    std::vector<uint8_t> pYUVProgImage;
    int nProgWidth = 0;
    int nProgHeight = 0;
    SwsContextPtr ScaleCtx;
};

} // namespace tavrin
