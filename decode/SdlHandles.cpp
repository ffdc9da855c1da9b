#include "decode/SdlHandles.h"

namespace tavrin {

void SetSdlProcessHints() {
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
}

} // namespace tavrin
