// Records of the education platform: the common information given at
// sign-in and one lesson of the operator's schedule. Text is UTF-8.
#pragma once

#include "base/LessionInfo.h"
#include "platform/DateTime.h"

#include <cstdint>
#include <string>

namespace tavrin {

struct TCommInfo {
    std::string URL;      // download address of the newest console installer
    std::string version;  // newest console version, dotted decimal
    std::string serverIp; // media server address
    int32_t serverPort = 0;
    std::string voName;   // operator's display name
    std::string areaName; // operator's area or organisation
};

struct Tvo_FromServer {
    TDateTime LessionTime; // start of the lesson
    TDateTime CreateTime;
    int32_t LessionNO = 0; // period of the day
    int32_t continueMinutes = 0;
    TLessionInfo LI;
    int32_t allowLive = 0;   // 1: may be pushed live
    int32_t allowUpload = 0; // 1: its MP4 may be uploaded
    std::string liveToken;   // the lesson's token for the media server
};

} // namespace tavrin
