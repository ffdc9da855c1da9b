#include "sources/ui/SourceKinds.h"

#include <cctype>

namespace tavrin {

const std::vector<std::string>& KindItems() {
    static const std::vector<std::string> items{
        "未选择", "桌面直播、手机设备", "本机设备、USB设备", "MP4", "图片(1920x1080)+MP3",
    };
    return items;
}

int KindIndexForDeviceType(int nDeviceType) {
    switch (nDeviceType) {
    case kDeviceDesktop:
    case kDevicePhone:
    case kDevicePhoneAlt:
        return kKindNetwork;
    case kDeviceCamera:
        return kKindDevice;
    case kDeviceImage:
        return kKindImage;
    case kDeviceMp4:
        return kKindMp4;
    default:
        return kKindNone;
    }
}

int ConnectTypeForKind(int nKind) {
    switch (nKind) {
    case kKindNetwork:
        return kDeviceNone;
    case kKindDevice:
        return kDeviceCamera;
    case kKindMp4:
        return kDeviceMp4;
    case kKindImage:
        return kDeviceImage;
    default:
        return -1;
    }
}

std::string DeviceTypeName(int nDeviceType) {
    switch (nDeviceType) {
    case kDeviceNone:
        return "无";
    case kDeviceDesktop:
        return "桌面直播";
    case kDevicePhone:
    case kDevicePhoneAlt:
        return "手机终端";
    default:
        return {};
    }
}

std::string SourceLabelText(const TClientInfo& info) {
    switch (KindIndexForDeviceType(info.DeviceType)) {
    case kKindNetwork:
        return "IP地址：" + info.IP + "\r\n" + "设备类型：" + DeviceTypeName(info.DeviceType);
    case kKindDevice:
        return "视频设备：" + info.IP + "\r\n" + "音频设备：" + info.AudioDeviceName;
    case kKindMp4:
        return "MP4：" + info.IP;
    case kKindImage:
        return "图片：" + info.IP + "\r\n" + "MP3：" + info.Mp3Name;
    default:
        return {};
    }
}

bool IsRtmpAddress(const std::string& text) {
    static const char scheme[] = "RTMP://";
    if (text.size() < 7) {
        return false;
    }
    for (size_t i = 0; i < 7; ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) != scheme[i]) {
            return false;
        }
    }
    return true;
}

std::string PushAddress(const std::string& text) {
    return IsRtmpAddress(text) ? "rtmp://" + text.substr(7) : text;
}

} // namespace tavrin
