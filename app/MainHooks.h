// What the main window asks of the windows and services around it. The
// process entry fills these with the real dialogs; tests put in their own
// answers, so the window is driven without a platform or a person.
#pragma once

#include "base/Settings.h"
#include "platform/PlatformTypes.h"

#include <cstdint>
#include <functional>
#include <string>

namespace tavrin {

class TDriveClassifier;
class TReplayClientThread;

struct TMainHooks {
    // vo.ini; empty: next to the program.
    std::string iniPath;
    // The storage drives; null: the system's.
    const TDriveClassifier* drives = nullptr;
    // Starts SDL; empty: SDL's timer and video parts.
    std::function<bool()> InitSdl;
    // The sign-in dialog: the account pre-filled; true and the account that
    // signed in, false when refused or cancelled.
    std::function<bool(int32_t& userID)> SignIn;
    // The lesson chooser for the open lesson (-1 none): 0 nothing chosen,
    // 1 record, 2 replay, with the chosen lesson.
    std::function<int(int32_t nCurrentLession, Tvo_FromServer& chosen)> ChooseLession;
    // The activity-plan dialog and editor.
    std::function<void()> ActivityPlan;
    // "Produce an MP4" for the lesson on replay, with the audio offset the
    // replay bar shows.
    std::function<void(TReplayClientThread& worker, const Tvo_FromServer& lesson, int nAudioOffset)>
        ProduceMp4;
};

} // namespace tavrin
