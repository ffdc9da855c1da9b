// The connection record of one channel slot: what the source reported about
// itself and how its connection stands. The main window reads it to draw the
// channel's status; the protocol parser fills it from the device's reports.
#pragma once

#include <cstdint>
#include <string>

namespace tavrin {

// Source kinds of a slot. 1-3 are network sources (3 is accepted from a
// device and stored as 2), 4-6 local ones.
enum : uint8_t {
    kDeviceNone = 0,
    kDeviceDesktop = 1,
    kDevicePhone = 2,
    kDevicePhoneAlt = 3,
    kDeviceCamera = 4,
    kDeviceImage = 5,
    kDeviceMp4 = 6,
};

// Connection notice codes kept in nErrorCode.
constexpr int32_t kConnectMade = -1000;
constexpr int32_t kConnectLost = -1001;
// The first channel carries the lesson's sound, so a slide source there is cut off.
constexpr int32_t kSlidesOnSoundChannel = -3;
// Ticks of the one-second timer that show the lost-connection notice.
constexpr int32_t kLostNoticeTicks = 15;

struct TClientInfo {
    bool bConnectOK = false;
    bool bInOpen = false;
    // The source answered the request on the present connection: until
    // then the fields below describe nothing (a reconnect starts empty).
    bool bDescribed = false;
    std::string ID;
    int32_t nFocusValue = 0;
    uint8_t DeviceType = kDeviceNone;
    int32_t VideoBitrate = 0; // bit/s
    uint8_t VideoType = 0;
    uint8_t FPS = 0;
    uint16_t VideoWidth = 0;
    uint16_t VideoHeight = 0;
    uint8_t AudioType = 0; // 0: the source sends no sound
    int32_t MaxFoucsScale = 0;
    uint8_t WideAngle = 0;
    int16_t nCharge = -1; // battery percent, -1 unknown
    int32_t nChannel = 0;
    int32_t nDispPort = 0;
    std::string IP;
    std::string Mp3Name;
    std::string AudioDeviceName;
    bool bDontReconnect = false;
    int32_t nErrorCode = 0;
    int32_t nErrorDispTimes = 0;
};

// A network slot shows as connected once its source described itself on
// the present connection, not when the socket alone is up.
inline bool ShowsConnected(const TClientInfo& ci) {
    return ci.bConnectOK && ci.bDescribed;
}

// Network sources are the desktop and phone apps.
inline bool IsNetworkDevice(uint8_t nType) {
    return nType >= kDeviceDesktop && nType <= kDevicePhoneAlt;
}

// Types 4 to 8 are local sources (only 4, 5 and 6 have producers).
inline bool IsLocalDevice(int nType) {
    return nType >= 4 && nType <= 8;
}

} // namespace tavrin
