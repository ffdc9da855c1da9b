#include "base/Settings.h"

#include "base/IniFile.h"
#include "base/Message.h"
#include "base/ProgramDir.h"
#include "base/Trace.h"

#include <atomic>

namespace tavrin {

namespace {

std::atomic<int> gClientCount{5};
std::atomic<int> gDecoderThreadCount{3};

// Sentinels that tell "missing" from a stored value where 0 is meaningful.
constexpr int32_t kMissingDelay = -999;
constexpr int32_t kMissingResolution = -1;

void WriteDefault(TIniFile& ini, const char* section, const char* key, const std::string& value) {
    if (!ini.WriteString(section, key, value)) {
        Trace("vo.ini cannot be written: " + ini.Path());
    }
}

// Storage root rules: a missing root, or one not on a fixed drive, becomes
// the default root; when the default lies on the system drive (or is not on
// a fixed drive either) the operator is told so.
std::string SettleStoreRoot(TIniFile& ini, const TDriveClassifier& drives) {
    const std::string stored = ini.ReadString("StorePath", "RootPath", "");
    if (stored.empty() || !drives.IsFixed(stored)) {
        const std::string root = DefaultStoreRoot();
        const bool ownDataDrive = drives.IsFixed(root) && !drives.SameDrive(root, "/");
        if (!ownDataDrive) {
            ShowMessage(kCDriveNotice, TMsgIcon::Information, TMsgButtons::Ok);
        }
        WriteDefault(ini, "StorePath", "RootPath", root);
        // A root that cannot be saved is still used for this run.
        return ini.ReadString("StorePath", "RootPath", root);
    }
    return ini.ReadString("StorePath", "RootPath", "");
}

// Reads an integer; when it equals missing, writes and returns def.
int32_t ReadOrDefault(TIniFile& ini, const char* section, const char* key, int32_t missing,
                      int32_t def) {
    const int32_t value = ini.ReadInteger(section, key, missing);
    if (value != missing) {
        return value;
    }
    WriteDefault(ini, section, key, std::to_string(def));
    return def;
}

// Clamps an unsigned value: below low becomes low, above high becomes high.
uint32_t ClampUnsigned(uint32_t value, uint32_t low, uint32_t high) {
    if (value < low) {
        value = low;
    }
    if (value > high) {
        value = high;
    }
    return value;
}

} // namespace

void LoadSettings(const std::string& iniPath, uint32_t screenWidth, uint32_t screenHeight,
                  const TDriveClassifier& drives, TMainSettings& settings) {
    TIniFile ini(iniPath, SettingsFallback(iniPath));
    INIAnotherSet& set = settings.another;

    settings.rootPath = SettleStoreRoot(ini, drives);
    set.storepath = settings.rootPath;

    settings.userID = ini.ReadInteger("User", "UserName", 0);
    if (settings.userID == 0) {
        WriteDefault(ini, "User", "UserName", "");
    }

    const int32_t count = ReadOrDefault(ini, "ClientCount", "Count", 0, 5);
    set.clientCount = (count == 3 || count == 5) ? uint32_t(count) : 3;

    // Stored sizes compare unsigned: -1 is huge and ends up as the screen size.
    settings.cWidth = ClampUnsigned(uint32_t(ReadOrDefault(ini, "WindowSize", "width", 0, 1150)),
                                    1150, screenWidth);
    settings.cHeight = ClampUnsigned(uint32_t(ReadOrDefault(ini, "WindowSize", "height", 0, 815)),
                                     815, screenHeight);
    set.windowWidth = settings.cWidth;

    set.nAudioDelay = ReadOrDefault(ini, "AudioDelay", "Delay", kMissingDelay, 11);
    if (set.nAudioDelay < 0) {
        set.nAudioDelay = 11;
    }

    set.videobitrate = ClampUnsigned(
        uint32_t(ReadOrDefault(ini, "VideoBitRate", "BitRate", 0, 22528)), 800, 22528);

    int32_t threads = ReadOrDefault(ini, "DecodeThread", "ThreadCount", 0, 3);
    if (threads < 3) {
        threads = 3;
    }
    if (threads > 6) {
        threads = 6;
    }
    set.nDecoderThreadCount = threads;

    const int32_t resolution =
        ReadOrDefault(ini, "CompressResolution", "Resolution", kMissingResolution, 0);
    set.nYUVWidth = resolution == 0 ? 1280 : 1920;
    set.nYUVHeight = resolution == 0 ? 720 : 1080;

    SetProcessCounts(int(set.clientCount), set.nDecoderThreadCount);
}

bool SaveSettings(const std::string& iniPath, const INIAnotherSet& set) {
    TIniFile ini(iniPath);
    bool ok = ini.WriteString("StorePath", "RootPath", set.storepath);
    ok = ini.WriteInteger("ClientCount", "Count", set.clientCount) && ok;
    ok = ini.WriteInteger("WindowSize", "width", set.windowWidth) && ok;
    ok = ini.WriteInteger("VideoBitRate", "BitRate", set.videobitrate) && ok;
    ok = ini.WriteInteger("AudioDelay", "Delay", set.nAudioDelay) && ok;
    ok = ini.WriteInteger("CompressResolution", "Resolution", set.nYUVWidth == 1280 ? 0 : 1) && ok;
    ok = ini.WriteInteger("DecodeThread", "ThreadCount", set.nDecoderThreadCount) && ok;
    return ok;
}

bool SaveWindowSize(const std::string& iniPath, uint32_t width, uint32_t height) {
    TIniFile ini(iniPath);
    const bool ok = ini.WriteInteger("WindowSize", "width", width);
    return ini.WriteInteger("WindowSize", "height", height) && ok;
}

bool SaveUser(const std::string& iniPath, int32_t userID) {
    return TIniFile(iniPath).WriteInteger("User", "UserName", userID);
}

int ClientCount() {
    return gClientCount.load(std::memory_order_acquire);
}

int DecoderThreadCount() {
    return gDecoderThreadCount.load(std::memory_order_acquire);
}

void SetProcessCounts(int clientCount, int decoderThreadCount) {
    gClientCount.store(clientCount, std::memory_order_release);
    gDecoderThreadCount.store(decoderThreadCount, std::memory_order_release);
}

} // namespace tavrin
