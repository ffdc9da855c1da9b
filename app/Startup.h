// What the main window does while it is created, before it is shown: SDL,
// the scene runtime, the editor's default place, the settings with the
// storage rules, the drive and free-space checks, the sign-in, the global
// clock and the lesson folders, in that order. Every outside dependency
// (SDL, the drives, the sign-in dialog) comes in through TStartupEnv so each
// failure can be played without a display, a disk or a platform.
#pragma once

#include "app/PaneGeometry.h"
#include "base/GetLessionInfo.h"
#include "base/GloTimer.h"
#include "base/Settings.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace tavrin {

class TScreenLayout;

inline constexpr char kSdlFailedMessage[] = "初始化显卡显示失败，系统将退出";
// Below this many MiB free on the storage drive the operator is warned.
inline constexpr uint32_t kLowSpaceMiB = 6144;
// The layout editor's window, centred on the screen by default.
inline constexpr int kLayoutWindowW = 1278;
inline constexpr int kLayoutWindowH = 581;

std::string DriveMessage(const std::string& rootPath);
std::string LowSpaceMessage(const std::string& rootPath);

struct TStartupEnv {
    std::string iniPath;
    uint32_t screenWidth = 1920;
    uint32_t screenHeight = 1080;
    const TDriveClassifier* drives = nullptr;
    // Starts SDL's timer and video parts; false when it cannot.
    std::function<bool()> InitSdl;
    // Shows the sign-in dialog with the account pre-filled; true and the
    // account that signed in, or false when refused or cancelled.
    std::function<bool(int32_t& userID)> SignIn;
};

// What the start-up leaves for the window; the clock and the lesson folders
// exist only after a successful sign-in.
struct TStartupState {
    TMainSettings settings;
    TPaneRect LayoutWindowPos;
    std::unique_ptr<TScreenLayout> layout;
    std::unique_ptr<TGloTimer> clock;
    std::unique_ptr<TGetLessionInfo> paths;
};

// Runs the start-up; false when the process ends (EndProcess was called).
bool RunStartup(const TStartupEnv& env, TStartupState& st);

} // namespace tavrin
