// What the camera and the microphone threads share: one capture input with
// its decoder, opened once, then read a packet at a time on the thread; each
// decoded frame goes to the subclass. Also the marker queue the runner reads
// and the counters the device dialog shows.
#pragma once

#include "av/AvPtr.h"
#include "base/Thread.h"
#include "sources/CaptureInput.h"
#include "sources/NativeDevice.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace tavrin {

class TCaptureThread : public TThread {
public:
    int GetPackage(TZeroMediaFrameHead& head) { return pLink.GetPackage(head); }
    void DeleteHead() { pLink.DeleteHead(); }

    bool IniOK() const { return bIniOK.load(); }
    bool InError() const { return bInError.load(); }
    // Global-clock time of the last decoded frame (0: none yet).
    uint32_t LastTime() const { return nLastTime.load(); }
    int64_t FramesDecoded() const { return nDecoded.load(); }

protected:
    // Runs the subclass's device set-up; an exception counts as -1 and is
    // traced as "<what> ini failed". Sets IniOK and InError.
    int OpenGuarded(const char* what, const std::function<int()>& open);
    // Opens the input and its decoder (OpenCaptureInput's results) and the
    // frame and packet it reuses (-5 when they cannot be had).
    int OpenInput(TCaptureBackend backend, const std::string& url, AVDictionary* options,
                  AVMediaType kind);
    // Stops the thread, interrupting a blocking device call, and closes the
    // input. Subclasses call it first when they are destroyed.
    void StopAndClose();

    void Execute() override;
    // Each decoded frame; it is released after the call.
    virtual void OnFrame(AVFrame* frame) = 0;

    TMarkerQueue pLink;
    AvInputFormatContextPtr pFormatCtx;
    int streamIndex = -1;
    AvCodecContextPtr pCodecCtx;

private:
    // Reads one packet and decodes it.
    void Step();

    TCaptureInterrupt interrupt;
    AvFramePtr pFrame;
    AvPacketPtr packet;
    std::atomic<bool> bInError{false};
    std::atomic<bool> bIniOK{false};
    std::atomic<uint32_t> nLastTime{0};
    std::atomic<int64_t> nDecoded{0};
};

} // namespace tavrin
