#include "sources/NativeDevice.h"

#include "sources/AudioClient.h"
#include "sources/CaptureInput.h"
#include "sources/LocalDeviceSource.h"
#include "sources/VideoClient.h"

#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>

namespace tavrin {
namespace {

TEST(NativeDeviceNames, RepeatedNamesGetCountersPerFirstDevice) {
    std::vector<std::string> names{"Cam", "Mic", "Cam", "Cam", "Mic", "Other"};
    MakeNamesUnique(names);
    EXPECT_EQ(names, (std::vector<std::string>{"Cam", "Mic", "Cam_1", "Cam_2", "Mic_1", "Other"}));
}

TEST(NativeDeviceNames, NamesKeepTheirColons) {
    TNativeDevice d;
    TNativeDeviceInfo_Audio a;
    a.sName = "HDA Intel: ALC892 Analog";
    a.path = "plughw:0,0";
    d.SetLists({}, {a, a});
    std::vector<TNativeDeviceInfo_Audio> list;
    ASSERT_EQ(d.GetInfoList_A(list), 2);
    EXPECT_EQ(list[0].sName, "HDA Intel: ALC892 Analog");
    EXPECT_EQ(list[1].sName, "HDA Intel: ALC892 Analog_1");
    TNativeDeviceInfo_Audio found;
    EXPECT_EQ(d.GetAudioInfoByName("HDA Intel: ALC892 Analog_1", found), 1);
    EXPECT_EQ(d.GetAudioInfoByName("HDA Intel", found), -1);
}

TEST(NativeDeviceSizes, FirstCapabilityOfASizeWinsAndRatesRound) {
    EXPECT_EQ(FrameCountFromInterval(333333), 30);
    EXPECT_EQ(FrameCountFromInterval(666667), 15);
    EXPECT_EQ(FrameCountFromInterval(400000), 25);
    EXPECT_EQ(FrameCountFromInterval(417083), 24); // 23.976 fps
    EXPECT_EQ(FrameCountFromInterval(0), 0);
    // Halves round to the even neighbour: 12.5 and 2.5 fps.
    EXPECT_EQ(FrameCountFromInterval(800000), 12);
    EXPECT_EQ(FrameCountFromInterval(4000000), 2);
    std::vector<TPixInfo> list;
    AddPixInfo(list, {1, 1280, 720, 30});
    AddPixInfo(list, {2, 1280, 720, 15});
    AddPixInfo(list, {1, 640, 480, 30});
    AddPixInfo(list, {2, 720, 1280, 30});
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].frameCount, 30);
    EXPECT_EQ(list[0].pixFormat, 1);
    EXPECT_EQ(list[2].width, 720);
}

class VirtualDevices : public ::testing::Test {
protected:
    void SetUp() override { setenv("TAVRIN_VIRTUAL_DEVICES", "1", 1); }
    void TearDown() override { unsetenv("TAVRIN_VIRTUAL_DEVICES"); }
};

TEST_F(VirtualDevices, TwoCamerasOfOneNameAndAMicrophone) {
    TNativeDevice d;
    EXPECT_EQ(d.initialize(), 3);
    std::vector<TNativeDeviceInfo_Video> cams;
    ASSERT_EQ(d.GetInfoList_V(cams), 2);
    EXPECT_EQ(cams[0].sName, "Virtual Camera");
    EXPECT_EQ(cams[1].sName, "Virtual Camera_1");
    ASSERT_EQ(cams[0].nPixCount, 2);
    EXPECT_EQ(cams[0].aPixInfo[0].width, 1280);
    EXPECT_EQ(cams[0].aPixInfo[0].frameCount, 30);
    EXPECT_EQ(cams[0].aPixInfo[1].width, 640);
    int v = 0, pix = 0, a = 0;
    d.SetCurrentIndex(1, 5, 7); // size and microphone out of range: kept
    d.GetCurrentIndex(v, pix, a, nullptr, nullptr);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(pix, 0);
    EXPECT_EQ(a, 0);
}

TEST(NativeDevice, EmptyListsReportMinusOne) {
    TNativeDevice d;
    d.SetLists({}, {});
    int v = 0, pix = 0, a = 0;
    TNativeDeviceInfo_Video pv;
    d.GetCurrentIndex(v, pix, a, &pv, nullptr);
    EXPECT_EQ(v, -1);
    EXPECT_EQ(pix, -1);
    EXPECT_EQ(a, -1);
    // A directory without video nodes lists nothing and does not fail.
    EXPECT_TRUE(EnumerateV4L2Cameras("/nonexistent-dir").empty());
}

TEST(VideoCrop, SixteenByNineFromTheTop) {
    EXPECT_EQ(HeightAfterCut(640, 480), 360);
    EXPECT_EQ(HeightAfterCut(1280, 720), 720);
    EXPECT_EQ(HeightAfterCut(1920, 800), 800); // wider than 16:9 stays whole
    EXPECT_EQ(HeightAfterCut(1280, 1024), 720);
}

TEST(VideoRate, ThirtyToTwentyFivePassesFiveOfSix) {
    TFrameRateGate gate;
    gate.Reset(30, 25);
    int passed = 0;
    std::string pattern;
    for (int i = 0; i < 30; ++i) {
        const bool p = gate.Pass();
        passed += p;
        if (i < 12) {
            pattern += p ? '1' : '0';
        }
    }
    EXPECT_EQ(passed, 25);
    // One dropped in every group of six, never two in a row.
    EXPECT_EQ(pattern, "111011111011");
}

TEST(VideoRate, SlowerOrUnknownCameraPassesEverything) {
    TFrameRateGate gate;
    for (int src : {15, 25, 0}) {
        gate.Reset(src, 25);
        for (int i = 0; i < 20; ++i) {
            EXPECT_TRUE(gate.Pass()) << "camera rate " << src;
        }
    }
}

TEST(AudioLevel, PeakOfSixteenBitFramesAsPercent) {
    EXPECT_EQ(VolumeFromPeak(32767), 100);
    EXPECT_EQ(VolumeFromPeak(16384), 50);
    EXPECT_EQ(VolumeFromPeak(0), 0);
    AvFramePtr f(av_frame_alloc());
    f->format = AV_SAMPLE_FMT_S16;
    f->nb_samples = 4;
    av_channel_layout_default(&f->ch_layout, 2);
    ASSERT_EQ(av_frame_get_buffer(f.get(), 0), 0);
    const int16_t samples[8] = {10, -20, 300, -32768, 5, 6, 7, 8};
    std::memcpy(f->data[0], samples, sizeof samples);
    EXPECT_EQ(PeakPCM(f.get()), 32767); // -32768 does not overflow
}

TEST(DeviceConnection, CameraAndMicrophoneSplitAtTheFirstBar) {
    std::string cam, mic;
    ASSERT_TRUE(SplitDeviceConnection("Cam A|Mic|B", cam, mic));
    EXPECT_EQ(cam, "Cam A");
    EXPECT_EQ(mic, "Mic|B");
    ASSERT_TRUE(SplitDeviceConnection("Cam", cam, mic));
    EXPECT_EQ(mic, "");
    EXPECT_FALSE(SplitDeviceConnection("Cam|", cam, mic));
}

TEST(CaptureUrl, VirtualDevicesCarrySizeRateAndFilters) {
    EXPECT_EQ(VideoCaptureUrl(TCaptureBackend::V4L2, "/dev/video0", 640, 480, 30), "/dev/video0");
    EXPECT_EQ(VideoCaptureUrl(TCaptureBackend::Virtual, "testsrc2", 640, 480, 30),
              "testsrc2=size=640x480:rate=30,format=yuyv422,realtime");
    EXPECT_EQ(VideoCaptureUrl(TCaptureBackend::Virtual, "testsrc2=duration=1,negate", 64, 48, 15),
              "testsrc2=duration=1:size=64x48:rate=15,negate,format=yuyv422,realtime");
    EXPECT_EQ(AudioCaptureUrl(TCaptureBackend::Virtual, "sine", 48000),
              "sine=sample_rate=48000:samples_per_frame=960,aformat=sample_fmts=s16:channel_"
              "layouts=stereo,arealtime");
    EXPECT_EQ(AudioCaptureUrl(TCaptureBackend::Alsa, "plughw:0,0", 48000), "plughw:0,0");
}

TEST(MarkerQueue, HoldsPayloadLessRecordsInOrderAndStaysBounded) {
    TMarkerQueue q;
    TZeroMediaFrameHead h{};
    EXPECT_EQ(q.GetPackage(h), -1);
    q.Push(kFrameMarkerAudio);
    q.Push(kFrameMarkerVideo);
    ASSERT_EQ(q.GetPackage(h), 0);
    EXPECT_EQ(h.nFrameType, kFrameMarkerAudio);
    EXPECT_EQ(uint32_t(h.nFrameSize), 0u);
    q.DeleteHead();
    ASSERT_EQ(q.GetPackage(h), 0);
    EXPECT_EQ(h.nFrameType, kFrameMarkerVideo);
    for (size_t i = 0; i < TMarkerQueue::kMaxMarkers + 10; ++i) {
        q.Push(kFrameMarkerAudio);
    }
    EXPECT_EQ(q.Size(), TMarkerQueue::kMaxMarkers);
}

} // namespace
} // namespace tavrin
