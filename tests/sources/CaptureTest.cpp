// Capture threads against the virtual lavfi devices (and a real camera when
// the machine has one).
#include "base/GloTimer.h"
#include "base/Thread.h"
#include "base/Trace.h"
#include "sources/AudioClient.h"
#include "sources/LocalDeviceSource.h"
#include "sources/NativeDevice.h"
#include "sources/VideoClient.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <vector>

namespace tavrin {
namespace {

// Records what a capture thread hands to the channel worker.
class TRecordingSink : public ICaptureSink {
public:
    void RealPlayYUV(const AVFrame* p) override {
        std::lock_guard lock(mutex);
        ++pictures;
        width = p->width;
        height = p->height;
        format = p->format;
        // Brightest luma of the picture: the test sources are black above
        // the cut line and white below it.
        maxLuma = 0;
        for (int y = 0; y < p->height; ++y) {
            const uint8_t* row = p->data[0] + size_t(y) * size_t(p->linesize[0]);
            maxLuma = std::max<int>(maxLuma, *std::max_element(row, row + p->width));
        }
    }
    void RealPlayAudio(const uint8_t* p, uint8_t nType, uint32_t nSize) override {
        std::lock_guard lock(mutex);
        ++audioFrames;
        audioType = nType;
        // ADTS sync word and the frame length field match the size handed over.
        const uint32_t adtsLength =
            (uint32_t(p[3] & 3) << 11) | (uint32_t(p[4]) << 3) | (p[5] >> 5);
        if (nSize >= 7 && p[0] == 0xFF && (p[1] & 0xF0) == 0xF0 && adtsLength == nSize) {
            ++goodAdts;
        }
    }
    std::mutex mutex;
    int pictures = 0, width = 0, height = 0, format = -1, maxLuma = 0;
    int audioFrames = 0, goodAdts = 0, audioType = 0;
};

// Polls until cond holds or about limitMs of real time passed.
bool WaitUntil(const std::function<bool()>& cond, int limitMs = 10000) {
    for (int waited = 0; waited < limitMs; waited += 10) {
        if (cond()) {
            return true;
        }
        SleepMs(10);
    }
    return cond();
}

TNativeDeviceInfo_Video VirtualCamera(const std::string& path, int w, int h, int rate) {
    TNativeDeviceInfo_Video cam;
    cam.sName = "Virtual Camera";
    cam.path = path;
    cam.backend = TCaptureBackend::Virtual;
    cam.aPixInfo.push_back({0, w, h, rate});
    cam.nPixCount = 1;
    return cam;
}

TNativeDeviceInfo_Audio VirtualMicrophone() {
    return VirtualMicrophones().front();
}

TEST(VideoClient, FourByThreeCameraGivesTheTopSixteenByNineRows) {
    // Black picture with white bottom rows below line 360: a cut from the top
    // keeps only black.
    TRecordingSink sink;
    TVideoClient v;
    ASSERT_EQ(v.initialize(
                  TVideoClient::kTypeChannel, 0,
                  VirtualCamera("color=c=black,drawbox=y=360:h=120:c=white:t=fill", 640, 480, 30),
                  640, 480, 30, 25, 0, 0, 0, 0, &sink),
              0);
    EXPECT_EQ(v.OutWidth(), 640);
    EXPECT_EQ(v.OutHeight(), 360);
    ASSERT_TRUE(v.Start());
    ASSERT_TRUE(WaitUntil([&] {
        std::lock_guard lock(sink.mutex);
        return sink.pictures >= 3;
    }));
    v.Destroy();
    EXPECT_EQ(sink.width, 640);
    EXPECT_EQ(sink.height, 360);
    EXPECT_EQ(sink.format, AV_PIX_FMT_YUV420P);
    EXPECT_LT(sink.maxLuma, 40) << "rows below the 16:9 cut were kept";
    // Each picture handed over left one video marker for the runner.
    TZeroMediaFrameHead h{};
    EXPECT_EQ(v.GetPackage(h), -1) << "markers are cleared by Destroy";
}

TEST(VideoClient, ThirtyFpsCameraIsThinnedToTwentyFive) {
    TRecordingSink sink;
    TVideoClient v;
    ASSERT_EQ(v.initialize(TVideoClient::kTypeChannel, 0, VirtualCamera("testsrc2", 320, 180, 30),
                           320, 180, 30, 25, 0, 0, 0, 0, &sink),
              0);
    EXPECT_EQ(v.SrcFrameCount(), 30);
    ASSERT_TRUE(v.Start());
    ASSERT_TRUE(WaitUntil([&] { return v.FramesDecoded() >= 36; }));
    v.Terminate();
    v.WaitFor();
    const int64_t decoded = v.FramesDecoded();
    const int64_t passed = v.FramesPassed();
    EXPECT_EQ(passed, (decoded * 25 + 15) / 30);
    std::lock_guard lock(sink.mutex);
    EXPECT_EQ(sink.pictures, passed);
    EXPECT_EQ(sink.height, 180);
}

TEST(VideoClient, MarkersQueueOnePerPictureHandedOver) {
    TRecordingSink sink;
    TVideoClient v;
    ASSERT_EQ(v.initialize(TVideoClient::kTypeChannel, 0, VirtualCamera("testsrc2", 160, 90, 25),
                           160, 90, 25, 25, 0, 0, 0, 0, &sink),
              0);
    ASSERT_TRUE(v.Start());
    ASSERT_TRUE(WaitUntil([&] { return v.FramesPassed() >= 5; }));
    v.Terminate();
    v.WaitFor();
    int markers = 0;
    TZeroMediaFrameHead h{};
    while (v.GetPackage(h) == 0) {
        EXPECT_EQ(h.nFrameType, kFrameMarkerVideo);
        EXPECT_EQ(uint32_t(h.nFrameSize), 0u);
        EXPECT_GT(int64_t(h.PTS), 0);
        v.DeleteHead();
        ++markers;
    }
    EXPECT_EQ(markers, v.FramesPassed());
}

TEST(VideoClient, MissingDeviceFailsToOpenAndIdles) {
    TNativeDeviceInfo_Video cam;
    cam.path = "/dev/video-does-not-exist";
    cam.backend = TCaptureBackend::V4L2;
    TVideoClient v;
    EXPECT_EQ(
        v.initialize(TVideoClient::kTypeChannel, 0, cam, 640, 480, 30, 25, 0, 0, 0, 0, nullptr),
        -1);
    EXPECT_TRUE(v.InError());
    EXPECT_FALSE(v.IniOK());
    ASSERT_TRUE(v.Start()); // runs idle until its owner replaces it
    SleepMs(20);
    EXPECT_EQ(v.FramesDecoded(), 0);
}

TEST(AudioClient, MicrophoneIsEncodedToAacForTheWorker) {
    TRecordingSink sink;
    TAudioClient a;
    ASSERT_EQ(a.initialize(TAudioClient::kTypeChannel, VirtualMicrophone(), &sink), 0);
    ASSERT_TRUE(a.Start());
    ASSERT_TRUE(WaitUntil([&] { return a.AacFrames() >= 10; }));
    a.Terminate();
    a.WaitFor();
    std::lock_guard lock(sink.mutex);
    EXPECT_EQ(sink.audioType, kFrameAAC);
    EXPECT_EQ(sink.audioFrames, a.AacFrames());
    EXPECT_EQ(sink.goodAdts, sink.audioFrames);
    TZeroMediaFrameHead h{};
    ASSERT_EQ(a.GetPackage(h), 0);
    EXPECT_EQ(h.nFrameType, kFrameMarkerAudio);
}

TEST(AudioClient, DialogUseMeasuresThePeakSinceTheLastQuery) {
    TAudioClient a;
    ASSERT_EQ(a.initialize(TAudioClient::kTypeLevel, VirtualMicrophone(), nullptr), 0);
    ASSERT_TRUE(a.Start());
    ASSERT_TRUE(WaitUntil([&] { return a.LastTime() != 0 || GetGlobeCount() == 0; }));
    SleepMs(100);
    // lavfi's sine has an amplitude of 1/8 of full scale.
    const int level = a.GetMaxVolume();
    EXPECT_GE(level, 11);
    EXPECT_LE(level, 13);
    a.Terminate();
    a.WaitFor();
    EXPECT_LE(a.GetMaxVolume(), 13);
    EXPECT_EQ(a.GetMaxVolume(), 0) << "the peak is reset by each query";
}

TEST(AudioClient, AlsaInputOpensTheNullDeviceAndDecodes) {
    // ALSA's "null" PCM exists without a sound card: the real alsa input path
    // opens with the microphone options and its samples decode.
    TNativeDeviceInfo_Audio mic;
    mic.sName = "null";
    mic.path = "null";
    mic.backend = TCaptureBackend::Alsa;
    TAudioClient a;
    const int r = a.initialize(TAudioClient::kTypeLevel, mic, nullptr);
    if (r == -1) {
        GTEST_SKIP() << "ALSA null device cannot be opened here";
    }
    ASSERT_EQ(r, 0);
    ASSERT_TRUE(a.Start());
    ASSERT_TRUE(WaitUntil([&] { return a.FramesDecoded() >= 5; }));
    a.Destroy();
    // The null device's samples are whatever its buffer held; the level is
    // only bounded.
    const int level = a.GetMaxVolume();
    EXPECT_GE(level, 0);
    EXPECT_LE(level, 100);
}

TEST(LocalDeviceSource, CameraThatStopsIsRestartedWhileTheMicrophoneRuns) {
    TTestClock clock(1000);
    TNativeDevice devices;
    // The camera's source ends after one second; the microphone never does.
    devices.SetLists({VirtualCamera("testsrc2=duration=1", 160, 90, 25)}, {VirtualMicrophone()});
    TRecordingSink sink;
    std::vector<uint8_t> forwardedTypes;
    TLocalDeviceSource source(devices);
    ASSERT_EQ(source.initialize("Virtual Camera", "Virtual Microphone", &sink,
                                [&](const uint8_t* rec) { forwardedTypes.push_back(rec[0]); }),
              2);
    // Runner turns every 5 ms of the test clock, paced by real sleeps so the
    // capture threads keep producing.
    uint32_t videoAtRestart = 0;
    for (int turn = 0; turn < 1600 && source.VideoRestarts() == 0; ++turn) {
        source.Step();
        clock.Advance(5);
        SleepMs(5);
        videoAtRestart = source.VideoForwarded();
    }
    ASSERT_EQ(source.VideoRestarts(), 1) << "the ended camera was not restarted";
    EXPECT_EQ(source.AudioRestarts(), 0) << "the microphone kept running";
    EXPECT_GT(videoAtRestart, 10u);
    const uint32_t audioBefore = source.AudioForwarded();
    EXPECT_GT(audioBefore, 50u);
    // The restarted camera delivers again.
    for (int turn = 0; turn < 400 && source.VideoForwarded() <= videoAtRestart + 5; ++turn) {
        source.Step();
        clock.Advance(5);
        SleepMs(5);
    }
    EXPECT_GT(source.VideoForwarded(), videoAtRestart + 5);
    EXPECT_GT(source.AudioForwarded(), audioBefore);
    EXPECT_EQ(source.AudioRestarts(), 0);
    source.Destroy();
    for (uint8_t t : forwardedTypes) {
        ASSERT_TRUE(t == kFrameMarkerAudio || t == kFrameMarkerVideo) << int(t);
    }
}

TEST(LocalDeviceSource, MissingDevicesStartNothing) {
    TNativeDevice devices;
    devices.SetLists({}, {VirtualMicrophone()});
    TLocalDeviceSource source(devices);
    EXPECT_EQ(source.initialize("No Camera", "Virtual Microphone", nullptr, nullptr), 1);
    EXPECT_FALSE(source.HasCamera());
    EXPECT_TRUE(source.HasMicrophone());
    EXPECT_EQ(source.Video(), nullptr);
}

bool HasVideoNode() {
    DIR* d = opendir("/dev");
    bool found = false;
    while (d && !found) {
        dirent* e = readdir(d);
        if (!e) {
            break;
        }
        found = std::strncmp(e->d_name, "video", 5) == 0;
    }
    if (d) {
        closedir(d);
    }
    return found;
}

TEST(RealCamera, FirstCameraDeliversSixteenByNinePictures) {
    if (!HasVideoNode()) {
        GTEST_SKIP() << "no /dev/video* on this machine: real-camera test skipped";
    }
    const auto cams = EnumerateV4L2Cameras();
    ASSERT_FALSE(cams.empty()) << "video nodes exist but none is a capture device";
    const TPixInfo& size = cams[0].aPixInfo[0];
    TRecordingSink sink;
    TVideoClient v;
    ASSERT_EQ(v.initialize(TVideoClient::kTypeChannel, 0, cams[0], size.width, size.height,
                           size.frameCount, 25, 0, 0, 0, 0, &sink),
              0);
    ASSERT_TRUE(v.Start());
    ASSERT_TRUE(WaitUntil([&] { return v.FramesPassed() >= 5; }));
    v.Destroy();
    EXPECT_EQ(sink.height, HeightAfterCut(size.width, size.height));
    EXPECT_LE(v.FramesPassed(), v.FramesDecoded());
}

} // namespace
} // namespace tavrin
