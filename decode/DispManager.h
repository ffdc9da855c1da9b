// The process-wide list of display ports in capture mode: port 0 shows the
// programme, ports 1..N the channels.
#pragma once

#include "decode/Display.h"

#include <memory>
#include <mutex>
#include <vector>

namespace tavrin {

class TDispManager {
public:
    TDispManager() = default;
    ~TDispManager() { Destroy(); }
    TDispManager(const TDispManager&) = delete;
    TDispManager& operator=(const TDispManager&) = delete;

    int initialize();
    // Appends a port (texts disabled) and returns its index.
    int createNewPort(TNativeWindow xHandle, int nYUVWidth, int nYUVHeight, const SDL_Rect& xr);
    // Only the last port can be dropped: nPort, otherwise -1.
    int DropPort(int nPort);
    // A copy of the port's destination rectangle; nPort, or -1 (xr
    // untouched) when there is no such port.
    int GetRect(int nPort, SDL_Rect& xr);
    int pushFrame(int nPort, const uint8_t* Frame_pixels, int Frame_pitch, const SDL_Rect* CutArea,
                  const SDL_Rect* TestCutArea, const SDL_Rect* TestCutArea_Adjust,
                  const rAudioChannel* pAudioVolume);
    int pushPicture(int nPort, const TYuvPicture& picture, const SDL_Rect* CutArea,
                    const SDL_Rect* TestCutArea, const SDL_Rect* TestCutArea_Adjust,
                    const rAudioChannel* pAudioVolume);
    int ResizeTo(int nPort, const SDL_Rect& xr);
    int ToFullScreen(int nPort);
    int UnToFullScreen(int nPort);
    int Lock(int nPort);
    int UnLock(int nPort);
    void Destroy();

    int Count();
    // Redraws the last picture of every port on the native window; the
    // number of ports redrawn.
    int RedrawWindow(TNativeWindow xHandle);
    // The port itself, shared so that a drop never frees a port under a caller
    // that is drawing on it; null when there is no such port.
    std::shared_ptr<TDisplay> Port(int nPort);

private:
    std::mutex FListLock; // guards the list only, never held while drawing
    std::vector<std::shared_ptr<TDisplay>> Disp;
};

// Holds one port for the GUI while it resizes it: no worker draws on it until
// the scope ends, on every path out of it. Keeps the port itself, so a drop
// meanwhile cannot make it release another port's lock.
class TPortResizeHold {
public:
    TPortResizeHold(TDispManager& manager, int nPort) : port_(manager.Port(nPort)) {
        if (port_) {
            port_->SetResizeState(true);
        }
    }
    ~TPortResizeHold() {
        if (port_) {
            port_->SetResizeState(false);
        }
    }
    TPortResizeHold(const TPortResizeHold&) = delete;
    TPortResizeHold& operator=(const TPortResizeHold&) = delete;
    bool Held() const { return port_ != nullptr; }

private:
    std::shared_ptr<TDisplay> port_;
};

} // namespace tavrin
