// The channel dialogs' pure rules: the address check and prefix, the kind
// list and source labels, the camera size list, the MP4 position bars and
// the file filters.
#include "sources/ui/AddressCheck.h"
#include "sources/ui/Mp4Position.h"
#include "sources/ui/PixChoice.h"
#include "sources/ui/SourceFileDialog.h"
#include "sources/ui/SourceKinds.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

TEST(AddressCheck, FourDecimalPartsFrom0To255) {
    for (const char* good : {"0.0.0.0", "255.255.255.255", "192.168.1.1", "127.0.0.2"}) {
        EXPECT_TRUE(IsValidIPv4(good)) << good;
    }
    for (const char* bad : {"192.168.1.256", "10.0.0", "1.2.3.4.", "", "1.2.3.4.5", "1..2.3",
                            ".1.2.3", "1.2.3.", "1.2.3.-4", "1.2.3.+4", " 1.2.3.4", "1.2.3.4 ",
                            "a.b.c.d", "1.2.3.4x", "1.2.3.99999999999", "."}) {
        EXPECT_FALSE(IsValidIPv4(bad)) << bad;
    }
}

TEST(AddressCheck, LeadingZerosAreDecimalNotOctal) {
    EXPECT_EQ(CanonicalIPv4("010.001.0.9"), "10.1.0.9");
    EXPECT_EQ(CanonicalIPv4("0255.0.0.1"), "255.0.0.1");
    EXPECT_EQ(CanonicalIPv4("192.168.1.256"), "");
}

TEST(AddressCheck, PrefixComesFromTheFirstUpInterfaceThatIsNotLoopback) {
    std::vector<TInterfaceAddress> list{
        {true, true, {127, 0, 0, 1}},
        {false, false, {10, 9, 8, 7}},    // down
        {true, false, {192, 168, 5, 77}}, // the first usable one
        {true, false, {172, 16, 0, 3}},
    };
    EXPECT_EQ(LocalAddressPrefix(list), "192.168.5.");
    EXPECT_EQ(LocalAddressPrefix({{true, true, {127, 0, 1, 1}}}), "");
    EXPECT_EQ(LocalAddressPrefix({}), "");
}

TEST(AddressCheck, ThisMachinesPrefixIsNeverTheLoopback) {
    const std::vector<TInterfaceAddress> list = ReadInterfaceAddresses();
    bool sawLoopback = false;
    for (const TInterfaceAddress& a : list) {
        sawLoopback = sawLoopback || (a.bLoopback && a.addr[0] == 127);
    }
    EXPECT_TRUE(sawLoopback) << "lo is always listed with 127.0.0.1";
    const std::string prefix = LocalAddressPrefix(list);
    EXPECT_NE(prefix.rfind("127.", 0), 0u) << prefix;
    if (!prefix.empty()) {
        EXPECT_TRUE(IsValidIPv4(prefix + "1")) << prefix;
    }
}

TEST(SourceKinds, DeviceTypesMapToListEntriesAndBack) {
    ASSERT_EQ(KindItems().size(), 5u);
    EXPECT_EQ(KindItems()[0], "未选择");
    EXPECT_EQ(KindItems()[4], "图片(1920x1080)+MP3");
    const int expected[] = {0, 1, 1, 1, 2, 4, 3, 0, 0};
    for (int type = 0; type <= 8; ++type) {
        EXPECT_EQ(KindIndexForDeviceType(type), expected[type]) << type;
    }
    EXPECT_EQ(KindIndexForDeviceType(-1), 0);
    // A kind connects with a type that maps back to it (network: the device
    // reports its own type later).
    for (int kind : {kKindDevice, kKindMp4, kKindImage}) {
        EXPECT_EQ(KindIndexForDeviceType(ConnectTypeForKind(kind)), kind);
    }
    EXPECT_EQ(ConnectTypeForKind(kKindNetwork), 0);
    EXPECT_EQ(ConnectTypeForKind(kKindNone), -1);
}

TEST(SourceKinds, LabelTextsPerKind) {
    TClientInfo info;
    EXPECT_EQ(SourceLabelText(info), "");
    info.IP = "127.0.0.2";
    info.DeviceType = kDeviceDesktop;
    EXPECT_EQ(SourceLabelText(info), "IP地址：127.0.0.2\r\n设备类型：桌面直播");
    info.DeviceType = kDevicePhone;
    EXPECT_EQ(SourceLabelText(info), "IP地址：127.0.0.2\r\n设备类型：手机终端");
    info.DeviceType = kDevicePhoneAlt;
    EXPECT_EQ(SourceLabelText(info), "IP地址：127.0.0.2\r\n设备类型：手机终端");
    info.DeviceType = kDeviceCamera;
    info.IP = "Virtual Camera";
    info.AudioDeviceName = "Virtual Microphone";
    EXPECT_EQ(SourceLabelText(info), "视频设备：Virtual Camera\r\n音频设备：Virtual Microphone");
    info.DeviceType = kDeviceMp4;
    info.IP = "/tmp/a b.mp4";
    EXPECT_EQ(SourceLabelText(info), "MP4：/tmp/a b.mp4");
    info.DeviceType = kDeviceImage;
    info.IP = "/tmp/still.jpg";
    info.Mp3Name = "";
    EXPECT_EQ(SourceLabelText(info), "图片：/tmp/still.jpg\r\nMP3：");
    EXPECT_EQ(DeviceTypeName(0), "无");
}

TEST(SourceKinds, PushAddressMustBeginWithRtmpInAnyCase) {
    EXPECT_TRUE(IsRtmpAddress("rtmp://127.0.0.1/live/x"));
    EXPECT_TRUE(IsRtmpAddress("RtMp://127.0.0.1:1935/live/x"));
    EXPECT_TRUE(IsRtmpAddress("RTMP://"));
    EXPECT_FALSE(IsRtmpAddress("http://127.0.0.1/live"));
    EXPECT_FALSE(IsRtmpAddress("rtmps://127.0.0.1/live"));
    EXPECT_FALSE(IsRtmpAddress("rtmp:/"));
    EXPECT_FALSE(IsRtmpAddress(""));
    EXPECT_FALSE(IsRtmpAddress(" rtmp://127.0.0.1/live"));
    // Only the scheme changes case; the stream key is the server's business.
    EXPECT_EQ(PushAddress("RtMp://127.0.0.1:1935/Live/KeY"), "rtmp://127.0.0.1:1935/Live/KeY");
    EXPECT_EQ(PushAddress("rtmp://h/a"), "rtmp://h/a");
}

TEST(PixChoice, ItemsAndTheDefaultSize) {
    const std::vector<TPixInfo> sizes{
        {0, 640, 480, 30}, {0, 1280, 720, 30}, {0, 1280, 960, 15}, {0, 1920, 1080, 5}};
    EXPECT_EQ(PixItems(sizes),
              (std::vector<std::string>{"640x480 (30帧/秒)", "1280x720 (30帧/秒)",
                                        "1280x960 (15帧/秒)", "1920x1080 (5帧/秒)"}));
    EXPECT_EQ(DefaultPixIndex(sizes), 2); // the last 1280 wide
    EXPECT_EQ(DefaultPixIndex({{0, 640, 480, 30}, {0, 320, 240, 30}}), 0);
    EXPECT_EQ(DefaultPixIndex({}), 0);
    EXPECT_EQ(PixItems({}), std::vector<std::string>{"无"});
}

TEST(Mp4Position, BarsAndLabels) {
    const TMp4Bars b = Mp4Bars(70, 125);
    EXPECT_EQ(BarLabel(b.nMinPos, b.nMinMax), "1/2");
    EXPECT_EQ(BarLabel(b.nSecPos, b.nSecMax), "10/60");
    const TMp4Bars z = Mp4Bars(-3, 59);
    EXPECT_EQ(z.nMinMax, 0);
    EXPECT_EQ(z.nMinPos, 0);
    EXPECT_EQ(z.nSecPos, 0);
    EXPECT_EQ(CycleCaption(true), "循环播放已开");
    EXPECT_EQ(CycleCaption(false), "循环播放已关");
}

TEST(SourceFileDialog, FiltersBecomeQtNameFilters) {
    EXPECT_EQ(QtNameFilter(kMp4FileChoice.filter), "All (*.mp4 *.mkv)");
    EXPECT_EQ(QtNameFilter(kPictureFileChoice.filter), "JPEG Image File (*.jpg *.jpeg)");
    EXPECT_EQ(QtNameFilter(kMp3FileChoice.filter), "MP3 (*.mp3)");
    EXPECT_EQ(QtNameFilter("Text|*.txt"), "Text (*.txt)");
}

} // namespace
} // namespace tavrin
