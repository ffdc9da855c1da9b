// devices: lists the local cameras (with their sizes and rates) and
// microphones; with --try opens one camera and microphone as a channel would
// and reports what they delivered.
#include "base/Thread.h"
#include "cli/Commands.h"
#include "sources/AudioClient.h"
#include "sources/LocalDeviceSource.h"
#include "sources/NativeDevice.h"
#include "sources/VideoClient.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>

namespace tavrin::cli {

namespace {

std::string FourCC(int32_t code) {
    std::string s;
    for (int i = 0; i < 4; ++i) {
        const char c = char((uint32_t(code) >> (8 * i)) & 0xFF);
        s += (c >= 32 && c < 127) ? c : '?';
    }
    return s;
}

const char* BackendName(TCaptureBackend b) {
    switch (b) {
    case TCaptureBackend::V4L2:
        return "v4l2";
    case TCaptureBackend::Alsa:
        return "alsa";
    case TCaptureBackend::Virtual:
        return "virtual";
    }
    return "?";
}

class TCountingSink : public ICaptureSink {
public:
    void RealPlayYUV(const AVFrame* p) override {
        width = p->width;
        height = p->height;
        ++pictures;
    }
    void RealPlayAudio(const uint8_t*, uint8_t, uint32_t) override {}
    std::atomic<int> pictures{0}, width{0}, height{0};
};

int TryDevices(TNativeDevice& devices, const std::string& text, int seconds) {
    std::string sCamera, sMic;
    if (!SplitDeviceConnection(text, sCamera, sMic)) {
        return Fail("--try needs CAMERA|MICROPHONE");
    }
    TNativeDeviceInfo_Video cam;
    TNativeDeviceInfo_Audio mic;
    const bool hasCam = devices.GetVideoInfoByName(sCamera, cam) >= 0 && !cam.aPixInfo.empty();
    const bool hasMic = !sMic.empty() && devices.GetAudioInfoByName(sMic, mic) >= 0;
    if (!hasCam && !hasMic) {
        std::fprintf(stderr, "tavrin-cli: no such camera or microphone\n");
        return kExitFailed;
    }
    TCountingSink sink;
    TVideoClient video;
    TAudioClient audio;
    int failures = 0;
    if (hasCam) {
        const TPixInfo& size = cam.aPixInfo[size_t(cam.nPixIndex)];
        const int r = video.initialize(TVideoClient::kTypeChannel, 0, cam, size.width, size.height,
                                       size.frameCount, 25, 0, 0, 0, 0, &sink);
        std::printf("camera %s: open %d\n", cam.sName.c_str(), r);
        failures += r != 0;
        video.Start();
    }
    if (hasMic) {
        const int r = audio.initialize(TAudioClient::kTypeLevel, mic, nullptr);
        std::printf("microphone %s: open %d\n", mic.sName.c_str(), r);
        failures += r != 0;
        audio.Start();
    }
    int peak = 0;
    for (int ms = 0; ms < seconds * 1000; ms += 200) {
        SleepMs(200);
        if (hasMic) {
            peak = std::max(peak, audio.GetMaxVolume());
        }
    }
    video.Destroy();
    audio.Destroy();
    if (hasCam) {
        std::printf("camera: %lld pictures decoded, %lld passed on, %dx%d\n",
                    (long long)video.FramesDecoded(), (long long)video.FramesPassed(),
                    sink.width.load(), sink.height.load());
        failures += video.FramesPassed() == 0;
    }
    if (hasMic) {
        std::printf("microphone: peak level %d\n", peak);
        failures += audio.LastTime() == 0 && peak == 0;
    }
    return failures == 0 ? kExitOK : kExitFailed;
}

} // namespace

int RunDevices(const TCliArgs& args) {
    TNativeDevice& devices = TNativeDevice::Instance();
    if (args.Has("try")) {
        int seconds = 2;
        if (args.Has("seconds") && (!args.GetInt("seconds", seconds) || seconds < 1)) {
            return Fail("--seconds needs a positive number");
        }
        return TryDevices(devices, args.Get("try"), seconds);
    }
    std::vector<TNativeDeviceInfo_Video> cams;
    std::vector<TNativeDeviceInfo_Audio> mics;
    devices.GetInfoList_V(cams);
    devices.GetInfoList_A(mics);
    std::printf("cameras: %zu\n", cams.size());
    for (const TNativeDeviceInfo_Video& c : cams) {
        std::printf("  %s\t%s %s\n", c.sName.c_str(), BackendName(c.backend), c.path.c_str());
        for (const TPixInfo& p : c.aPixInfo) {
            std::printf("    %dx%d %d fps %s\n", p.width, p.height, p.frameCount,
                        FourCC(p.pixFormat).c_str());
        }
    }
    std::printf("microphones: %zu\n", mics.size());
    for (const TNativeDeviceInfo_Audio& m : mics) {
        std::printf("  %s\t%s %s\t%d ch %d bit %d Hz\n", m.sName.c_str(), BackendName(m.backend),
                    m.path.c_str(), m.ch, m.bit, m.rate);
    }
    return 0;
}

} // namespace tavrin::cli
