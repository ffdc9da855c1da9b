// What a channel worker and a source runner talk to: the output pipeline
// (programme pictures and sound), the display ports (previews) and the
// monitor wave player. Kept as small interfaces so a slot can be wired to
// the real objects or, in tests, to recording stand-ins.
#pragma once

#include "av/AvPtr.h"
#include "base/AudioChannel.h"

#include <SDL2/SDL_rect.h>
#include <cstdint>

namespace tavrin {

class IProgrammeLink {
public:
    virtual ~IProgrammeLink() = default;
    // 1-based slot of nPort on the programme (with the size it must deliver
    // and the count to quote back), or 0 when it is not on the programme.
    virtual int GetIfNeedPushYUV_EX(int nPort, int& DstW, int& DstH, int& nCount) = 0;
    virtual int PushYUVtoCombine(const AVFrame* PYUVData, int nPort, int nCount, int nIndex) = 0;
    // One AAC frame, ADTS header included.
    virtual int PushAAC(const uint8_t* PData, int nSize, int nPort,
                        const rAudioChannel* pAudioVolume) = 0;
    virtual int SetThisPortInError(int nPort) = 0;
};

class IPreviewLink {
public:
    virtual ~IPreviewLink() = default;
    // The port's destination rectangle; false when the port does not exist.
    virtual bool GetRect(int nPort, SDL_Rect& xr) = 0;
    // A YUV420P picture, ideally of the port's size (it is then shown
    // without scaling). Rectangles may be null.
    virtual int pushFrame(int nPort, const AVFrame* picture, const SDL_Rect* CutArea,
                          const SDL_Rect* TestCutArea, const SDL_Rect* TestCutArea_Adjust,
                          const rAudioChannel* pAudioVolume) = 0;
};

class IMonitorLink {
public:
    virtual ~IMonitorLink() = default;
    // Blocks queued and not yet played.
    virtual int GetRemainCount() = 0;
    virtual bool PushStreamData(const uint8_t* data, int size) = 0;
};

} // namespace tavrin
