// The two operating modes of the main window and the only way between them.
// The steps of each transition are fixed here; what a step does is the
// host's business (the window's mode controllers), so the order can be
// checked without any window or device.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavrin {

enum TWorkMode : int { kModeNone = 0, kModeCapture = 1, kModeReplay = 2 };

class TModeHost {
public:
    virtual ~TModeHost() = default;
    // 1 capture (its manager exists), 2 replay (its worker exists), else 0.
    virtual int CurrentWorkMode() const = 0;
    // 0, or the negative result of the failed step (already reported).
    virtual int EnterCapture(int32_t nLession) = 0;
    virtual void LeaveCapture() = 0;
    virtual int EnterReplay(int32_t nLession) = 0;
    virtual void LeaveReplay() = 0;
    virtual void RememberConnections() = 0;
    virtual void RestoreConnections() = 0;
    virtual void StartDiscovery() = 0;
};

// 0 on success or the negative result of entering the mode.
int SwitchMode(TModeHost& host, int mode, int32_t nLession);

// One channel's connection, remembered when capture is left for replay.
struct CHLastState {
    std::string sIP; // address, file path or device name
    std::string Mp3Name;
    std::string AudioDeviceName;
    int32_t nChannel = 0;
    int32_t nDeviceType = 0;
    bool bConnectOK = false;
    // An MP4 channel's looping, which a fresh connection would not bring back.
    bool bCycle = false;
};

struct rLastState {
    std::vector<int32_t> CombineportsArr; // the programme's channels
    std::vector<CHLastState> CHLastStateArr;
};

// What ConnectThis gets to bring a remembered channel back: false when the
// channel had nothing to reconnect.
bool RestoreTarget(const CHLastState& s, std::string& text, int& nType);

} // namespace tavrin
