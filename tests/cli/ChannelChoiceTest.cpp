#include "cli/ChannelChoice.h"

#include "sources/ClientInfo.h"

#include <gtest/gtest.h>

using namespace tavrin;
using namespace tavrin::cli;

TEST(ChannelChoice, ReadsEveryKindAndItsSecondPart) {
    struct Case {
        const char* text;
        int channel;
        uint8_t type;
        const char* path;
        const char* second;
        const char* address;
    };
    const Case cases[] = {
        {"1=file:/m/a|b.mp4", 1, kDeviceMp4, "/m/a|b.mp4", "", "/m/a|b.mp4"},
        {"2=image:/p/s.jpg|/p/m.mp3", 2, kDeviceImage, "/p/s.jpg", "/p/m.mp3", "/p/s.jpg|/p/m.mp3"},
        {"3=image:/p/s.jpg", 3, kDeviceImage, "/p/s.jpg", "", "/p/s.jpg"},
        {"4=device:Cam A|Mic: B", 4, kDeviceCamera, "Cam A", "Mic: B", "Cam A|Mic: B"},
        {"5=phone:127.0.0.2", 5, kDevicePhone, "127.0.0.2", "", "127.0.0.2"},
        {"1=desktop:127.0.0.3", 1, kDeviceDesktop, "127.0.0.3", "", "127.0.0.3"},
    };
    for (const Case& c : cases) {
        TChannelChoice choice;
        std::string error;
        ASSERT_TRUE(ParseChannelChoice(c.text, 5, choice, error)) << c.text << ": " << error;
        EXPECT_EQ(c.channel, choice.channel) << c.text;
        EXPECT_EQ(c.type, choice.type) << c.text;
        EXPECT_EQ(c.path, choice.path) << c.text;
        EXPECT_EQ(c.second, choice.second) << c.text;
        EXPECT_EQ(c.address, ConnectAddress(choice)) << c.text;
    }
}

TEST(ChannelChoice, RefusesWhatCannotBeConnected) {
    const std::pair<const char*, const char*> cases[] = {
        {"file:/a.mp4", "--channel needs N=file:PATH"},
        {"0=file:/a.mp4", "--channel number must be 1 to 3"},
        {"4=file:/a.mp4", "--channel number must be 1 to 3"},
        {"1=tape:x", "--channel kind must be file, image, device, phone or desktop"},
        {"1=image:/s.jpg|", "nothing after \"|\""},
        {"1=file:", "no file given"},
        {"1=phone:pad.local", "\"pad.local\" is not an IPv4 address"},
        {"1=phone:127.0.0.300", "is not an IPv4 address"},
        {"1=desktop:", "is not an IPv4 address"},
    };
    for (const auto& [text, expected] : cases) {
        TChannelChoice choice;
        std::string error;
        EXPECT_FALSE(ParseChannelChoice(text, 3, choice, error)) << text;
        EXPECT_NE(std::string::npos, error.find(expected)) << text << ": " << error;
    }
}
