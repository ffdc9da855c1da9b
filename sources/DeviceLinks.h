// Wires a channel worker's preview and monitor outputs to the real display
// manager and wave player.
#pragma once

#include "decode/DispManager.h"
#include "decode/WavePlayer.h"
#include "sources/SourceLinks.h"

namespace tavrin {

class TDispManagerLink : public IPreviewLink {
public:
    explicit TDispManagerLink(TDispManager* manager) : manager_(manager) {}

    bool GetRect(int nPort, SDL_Rect& xr) override {
        return manager_ != nullptr && manager_->GetRect(nPort, xr) >= 0;
    }
    int pushFrame(int nPort, const AVFrame* picture, const SDL_Rect* CutArea,
                  const SDL_Rect* TestCutArea, const SDL_Rect* TestCutArea_Adjust,
                  const rAudioChannel* pAudioVolume) override {
        if (manager_ == nullptr || picture == nullptr) {
            return -1;
        }
        return manager_->pushPicture(nPort, YuvPictureOf(picture), CutArea, TestCutArea,
                                     TestCutArea_Adjust, pAudioVolume);
    }

private:
    TDispManager* manager_;
};

class TWavePlayerLink : public IMonitorLink {
public:
    explicit TWavePlayerLink(TWavePlayer* player) : player_(player) {}

    int GetRemainCount() override { return player_ == nullptr ? 0 : player_->GetRemainCount(); }
    bool PushStreamData(const uint8_t* data, int size) override {
        return player_ != nullptr && size > 0 && player_->PushStreamData(data, uint32_t(size));
    }

private:
    TWavePlayer* player_;
};

} // namespace tavrin
