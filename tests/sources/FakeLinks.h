// Recording stand-ins for the output pipeline, the display ports and the
// wave player, so the channel worker can be driven without windows.
#pragma once

#include "sources/SourceLinks.h"

#include <mutex>
#include <vector>

namespace tavrin::test {

class FakeProgramme : public IProgrammeLink {
public:
    int slot = 0; // 0: the port is not on the programme
    int dstW = 640;
    int dstH = 360;
    int count = 1;
    std::vector<int> pushedPictureWidths;
    std::vector<std::vector<uint8_t>> aac;
    std::vector<int> errorPorts;

    int GetIfNeedPushYUV_EX(int, int& DstW, int& DstH, int& nCount) override {
        if (slot == 0) {
            return 0;
        }
        DstW = dstW;
        DstH = dstH;
        nCount = count;
        return slot;
    }
    int PushYUVtoCombine(const AVFrame* p, int, int, int nIndex) override {
        pushedPictureWidths.push_back(p->width);
        return nIndex;
    }
    int PushAAC(const uint8_t* data, int size, int, const rAudioChannel*) override {
        aac.emplace_back(data, data + size);
        return -1;
    }
    int SetThisPortInError(int nPort) override {
        errorPorts.push_back(nPort);
        return 0;
    }
};

class FakePreview : public IPreviewLink {
public:
    SDL_Rect portRect{0, 0, 640, 360};
    int frames = 0;
    int lastW = 0;
    int lastH = 0;
    bool lastHadCut = false;
    SDL_Rect lastTest{};
    bool lastHadTest = false;

    bool GetRect(int, SDL_Rect& xr) override {
        xr = portRect;
        return true;
    }
    int pushFrame(int nPort, const AVFrame* picture, const SDL_Rect* cut, const SDL_Rect* test,
                  const SDL_Rect*, const rAudioChannel*) override {
        ++frames;
        lastW = picture->width;
        lastH = picture->height;
        lastHadCut = cut != nullptr;
        lastHadTest = test != nullptr;
        if (test != nullptr) {
            lastTest = *test;
        }
        return nPort;
    }
};

class FakeMonitor : public IMonitorLink {
public:
    int remain = 0;
    int played = 0;
    int GetRemainCount() override { return remain; }
    bool PushStreamData(const uint8_t*, int) override {
        ++played;
        return true;
    }
};

} // namespace tavrin::test
