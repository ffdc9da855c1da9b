// Opening a capture device through libavdevice, shared by the camera and the
// microphone threads: the same code serves V4L2/ALSA devices and the virtual
// lavfi ones, only the input format and the URL differ.
#pragma once

#include "av/AvPtr.h"
#include "base/MediaFrame.h"
#include "sources/NativeDevice.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

namespace tavrin {

// libavdevice input format name of a backend.
const char* CaptureInputFormat(TCaptureBackend backend);

// URL of a camera at a size and rate. For a virtual camera the path is a
// lavfi source, optionally followed by ",filters" applied before the
// camera's own pixel format.
std::string VideoCaptureUrl(TCaptureBackend backend, const std::string& path, int w, int h,
                            int rate);
std::string AudioCaptureUrl(TCaptureBackend backend, const std::string& path, int rate);

// Blocking calls on a device give up after 3 s or when the owner stops.
struct TCaptureInterrupt {
    std::atomic<bool> bStop{false};
    std::atomic<int64_t> nDeadlineUs{0}; // 0: no deadline
    static int Callback(void* opaque);
    void Arm();
    void Disarm() { nDeadlineUs.store(0); }
};

// Opens the input and finds the last stream of the kind with its decoder.
// Results: 0, -1 open failed, -2 no stream information, -3 no such stream,
// -4 no decoder, -5 decoder failed to open.
int OpenCaptureInput(TCaptureBackend backend, const std::string& url, AVDictionary* options,
                     AVMediaType kind, TCaptureInterrupt& interrupt,
                     AvInputFormatContextPtr& pFormatCtx, int& streamIndex,
                     AvCodecContextPtr& pCodecCtx);

// The marker queue a capture thread keeps for its runner's bookkeeping:
// payload-less records, so nothing is allocated per frame.
class TMarkerQueue {
public:
    static constexpr size_t kMaxMarkers = 1000; // an absent reader must not grow it forever
    void Push(uint8_t nFrameType);
    int GetPackage(TZeroMediaFrameHead& head);
    void DeleteHead();
    void Clear();
    size_t Size();

private:
    std::mutex FFrameLock;
    std::deque<TZeroMediaFrameHead> pLink;
};

} // namespace tavrin
