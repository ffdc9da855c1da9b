// The source runner of a camera slot, on the virtual devices: pictures and
// sound reach the channel worker's outputs directly, markers are counted, and
// a disconnect stops the counting.
#include "base/Thread.h"
#include "sources/AVMaker.h"
#include "sources/ClientThread.h"
#include "tests/sources/FakeLinks.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace tavrin {
namespace {

class DeviceMakerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // Before the process-wide device list is first built.
        setenv("TAVRIN_VIRTUAL_DEVICES", "1", 1);
    }
    void SetUp() override {
        ASSERT_EQ(worker.initialize(1, 1, 1280, 720), 0);
        programme.slot = 1;
        worker.SetLinks(&programme, nullptr, nullptr);
        info.nChannel = 1;
        info.DeviceType = kDeviceCamera;
    }
    test::FakeProgramme programme;
    TClientThread worker;
    TClientInfo info;
};

TEST_F(DeviceMakerTest, CameraAndMicrophoneFeedTheWorkerUntilDisconnected) {
    info.IP = "Virtual Camera_1";
    info.AudioDeviceName = "Virtual Microphone";
    TAVMaker maker;
    ASSERT_EQ(maker.initialize(&worker, &info, &programme), 0);
    ASSERT_EQ(maker.SourceResult(), 0);
    ASSERT_NE(maker.LocalDevices(), nullptr);
    int v = 0, a = 0;
    maker.GetAVCounterThisperiod(v, a);
    int videoMarkers = 0, audioMarkers = 0;
    for (int turn = 0; turn < 2000 && (videoMarkers < 20 || audioMarkers < 30); ++turn) {
        maker.RunTurn();
        SleepMs(5);
        videoMarkers = int(maker.LocalDevices()->VideoForwarded());
        audioMarkers = int(maker.LocalDevices()->AudioForwarded());
    }
    ASSERT_GE(videoMarkers, 20);
    ASSERT_GE(audioMarkers, 30);
    EXPECT_GT(maker.GetAVCounterThisperiod(v, a), 0);
    EXPECT_GT(v, 0);
    EXPECT_GT(a, 0);

    maker.SetDisconnect();
    EXPECT_EQ(programme.errorPorts, std::vector<int>{1});
    for (int turn = 0; turn < 40; ++turn) {
        maker.RunTurn();
        SleepMs(5);
    }
    // Markers are never key pictures: nothing passes the gate any more.
    EXPECT_EQ(maker.GetAVCounterThisperiod(v, a), 0);
    maker.Destroy();

    // The capture threads played straight into the programme: clip pictures
    // of the size it asked for, and AAC frames with their ADTS header.
    ASSERT_FALSE(programme.pushedPictureWidths.empty());
    ASSERT_GE(programme.aac.size(), 20u);
    for (const auto& frame : programme.aac) {
        ASSERT_GE(frame.size(), 7u);
        EXPECT_EQ(frame[0], 0xFF);
        EXPECT_EQ(frame[1] & 0xF0, 0xF0);
    }
}

TEST_F(DeviceMakerTest, UnlistedDevicesStartNothing) {
    info.IP = "No Such Camera";
    info.AudioDeviceName = "No Such Microphone";
    TAVMaker maker;
    ASSERT_EQ(maker.initialize(&worker, &info, &programme), 0);
    EXPECT_EQ(maker.SourceResult(), -1);
    maker.RunTurn();
    int v = 0, a = 0;
    EXPECT_EQ(maker.GetAVCounterThisperiod(v, a), 0);
}

} // namespace
} // namespace tavrin
