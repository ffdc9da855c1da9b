// A camera capture thread: decodes the camera's pictures, crops them to 16:9
// from the top, thins a faster camera to the wanted rate and either shows the
// pictures on a preview port (device dialog) or hands them to the channel
// worker at once, queueing a marker for the runner's bookkeeping.
#pragma once

#include "av/AvPtr.h"
#include "decode/Display.h"
#include "sources/CaptureSink.h"
#include "sources/CaptureThread.h"
#include "sources/NativeDevice.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tavrin {

// Height kept when a picture is cut to 16:9 from the top (full height when
// the picture is already 16:9 or wider).
int HeightAfterCut(int width, int height);

// Passes a picture while the number passed on is below round(decoded x wanted
// / camera rate): a 30 fps camera wanted at 25 gives 5 of every 6 pictures.
class TFrameRateGate {
public:
    void Reset(int nSrcFrameCount, int nDstFrameCount);
    bool Pass();
    int64_t Decoded() const { return nFrame_Counter; }
    int64_t Passed() const { return nFrameEncode_Counter; }

private:
    double realDiffFrameRate = 1.0;
    int64_t nFrame_Counter = 0;
    int64_t nFrameEncode_Counter = 0;
};

class TVideoClient : public TCaptureThread {
public:
    static constexpr int kTypePreview = 0;
    static constexpr int kTypeChannel = 1;

    TVideoClient() = default;
    ~TVideoClient() override;

    // Opens the camera (the device's path and backend). The rectangle is the
    // preview's place in xDspHandle (preview use only); TC receives the
    // pictures in channel use. 0, or -1..-5 as the device open failed.
    int initialize(int ownerType, TNativeWindow xDspHandle, const TNativeDeviceInfo_Video& device,
                   int w, int h, int Src_frameCount, int Dst_frameCount, int sx, int sy, int sw,
                   int sh, ICaptureSink* TC);

    void Destroy();

    int OutWidth() const { return nOutWidth; }
    int OutHeight() const { return nHeightAfterCut; }
    int SrcFrameCount() const { return nSrcFrameCount; }
    int64_t FramesPassed() const { return nPassed.load(); }

protected:
    void OnFrame(AVFrame* frame) override;

private:
    int OpenVideoDevice();

    std::unique_ptr<TDisplay> Disp;
    int nType = kTypeChannel;
    TNativeWindow nDspHandle = 0;
    TNativeDeviceInfo_Video device;
    int nw = 0, nh = 0;
    int nSrcFrameCount = 0;
    int nDstFrameCount = 25;
    int nOutWidth = 0;
    int nHeightAfterCut = 0;
    TFrameRateGate gate;
    std::atomic<int64_t> nPassed{0};
    AvFramePtr pOutFrame; // cropped YUV420P picture over outBuf
    std::vector<uint8_t> outBuf;
    SwsContext* convert_ctx = nullptr; // cached scaler, freed in Destroy
    SDL_Rect xSDLR{};
    ICaptureSink* ClientThread = nullptr;
};

} // namespace tavrin
