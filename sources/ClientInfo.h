// The connection record of one channel slot.
#pragma once

#include <cstdint>
#include <string>

namespace tavrin {

// Source kinds of a slot.
enum : uint8_t {
    kDeviceNone = 0,
    kDeviceDesktop = 1,
    kDevicePhone = 2,
    kDevicePhoneAccepted = 3,
    kDeviceLocalCamera = 4,
    kDeviceImage = 5,
    kDeviceMp4 = 6,
};

// Types 4 to 8 are local sources (only 4, 5 and 6 have producers).
inline bool IsLocalDevice(int nType) {
    return nType >= 4 && nType <= 8;
}

struct TClientInfo {
    bool bConnectOK = false;
    bool bInOpen = false;
    std::string ID;
    int32_t nFocusValue = 0;
    uint8_t DeviceType = kDeviceNone;
    int32_t VideoBitrate = 0;
    uint8_t VideoType = 0;
    uint8_t FPS = 0;
    uint16_t VideoWidth = 0;
    uint16_t VideoHeight = 0;
    uint8_t AudioType = 0;
    int32_t MaxFoucsScale = 0;
    uint8_t WideAngle = 0;
    int16_t nCharge = -1;
    int32_t nChannel = 0;
    int32_t nDispPort = 0;
    std::string IP; // address, file path or video device name
    std::string Mp3Name;
    std::string AudioDeviceName;
    bool bDontReconnect = false;
    int32_t nErrorCode = 0;
    int32_t nErrorDispTimes = 0;
};

} // namespace tavrin
