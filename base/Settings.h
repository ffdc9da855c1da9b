// The settings file vo.ini next to the program, its defaults and repairs,
// the storage root rules, and the process-wide counts read by every channel.
#pragma once

#include "base/StorageDrive.h"

#include <cstdint>
#include <string>

namespace tavrin {

// The settings record, handed to the settings dialog and the mode start-up.
struct INIAnotherSet {
    uint32_t clientCount = 5;  // 3 or 5 channel slots
    uint32_t windowWidth = 0;  // client width as read at start
    std::string storepath;     // storage root of the lesson store
    uint32_t videobitrate = 0; // in units of 1024 bit/s, 800 ... 22528
    int32_t nAudioDelay = 11;  // in audio frames, 0 or more
    int32_t nYUVWidth = 1280;
    int32_t nYUVHeight = 720;
    int32_t nDecoderThreadCount = 3; // 3 ... 6
};

// What LoadSettings fills in for the main window.
struct TMainSettings {
    std::string rootPath;
    int32_t userID = 0;
    uint32_t cWidth = 0;
    uint32_t cHeight = 0;
    INIAnotherSet another;
};

inline constexpr char kCDriveNotice[] =
    "由于预设的录像存路径所在盘符不存在，或本机不存在\"D\"盘，或\"D\"盘不是硬盘，因此暂时将录像"
    "存储路径放在 \"C\" 盘，请留意!\n\r但 \"C\" 盘为系统盘，不建议使用，建议使用其他盘符。\n\r"
    "之后，可以在设置中更改录像存储路径";

// Reads vo.ini at iniPath: writes every missing default back to the file,
// repairs out-of-range values in memory only, settles the storage root (the
// C-drive notice goes through ShowMessage) and sets the process-wide counts.
void LoadSettings(const std::string& iniPath, uint32_t screenWidth, uint32_t screenHeight,
                  const TDriveClassifier& drives, TMainSettings& settings);

// Writes the values the settings dialog edits, in the file's usual order.
bool SaveSettings(const std::string& iniPath, const INIAnotherSet& set);
bool SaveWindowSize(const std::string& iniPath, uint32_t width, uint32_t height);
bool SaveUser(const std::string& iniPath, int32_t userID);

// Process-wide counts: channel slots (3 or 5) and video decoder threads (3 ... 6).
int ClientCount();
int DecoderThreadCount();
void SetProcessCounts(int clientCount, int decoderThreadCount);

} // namespace tavrin
