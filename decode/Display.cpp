#include "decode/Display.h"

#include "base/ProgramDir.h"
#include "base/Rounding.h"
#include "base/Trace.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <libyuv/scale.h>

extern "C" {
#include <libavutil/frame.h>
}

namespace tavrin {

namespace {

constexpr const char* kFontFile = "sy.otf";
constexpr libyuv::FilterMode kPortFilter = libyuv::kFilterNone;

int LevelHeight(uint16_t level, int h) {
    const int clamped = std::min<int>(level, 100);
    return RoundToInt(double(clamped) * h / 100.0);
}

void SetColor(SDL_Renderer* r, SDL_Color c) {
    SDL_SetRenderDrawColor(r, c.r, c.g, c.b, c.a);
}

} // namespace

TYuvPicture YuvPictureOf(const AVFrame* frame) {
    TYuvPicture picture;
    for (int i = 0; i < 3; ++i) {
        picture.planes[i] = frame->data[i];
        picture.pitches[i] = frame->linesize[i];
    }
    picture.w = frame->width;
    picture.h = frame->height;
    return picture;
}

void ComputeHandles(const SDL_Rect& r, SDL_Rect (&handles)[8]) {
    const SDL_Point points[8] = {
        {r.x, r.y},
        {r.x + r.w / 2, r.y},
        {r.x + r.w, r.y},
        {r.x, r.y + r.h / 2},
        {r.x + r.w, r.y + r.h / 2},
        {r.x, r.y + r.h},
        {r.x + r.w / 2, r.y + r.h},
        {r.x + r.w, r.y + r.h},
    };
    for (int i = 0; i < 8; ++i) {
        handles[i] = {points[i].x - kHandleSize / 2, points[i].y - kHandleSize / 2, kHandleSize,
                      kHandleSize};
    }
}

TDisplay::TDisplay() = default;

TDisplay::~TDisplay() {
    Destroy();
}

int TDisplay::initialize(TNativeWindow xHandle, int nYUVWidth, int nYUVHeight, const SDL_Rect& xr,
                         bool bNeedText) {
    std::lock_guard lock(FFrameLock);
    if (bIni) {
        Destroy();
    }
    textID = 0;
    rectID = 0;
    bNeedEditProjectTexture = bNeedText;
    if (nYUVWidth <= 0 || nYUVHeight <= 0) {
        return -1;
    }
    if (bNeedText && TTF_Init() == 0) {
        bTtfStarted = true;
    }
    SetSdlProcessHints();
    // HD pictures come out with wrong colours under the BT.601 default.
    SDL_SetYUVConversionMode(SDL_YUV_CONVERSION_BT709);

    lnYUVWidth = nYUVWidth;
    lnYUVHeight = nYUVHeight;
    DispHandle = xHandle;
    if (xHandle != 0) {
        // The handle is an X11 window; SDL must not pick another video driver.
        if (std::getenv("SDL_VIDEODRIVER") == nullptr) {
            SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
        }
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) {
            bVideoStarted = true;
            // SDL takes the X window id in a pointer.
            const auto* native =
                reinterpret_cast<const void*>(xHandle); // NOLINT(performance-no-int-to-ptr)
            screen.reset(SDL_CreateWindowFrom(native));
        }
        if (screen) {
            // SDL moves a fixed-size window back to where it first saw it
            // whenever it is resized; the panel's position is the GUI's.
            SDL_SetWindowResizable(screen.get(), SDL_TRUE);
            SDL_ShowWindow(screen.get());
        } else {
            // Without a display the port keeps working offscreen.
            Trace(std::string("display port: no window, drawing offscreen: ") + SDL_GetError());
        }
    }
    sdlRect = xr;
    if (!MakeRenderer()) {
        Trace(std::string("display port: no renderer: ") + SDL_GetError());
        return -1;
    }
    bIni = true;
    return 0;
}

bool TDisplay::MakeRenderer() {
    for (TFontTexture& f : FontTexture) {
        f.sdlTexture_font.reset();
    }
    sdlTexture.reset();
    sdlRenderer.reset();
    bHasPicture = false; // a new texture is empty
    if (screen) {
        sdlRenderer.reset(SDL_CreateRenderer(screen.get(), -1, SDL_RENDERER_SOFTWARE));
    } else {
        // The offscreen target holds the whole destination rectangle.
        const int w = std::max(1, sdlRect.x + sdlRect.w);
        const int h = std::max(1, sdlRect.y + sdlRect.h);
        offscreen.reset(SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888));
        if (offscreen) {
            sdlRenderer.reset(SDL_CreateSoftwareRenderer(offscreen.get()));
        }
    }
    if (!sdlRenderer) {
        return false;
    }
    // The picture is scaled here, straight to the panel's size, so the
    // renderer converts only what is shown and copies it without scaling:
    // the software renderer would convert the whole picture, then scale.
    const int w = std::max(1, sdlRect.w);
    const int h = std::max(1, sdlRect.h);
    sdlTexture.reset(SDL_CreateTexture(sdlRenderer.get(), SDL_PIXELFORMAT_IYUV,
                                       SDL_TEXTUREACCESS_STREAMING, w, h));
    // Sized on the first picture that needs scaling.
    scaledYUV.clear();
    RebuildFontTextures();
    return sdlTexture != nullptr;
}

void TDisplay::RebuildFontTextures() {
    for (TFontTexture& f : FontTexture) {
        if (f.sdlSurface_font && !f.sdlTexture_font) {
            f.sdlTexture_font.reset(
                SDL_CreateTextureFromSurface(sdlRenderer.get(), f.sdlSurface_font.get()));
        }
    }
}

int TDisplay::pushFrame(const uint8_t* Frame_pixels, int Frame_pitch, const SDL_Rect* CutArea,
                        const SDL_Rect* CutArea_Test, const SDL_Rect* TestCutArea_Adjust,
                        const rAudioChannel* pAudioVolume) {
    if (Frame_pixels == nullptr || Frame_pitch < lnYUVWidth) {
        return -1;
    }
    TYuvPicture picture;
    const int chromaPitch = (Frame_pitch + 1) / 2;
    picture.planes[0] = Frame_pixels;
    picture.planes[1] = Frame_pixels + size_t(Frame_pitch) * lnYUVHeight;
    picture.planes[2] = picture.planes[1] + size_t(chromaPitch) * ((lnYUVHeight + 1) / 2);
    picture.pitches[0] = Frame_pitch;
    picture.pitches[1] = picture.pitches[2] = chromaPitch;
    picture.w = lnYUVWidth;
    picture.h = lnYUVHeight;
    return pushPicture(picture, CutArea, CutArea_Test, TestCutArea_Adjust, pAudioVolume);
}

int TDisplay::pushPicture(const TYuvPicture& picture, const SDL_Rect* CutArea,
                          const SDL_Rect* CutArea_Test, const SDL_Rect* TestCutArea_Adjust,
                          const rAudioChannel* pAudioVolume) {
    if (Paused()) {
        return 0;
    }
    std::lock_guard lock(FFrameLock);
    if (!bIni || !sdlTexture || picture.w <= 0 || picture.h <= 0 || picture.planes[0] == nullptr ||
        picture.planes[1] == nullptr || picture.planes[2] == nullptr) {
        return -1;
    }
    SDL_Renderer* r = sdlRenderer.get();
    if (sdlRect.w > 0 && sdlRect.h > 0) {
        DrawPicture(picture);
        SDL_RenderCopy(r, sdlTexture.get(), nullptr, &sdlRect);
        bHasPicture = true;
    }

    if (CutArea != nullptr && CutArea_Test == nullptr) {
        DrawOutline(*CutArea, kOutlineGreen);
    }
    if (CutArea_Test != nullptr) {
        DrawOutline(*CutArea_Test, kTestYellow);
    }
    if (TestCutArea_Adjust != nullptr) {
        DrawOutline(*TestCutArea_Adjust, kOutlineGreen);
    }
    if (pAudioVolume != nullptr) {
        DrawLevels(*pAudioVolume);
    }
    if (bNeedEditProjectTexture) {
        for (const TFontTexture& f : FontTexture) {
            if (f.sdlTexture_font) {
                SDL_RenderCopy(r, f.sdlTexture_font.get(), nullptr, &f.sdlRectFont);
            }
        }
        DrawTextOverlay();
        DrawRectOverlay();
    }
    SDL_RenderPresent(r);
    return 0;
}

bool TDisplay::Redraw() {
    std::lock_guard lock(FFrameLock);
    if (!bIni || !sdlTexture || !bHasPicture || sdlRect.w <= 0 || sdlRect.h <= 0) {
        return false;
    }
    SDL_RenderCopy(sdlRenderer.get(), sdlTexture.get(), nullptr, &sdlRect);
    SDL_RenderPresent(sdlRenderer.get());
    return true;
}

void TDisplay::DrawPicture(const TYuvPicture& picture) {
    const int w = sdlRect.w;
    const int h = sdlRect.h;
    const uint8_t* y = picture.planes[0];
    const uint8_t* u = picture.planes[1];
    const uint8_t* v = picture.planes[2];
    int yPitch = picture.pitches[0];
    int uPitch = picture.pitches[1];
    int vPitch = picture.pitches[2];
    if (picture.w != w || picture.h != h) {
        // Point sampling, as the renderer's own scaling did.
        const int cw = (w + 1) / 2;
        const size_t need = size_t(w) * h + 2 * size_t(cw) * ((h + 1) / 2);
        if (scaledYUV.size() < need) {
            scaledYUV.resize(need);
        }
        uint8_t* sy = scaledYUV.data();
        uint8_t* su = sy + size_t(w) * h;
        uint8_t* sv = su + size_t(cw) * ((h + 1) / 2);
        libyuv::I420Scale(y, yPitch, u, uPitch, v, vPitch, picture.w, picture.h, sy, w, su, cw, sv,
                          cw, w, h, kPortFilter);
        y = sy, u = su, v = sv, yPitch = w, uPitch = vPitch = cw;
        nScaled.fetch_add(1, std::memory_order_relaxed);
    }
    SDL_UpdateYUVTexture(sdlTexture.get(), nullptr, y, yPitch, u, uPitch, v, vPitch);
}

void TDisplay::DrawOutline(const SDL_Rect& rect, SDL_Color c) {
    SetColor(sdlRenderer.get(), c);
    SDL_RenderDrawRect(sdlRenderer.get(), &rect);
}

void TDisplay::DrawLevels(const rAudioChannel& level) {
    SDL_Renderer* r = sdlRenderer.get();
    const int W = sdlRect.w;
    const int H = sdlRect.h;
    const int ox = sdlRect.x;
    const int oy = sdlRect.y;
    SetColor(r, kLevelGreen);
    if (level.bMainAudioCH) {
        const SDL_Rect mark{ox, oy + H - 10, 10, 10};
        SDL_RenderFillRect(r, &mark);
    }
    const bool onLeft = level.nPosition == 1;
    const int hl = LevelHeight(level.L, H);
    const int hr = LevelHeight(level.R, H);
    const SDL_Rect left{ox + (onLeft ? 0 : W - 6), oy + H - hl, 3, hl};
    const SDL_Rect right{ox + (onLeft ? 3 : W - 3), oy + H - hr, 3, hr};
    if (hl > 0) {
        SDL_RenderFillRect(r, &left);
    }
    if (hr > 0) {
        SDL_RenderFillRect(r, &right);
    }
}

void TDisplay::DrawTextOverlay() {
    SDL_Renderer* r = sdlRenderer.get();
    for (const TFontTexture& sel : FontTexture) {
        if (sel.mode != 1) {
            continue;
        }
        DrawOutline(sel.sdlRectFont, kOutlineGreen);
        const int x = sel.sdlRectFont.x;
        int top = sel.sdlRectFont.y;
        int bottom = sel.sdlRectFont.y + sel.sdlRectFont.h;
        bool shared = false;
        for (const TFontTexture& other : FontTexture) {
            if (&other == &sel || other.sdlRectFont.x != x) {
                continue;
            }
            shared = true;
            top = std::min(top, other.sdlRectFont.y);
            bottom = std::max(bottom, other.sdlRectFont.y + other.sdlRectFont.h);
        }
        if (shared) {
            SetColor(r, kGuideBlue);
            SDL_RenderDrawLine(r, x, top, x, bottom);
        }
    }
}

void TDisplay::DrawRectOverlay() {
    std::lock_guard lock(FFrameLock);
    SDL_Renderer* r = sdlRenderer.get();
    for (const TVideoRect& v : videoRect) {
        DrawOutline(v.rect, kOutlineGreen);
    }
    const TVideoRect* firstSelected = nullptr;
    for (const TVideoRect& sel : videoRect) {
        if (sel.mode != 1) {
            continue;
        }
        if (firstSelected == nullptr) {
            firstSelected = &sel;
        }
        const int y = sel.rect.y;
        int left = sel.rect.x;
        int right = sel.rect.x + sel.rect.w;
        bool shared = false;
        for (const TVideoRect& other : videoRect) {
            if (&other == &sel || other.rect.y != y) {
                continue;
            }
            shared = true;
            left = std::min(left, other.rect.x);
            right = std::max(right, other.rect.x + other.rect.w);
        }
        if (shared) {
            SetColor(r, kGuideBlue);
            SDL_RenderDrawLine(r, left, y, right, y);
        }
    }
    if (firstSelected != nullptr) {
        SetColor(r, kOutlineGreen);
        SDL_RenderFillRects(r, firstSelected->scaleRect, 8);
    }
}

void TDisplay::ResizeTo(const SDL_Rect& xr) {
    std::lock_guard lock(FFrameLock);
    sdlRect = xr;
    if (!bIni) {
        return;
    }
    for (TFontTexture& f : FontTexture) {
        f.sdlTexture_font.reset();
    }
    sdlTexture.reset();
    sdlRenderer.reset();
    if (screen) {
        // A foreign window sends SDL no resize event: SDL learns the size here.
        SDL_SetWindowSize(screen.get(), std::max(1, xr.w), std::max(1, xr.h));
    }
    if (!MakeRenderer()) {
        Trace(std::string("display port: no renderer after resize: ") + SDL_GetError());
    }
    if (screen) {
        SDL_ShowWindow(screen.get());
    }
}

SDL_Rect TDisplay::GetRect() {
    std::lock_guard lock(FFrameLock);
    return sdlRect;
}

void TDisplay::modifyDispRect(const SDL_Rect& xr) {
    std::lock_guard lock(FFrameLock);
    if (bIni) {
        ResizeTo(xr);
    }
}

void TDisplay::SetResizeState(bool bLock) {
    if (bLock) {
        FFrameLock.lock();
    } else {
        FFrameLock.unlock();
    }
}

bool TDisplay::saveBmp(int nW, int nH, const std::string& bmpFile) {
    std::lock_guard lock(FFrameLock);
    if (!sdlRenderer || nW <= 0 || nH <= 0) {
        return false;
    }
    TSdlSurfacePtr surface(SDL_CreateRGBSurface(0, nW, nH, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000));
    if (!surface) {
        return false;
    }
    // Read no more than both the target and the surface hold.
    int outW = 0;
    int outH = 0;
    SDL_GetRendererOutputSize(sdlRenderer.get(), &outW, &outH);
    const SDL_Rect area{0, 0, std::min(nW, outW), std::min(nH, outH)};
    if (area.w <= 0 || area.h <= 0 ||
        SDL_RenderReadPixels(sdlRenderer.get(), &area, SDL_PIXELFORMAT_ARGB8888, surface->pixels,
                             surface->pitch) != 0) {
        return false;
    }
    return SDL_SaveBMP(surface.get(), bmpFile.c_str()) == 0;
}

TFontTexture* TDisplay::FindFont(int32_t id) {
    for (TFontTexture& f : FontTexture) {
        if (f.id == id) {
            return &f;
        }
    }
    return nullptr;
}

TTextSize TDisplay::newFontTexture(const std::string& xText, int32_t nMode, uint32_t rgb, int x,
                                   int y, int FontSize, int32_t id) {
    std::lock_guard lock(FFrameLock);
    TFontTexture entry;
    entry.id = id == -1 ? textID++ : id;
    entry.mode = nMode;
    entry.sdlRectFont = {x, y, 0, 0};
    const SDL_Color colour{Uint8(rgb & 0xFF), Uint8((rgb >> 8) & 0xFF), Uint8((rgb >> 16) & 0xFF),
                           255};
    TTtfFontPtr font(TTF_OpenFont(ProgramFile(kFontFile).c_str(), FontSize));
    if (font) {
        entry.sdlSurface_font.reset(TTF_RenderUTF8_Blended(font.get(), xText.c_str(), colour));
    }
    if (entry.sdlSurface_font) {
        entry.sdlRectFont.w = entry.sdlSurface_font->w;
        entry.sdlRectFont.h = entry.sdlSurface_font->h;
        if (sdlRenderer) {
            entry.sdlTexture_font.reset(
                SDL_CreateTextureFromSurface(sdlRenderer.get(), entry.sdlSurface_font.get()));
        }
    }
    const TTextSize size{entry.sdlRectFont.w, entry.sdlRectFont.h};
    FontTexture.push_back(std::move(entry));
    return size;
}

TTextSize TDisplay::modifyFontTexture(int32_t nID, int32_t nMode, const std::string& xText,
                                      uint32_t rgb, int x, int y, int FontSize) {
    std::lock_guard lock(FFrameLock);
    delThisFontTexture(nID);
    return newFontTexture(xText, nMode, rgb, x, y, FontSize, nID);
}

bool TDisplay::passFontTexture(int32_t id, int x, int y, bool bNeedModifyMode, bool bModefyMode) {
    std::lock_guard lock(FFrameLock);
    TFontTexture* f = FindFont(id);
    if (f == nullptr) {
        return false;
    }
    f->sdlRectFont.x = x;
    f->sdlRectFont.y = y;
    if (bNeedModifyMode) {
        f->mode = bModefyMode ? 1 : 0;
    }
    return true;
}

bool TDisplay::delThisFontTexture(int32_t nID) {
    std::lock_guard lock(FFrameLock);
    const auto it = std::find_if(FontTexture.begin(), FontTexture.end(),
                                 [nID](const TFontTexture& f) { return f.id == nID; });
    if (it == FontTexture.end()) {
        return false;
    }
    FontTexture.erase(it);
    return true;
}

void TDisplay::ClearFontTxture() {
    std::lock_guard lock(FFrameLock);
    FontTexture.clear();
}

void TDisplay::doNoChooseText() {
    std::lock_guard lock(FFrameLock);
    for (TFontTexture& f : FontTexture) {
        f.mode = 0;
    }
}

int32_t TDisplay::newVideoRect(const SDL_Rect& rect, int32_t nMode) {
    std::lock_guard lock(FFrameLock);
    TVideoRect v;
    v.id = rectID++;
    v.mode = nMode;
    v.rect = rect;
    ComputeHandles(rect, v.scaleRect);
    videoRect.push_back(v);
    return v.id;
}

int32_t TDisplay::modifyVideoRect(int32_t nID, int32_t nMode, const SDL_Rect& rect) {
    std::lock_guard lock(FFrameLock);
    for (TVideoRect& v : videoRect) {
        if (v.id == nID) {
            v.mode = nMode;
            v.rect = rect;
            ComputeHandles(rect, v.scaleRect);
            return nID;
        }
    }
    return -1;
}

bool TDisplay::delThisVideoRect(int32_t nID) {
    std::lock_guard lock(FFrameLock);
    const auto it = std::find_if(videoRect.begin(), videoRect.end(),
                                 [nID](const TVideoRect& v) { return v.id == nID; });
    if (it == videoRect.end()) {
        return false;
    }
    videoRect.erase(it);
    return true;
}

void TDisplay::ClearVideoRect() {
    std::lock_guard lock(FFrameLock);
    videoRect.clear();
}

std::vector<int32_t> TDisplay::FontTextureIds() {
    std::lock_guard lock(FFrameLock);
    std::vector<int32_t> ids;
    for (const TFontTexture& f : FontTexture) {
        ids.push_back(f.id);
    }
    return ids;
}

bool TDisplay::FontTextureRect(int32_t id, SDL_Rect& rect, int32_t& mode) {
    std::lock_guard lock(FFrameLock);
    const TFontTexture* f = FindFont(id);
    if (f == nullptr) {
        return false;
    }
    rect = f->sdlRectFont;
    mode = f->mode;
    return true;
}

bool TDisplay::VideoRectOf(int32_t id, TVideoRect& rect) {
    std::lock_guard lock(FFrameLock);
    for (const TVideoRect& v : videoRect) {
        if (v.id == id) {
            rect = v;
            return true;
        }
    }
    return false;
}

void TDisplay::Destroy() {
    std::lock_guard lock(FFrameLock);
    // Textures go before their renderer, the renderer before its target.
    FontTexture.clear();
    videoRect.clear();
    sdlTexture.reset();
    sdlRenderer.reset();
    screen.reset();
    offscreen.reset();
    if (bTtfStarted) {
        TTF_Quit();
        bTtfStarted = false;
    }
    if (bVideoStarted) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        bVideoStarted = false;
    }
    bIni = false;
}

} // namespace tavrin
