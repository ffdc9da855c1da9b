// Owning handles for the SDL objects the display ports and the wave player use.
#pragma once

#include <SDL.h>
#include <SDL_ttf.h>
#include <memory>

namespace tavrin {

struct TSdlDeleter {
    void operator()(SDL_Window* p) const { SDL_DestroyWindow(p); }
    void operator()(SDL_Renderer* p) const { SDL_DestroyRenderer(p); }
    void operator()(SDL_Texture* p) const { SDL_DestroyTexture(p); }
    void operator()(SDL_Surface* p) const { SDL_FreeSurface(p); }
    void operator()(TTF_Font* p) const { TTF_CloseFont(p); }
};

using TSdlWindowPtr = std::unique_ptr<SDL_Window, TSdlDeleter>;
using TSdlRendererPtr = std::unique_ptr<SDL_Renderer, TSdlDeleter>;
using TSdlTexturePtr = std::unique_ptr<SDL_Texture, TSdlDeleter>;
using TSdlSurfacePtr = std::unique_ptr<SDL_Surface, TSdlDeleter>;
using TTtfFontPtr = std::unique_ptr<TTF_Font, TSdlDeleter>;

// Hints every SDL user in this process wants before a subsystem starts: no
// SDL signal handlers (SIGTERM must stay ours) and no GL-backed framebuffer
// for the software renderer.
void SetSdlProcessHints();

} // namespace tavrin
