// What the channel dialog lists and shows: the source kinds of its kind list,
// which kind a slot's device type belongs to, and the text that describes a
// slot's current source.
#pragma once

#include "sources/ClientInfo.h"

#include <string>
#include <vector>

namespace tavrin {

// Entries of the kind list, in list order.
enum TSourceKind : int {
    kKindNone = 0,
    kKindNetwork = 1, // desktop streaming or phone app, by address
    kKindDevice = 2,  // camera and microphone of this PC
    kKindMp4 = 3,
    kKindImage = 4, // JPEG with optional MP3
};

// The five item texts of the kind list.
const std::vector<std::string>& KindItems();

// The list entry of a device type: 1..3 network, 4 device, 5 image, 6 MP4,
// anything else none.
int KindIndexForDeviceType(int nDeviceType);

// The device type a connection of the kind is made with, -1 for none. A
// network source starts as 0: the device reports its own type once connected.
int ConnectTypeForKind(int nKind);

// "无", "桌面直播" or "手机终端" for the network types, empty otherwise.
std::string DeviceTypeName(int nDeviceType);

// The description of a slot's source; lines are separated by "\r\n".
std::string SourceLabelText(const TClientInfo& info);

// True when the text can be pushed to: it begins with "rtmp://" in any case.
bool IsRtmpAddress(const std::string& text);

// The address with its scheme in lower case: FFmpeg looks protocols up by
// their exact name, so "RtMp://" would never connect.
std::string PushAddress(const std::string& text);

} // namespace tavrin
