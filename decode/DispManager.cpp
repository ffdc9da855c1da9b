#include "decode/DispManager.h"

namespace tavrin {

int TDispManager::initialize() {
    return 0;
}

int TDispManager::createNewPort(TNativeWindow xHandle, int nYUVWidth, int nYUVHeight,
                                const SDL_Rect& xr) {
    auto port = std::make_shared<TDisplay>();
    // A port that could not be set up keeps its index and draws nothing.
    port->initialize(xHandle, nYUVWidth, nYUVHeight, xr, false);
    std::lock_guard lock(FListLock);
    Disp.push_back(std::move(port));
    return int(Disp.size()) - 1;
}

int TDispManager::DropPort(int nPort) {
    std::shared_ptr<TDisplay> dropped;
    {
        std::lock_guard lock(FListLock);
        if (Disp.empty() || nPort != int(Disp.size()) - 1) {
            return -1;
        }
        dropped = std::move(Disp.back());
        Disp.pop_back();
    }
    return nPort;
}

std::shared_ptr<TDisplay> TDispManager::Port(int nPort) {
    std::lock_guard lock(FListLock);
    if (nPort < 0 || nPort >= int(Disp.size())) {
        return nullptr;
    }
    return Disp[size_t(nPort)];
}

int TDispManager::RedrawWindow(TNativeWindow xHandle) {
    std::vector<std::shared_ptr<TDisplay>> ports;
    {
        std::lock_guard lock(FListLock);
        ports = Disp;
    }
    int redrawn = 0;
    for (const std::shared_ptr<TDisplay>& port : ports) {
        if (port && port->Window() == xHandle && port->Redraw()) {
            ++redrawn;
        }
    }
    return redrawn;
}

int TDispManager::Count() {
    std::lock_guard lock(FListLock);
    return int(Disp.size());
}

int TDispManager::GetRect(int nPort, SDL_Rect& xr) {
    const std::shared_ptr<TDisplay> port = Port(nPort);
    if (!port) {
        return -1;
    }
    xr = port->GetRect();
    return nPort;
}

int TDispManager::pushFrame(int nPort, const uint8_t* Frame_pixels, int Frame_pitch,
                            const SDL_Rect* CutArea, const SDL_Rect* TestCutArea,
                            const SDL_Rect* TestCutArea_Adjust, const rAudioChannel* pAudioVolume) {
    const std::shared_ptr<TDisplay> port = Port(nPort);
    if (!port) {
        return -1;
    }
    port->pushFrame(Frame_pixels, Frame_pitch, CutArea, TestCutArea, TestCutArea_Adjust,
                    pAudioVolume);
    return nPort;
}

int TDispManager::pushPicture(int nPort, const TYuvPicture& picture, const SDL_Rect* CutArea,
                              const SDL_Rect* TestCutArea, const SDL_Rect* TestCutArea_Adjust,
                              const rAudioChannel* pAudioVolume) {
    const std::shared_ptr<TDisplay> port = Port(nPort);
    if (!port) {
        return -1;
    }
    port->pushPicture(picture, CutArea, TestCutArea, TestCutArea_Adjust, pAudioVolume);
    return nPort;
}

int TDispManager::ResizeTo(int nPort, const SDL_Rect& xr) {
    const std::shared_ptr<TDisplay> port = Port(nPort);
    if (!port) {
        return -1;
    }
    port->ResizeTo(xr);
    return nPort;
}

int TDispManager::ToFullScreen(int nPort) {
    std::lock_guard lock(FListLock);
    if (nPort < 0 || nPort >= int(Disp.size())) {
        return -1;
    }
    for (size_t i = 0; i < Disp.size(); ++i) {
        Disp[i]->Pause(int(i) != nPort);
    }
    return nPort;
}

int TDispManager::UnToFullScreen(int nPort) {
    std::lock_guard lock(FListLock);
    if (nPort < 0 || nPort >= int(Disp.size())) {
        return -1;
    }
    for (const auto& port : Disp) {
        port->Pause(false);
    }
    return nPort;
}

int TDispManager::Lock(int nPort) {
    const std::shared_ptr<TDisplay> port = Port(nPort);
    if (!port) {
        return -1;
    }
    port->SetResizeState(true);
    return nPort;
}

int TDispManager::UnLock(int nPort) {
    const std::shared_ptr<TDisplay> port = Port(nPort);
    if (!port) {
        return -1;
    }
    port->SetResizeState(false);
    return nPort;
}

void TDispManager::Destroy() {
    std::vector<std::shared_ptr<TDisplay>> ports;
    {
        std::lock_guard lock(FListLock);
        ports.swap(Disp);
    }
    // Last port first, like dropping them one by one.
    while (!ports.empty()) {
        ports.pop_back();
    }
}

} // namespace tavrin
