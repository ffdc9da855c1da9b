#include "app/SavedConnections.h"

#include "base/IniFile.h"

#include <sstream>

namespace tavrin {

namespace {

constexpr char kSection[] = "LastConnections";
constexpr char kRunSection[] = "LastRun";
constexpr char kRunKey[] = "Capturing";

std::string Key(int nChannel, const char* what) {
    return "CH" + std::to_string(nChannel) + what;
}

std::string JoinPorts(const std::vector<int32_t>& ports) {
    std::string out;
    for (const int32_t p : ports) {
        if (!out.empty()) {
            out += ",";
        }
        out += std::to_string(p);
    }
    return out;
}

std::vector<int32_t> SplitPorts(const std::string& text) {
    std::vector<int32_t> out;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        int32_t v = 0;
        if (ParseInt32(item, v)) {
            out.push_back(v);
        }
    }
    return out;
}

CHLastState ReadChannel(const TIniFile& ini, int nChannel) {
    CHLastState s;
    s.nDeviceType = ini.ReadInteger(kSection, Key(nChannel, "Type"), 0);
    s.sIP = ini.ReadString(kSection, Key(nChannel, "IP"), "");
    s.Mp3Name = ini.ReadString(kSection, Key(nChannel, "Mp3"), "");
    s.AudioDeviceName = ini.ReadString(kSection, Key(nChannel, "Audio"), "");
    s.bCycle = ini.ReadInteger(kSection, Key(nChannel, "Cycle"), 0) != 0;
    s.nChannel = s.nDeviceType != 0 || !s.sIP.empty() ? nChannel : 0;
    return s;
}

bool WriteChannel(TIniFile& ini, int nChannel, const CHLastState& s) {
    return ini.WriteInteger(kSection, Key(nChannel, "Type"), s.nDeviceType) &&
           ini.WriteString(kSection, Key(nChannel, "IP"), s.sIP) &&
           ini.WriteString(kSection, Key(nChannel, "Mp3"), s.Mp3Name) &&
           ini.WriteString(kSection, Key(nChannel, "Audio"), s.AudioDeviceName) &&
           ini.WriteInteger(kSection, Key(nChannel, "Cycle"), s.bCycle ? 1 : 0);
}

// Only what a new connection needs: the live state (connected or not) is not
// worth a rewrite of the file.
bool SameSource(const CHLastState& a, const CHLastState& b) {
    return a.sIP == b.sIP && a.Mp3Name == b.Mp3Name && a.AudioDeviceName == b.AudioDeviceName &&
           a.nDeviceType == b.nDeviceType && a.bCycle == b.bCycle;
}

} // namespace

bool operator==(const CHLastState& a, const CHLastState& b) {
    return SameSource(a, b) && a.nChannel == b.nChannel && a.bConnectOK == b.bConnectOK;
}

bool SaveConnections(const std::string& iniPath, const rLastState& s) {
    TIniFile ini(iniPath);
    bool ok = true;
    for (size_t i = 0; i < s.CHLastStateArr.size(); ++i) {
        const int nChannel = int(i) + 1;
        if (!SameSource(ReadChannel(ini, nChannel), s.CHLastStateArr[i])) {
            ok = WriteChannel(ini, nChannel, s.CHLastStateArr[i]) && ok;
        }
    }
    const std::string ports = JoinPorts(s.CombineportsArr);
    if (ini.ReadString(kSection, "Combine", "") != ports) {
        ok = ini.WriteString(kSection, "Combine", ports) && ok;
    }
    return ok;
}

rLastState LoadConnections(const std::string& iniPath, int nChannels) {
    const TIniFile ini(iniPath);
    rLastState s;
    for (int c = 1; c <= nChannels; ++c) {
        s.CHLastStateArr.push_back(ReadChannel(ini, c));
    }
    for (const int32_t p : SplitPorts(ini.ReadString(kSection, "Combine", ""))) {
        // A programme channel beyond today's channel count cannot come back.
        if (p >= 1 && p <= nChannels) {
            s.CombineportsArr.push_back(p);
        }
    }
    return s;
}

bool HasConnections(const rLastState& s) {
    std::string text;
    int type = 0;
    for (const CHLastState& c : s.CHLastStateArr) {
        if (c.nChannel >= 1 && c.nDeviceType != 0 && RestoreTarget(c, text, type)) {
            return true;
        }
    }
    return false;
}

bool MarkCaptureRunning(const std::string& iniPath, bool running) {
    return TIniFile(iniPath).WriteInteger(kRunSection, kRunKey, running ? 1 : 0);
}

bool CaptureEndedUncleanly(const std::string& iniPath) {
    return TIniFile(iniPath).ReadInteger(kRunSection, kRunKey, 0) != 0;
}

} // namespace tavrin
