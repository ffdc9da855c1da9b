// A display port: one panel of a window turned into an SDL surface that shows
// one YUV 4:2:0 picture per call, scaled to the panel, with the cut outlines,
// the level bars and (for the layout editor) texts, video rectangles and
// alignment guides drawn on top.
#pragma once

#include "base/AudioChannel.h"
#include "decode/SdlHandles.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

struct AVFrame;

namespace tavrin {

// A native window id (an X11 window on xcb). 0 means no window: the port then
// renders into an offscreen surface of the destination size, so the whole
// pipeline runs without a display.
using TNativeWindow = uintptr_t;

struct TFontTexture {
    int32_t id = 0;
    int32_t mode = 0; // 1 = selected
    TSdlTexturePtr sdlTexture_font;
    SDL_Rect sdlRectFont{}; // position and rendered size
    // The rendering, kept so the texture can be rebuilt when the renderer is
    // replaced on a resize.
    TSdlSurfacePtr sdlSurface_font;
};

struct TVideoRect {
    int32_t id = 0;
    int32_t mode = 0; // 1 = selected
    SDL_Rect rect{};
    SDL_Rect scaleRect[8]{}; // resize handles: 0..2 top, 3 left, 4 right, 5..7 bottom
};

// Size of a rendered text.
struct TTextSize {
    int w = 0;
    int h = 0;
};

// Colours of the drawings.
inline constexpr SDL_Color kOutlineGreen{0, 255, 0, 255};
inline constexpr SDL_Color kTestYellow{255, 255, 0, 255};
inline constexpr SDL_Color kLevelGreen{0, 150, 0, 255};
inline constexpr SDL_Color kGuideBlue{0, 0, 255, 255};

constexpr int kHandleSize = 12;

// A YUV 4:2:0 picture given by its three planes, of any size.
struct TYuvPicture {
    const uint8_t* planes[3]{};
    int pitches[3]{};
    int w = 0;
    int h = 0;
};

// The planes of a decoded YUV 4:2:0 frame, borrowed, not copied.
TYuvPicture YuvPictureOf(const AVFrame* frame);

// The eight 12 x 12 handles centred on the corners and edge midpoints of r.
void ComputeHandles(const SDL_Rect& r, SDL_Rect (&handles)[8]);

class TDisplay {
public:
    TDisplay();
    ~TDisplay();
    TDisplay(const TDisplay&) = delete;
    TDisplay& operator=(const TDisplay&) = delete;

    // 0 on success, -1 when no renderer could be made (the port then draws
    // nothing) or the picture size is not positive.
    int initialize(TNativeWindow xHandle, int nYUVWidth, int nYUVHeight, const SDL_Rect& xr,
                   bool bNeedText);

    // Draws one picture (packed YUV420P of the port's size, luma rows
    // Frame_pitch apart, chroma planes following) with the given overlays;
    // null pointers mean "not given". 0 drawn or paused, -1 not drawable.
    int pushFrame(const uint8_t* Frame_pixels, int Frame_pitch, const SDL_Rect* CutArea,
                  const SDL_Rect* CutArea_Test, const SDL_Rect* TestCutArea_Adjust,
                  const rAudioChannel* pAudioVolume);
    // The same for a picture of any size; one of the panel's size is shown
    // without scaling.
    int pushPicture(const TYuvPicture& picture, const SDL_Rect* CutArea,
                    const SDL_Rect* CutArea_Test, const SDL_Rect* TestCutArea_Adjust,
                    const rAudioChannel* pAudioVolume);

    // Shows the last picture again, without its overlays: the window system
    // lost what was on the pane (a dialog over it closed) and no new picture
    // may come (a paused replay, a file at its end). False when nothing was
    // drawn yet.
    bool Redraw();
    TNativeWindow Window() const { return DispHandle; }
    // Pictures that were not of the panel's size and had to be scaled here,
    // for diagnosis: a worker that knows the panel's size makes none.
    int64_t ScaledPictures() const { return nScaled.load(std::memory_order_relaxed); }

    void ResizeTo(const SDL_Rect& xr);
    void modifyDispRect(const SDL_Rect& xr);
    void SetResizeState(bool bLock);
    void Pause(bool bNeedPause) { bPause.store(bNeedPause, std::memory_order_release); }
    bool Paused() const { return bPause.load(std::memory_order_acquire); }
    // A copy of the destination rectangle: workers read it while the GUI
    // resizes the port.
    SDL_Rect GetRect();

    // Writes the drawn picture as a 32-bit BMP of nW x nH; true when written.
    bool saveBmp(int nW, int nH, const std::string& bmpFile);

    TTextSize newFontTexture(const std::string& xText, int32_t nMode, uint32_t rgb, int x, int y,
                             int FontSize, int32_t id);
    TTextSize modifyFontTexture(int32_t nID, int32_t nMode, const std::string& xText, uint32_t rgb,
                                int x, int y, int FontSize);
    bool passFontTexture(int32_t id, int x, int y, bool bNeedModifyMode, bool bModefyMode);
    bool delThisFontTexture(int32_t nID);
    void ClearFontTxture();
    void doNoChooseText();

    int32_t newVideoRect(const SDL_Rect& rect, int32_t nMode);
    int32_t modifyVideoRect(int32_t nID, int32_t nMode, const SDL_Rect& rect);
    bool delThisVideoRect(int32_t nID);
    void ClearVideoRect();

    void Destroy();

    bool Initialised() const { return bIni; }
    bool HasWindow() const { return screen != nullptr; }
    // Copies of the overlay lists, for callers that lay out around them.
    std::vector<int32_t> FontTextureIds();
    bool FontTextureRect(int32_t id, SDL_Rect& rect, int32_t& mode);
    bool VideoRectOf(int32_t id, TVideoRect& rect);

private:
    bool MakeRenderer();
    // Scales and converts the picture into the panel-sized texture.
    void DrawPicture(const TYuvPicture& picture);
    void DrawOutline(const SDL_Rect& r, SDL_Color c);
    void DrawLevels(const rAudioChannel& level);
    void DrawTextOverlay();
    void DrawRectOverlay();
    void RebuildFontTextures();
    TFontTexture* FindFont(int32_t id);

    int32_t textID = 0;
    int32_t rectID = 0;
    bool bNeedEditProjectTexture = false;
    bool bIni = false;
    bool bHasPicture = false; // the texture holds a picture
    std::atomic<bool> bPause{false};
    std::atomic<int64_t> nScaled{0};
    int32_t lnYUVWidth = 0;
    int32_t lnYUVHeight = 0;
    TNativeWindow DispHandle = 0;
    TSdlWindowPtr screen;
    TSdlSurfacePtr offscreen; // render target when there is no native window
    TSdlRendererPtr sdlRenderer;
    TSdlTexturePtr sdlTexture;
    SDL_Rect sdlRect{};
    std::vector<uint8_t> scaledYUV; // the picture at the panel's size, when that differs
    std::vector<TFontTexture> FontTexture;
    std::vector<TVideoRect> videoRect;
    // Recursive: the GUI holds it through SetResizeState while it calls
    // ResizeTo, which takes it again.
    std::recursive_mutex FFrameLock;

    bool bVideoStarted = false;
    bool bTtfStarted = false;
};

} // namespace tavrin
