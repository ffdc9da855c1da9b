#include "app/ModeSwitch.h"

namespace tavrin {

int SwitchMode(TModeHost& host, int mode, int32_t nLession) {
    const int m = host.CurrentWorkMode();
    if (mode == kModeCapture) {
        if (m == kModeReplay) {
            host.LeaveReplay();
        } else if (m == kModeCapture) {
            // No new snapshot: what was remembered when capture was last left
            // for replay comes back.
            host.LeaveCapture();
        }
        const int r = host.EnterCapture(nLession);
        if (r != 0) {
            return r;
        }
        if (m == kModeNone) {
            host.StartDiscovery();
        } else {
            host.RestoreConnections();
        }
        return 0;
    }
    if (mode == kModeReplay) {
        if (m == kModeReplay) {
            host.LeaveReplay();
        } else if (m == kModeCapture) {
            host.RememberConnections();
            host.LeaveCapture();
        }
        return host.EnterReplay(nLession);
    }
    return -1;
}

bool RestoreTarget(const CHLastState& s, std::string& text, int& nType) {
    nType = s.nDeviceType;
    if (s.nDeviceType == 4) {
        text = s.sIP + "|" + s.AudioDeviceName;
        return true;
    }
    if (s.sIP.empty()) {
        return false;
    }
    text = s.sIP;
    if (s.nDeviceType == 5 && !s.Mp3Name.empty()) {
        text += "|" + s.Mp3Name;
    }
    return true;
}

} // namespace tavrin
