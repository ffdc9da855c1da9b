// Capture mode's controller: it owns the capture session (live sender,
// lesson recorder, channel manager, discovery), which the command line's
// recorder drives too, and says in the window's words why a lesson's store
// cannot be opened. Destroying it leaves capture mode in the session's
// fixed order.
#pragma once

#include "base/ui/F_progress.h"
#include "sources/CManager.h"
#include "sources/CaptureSession.h"
#include "sources/Director.h"

#include <string>

namespace tavrin {

class TCaptureMode {
public:
    TCaptureMode() = default;
    TCaptureMode(const TCaptureMode&) = delete;
    TCaptureMode& operator=(const TCaptureMode&) = delete;

    // Enters capture for cfg.lesson: 0 or the session's negative result.
    // A new store whose zeros have to be written shows the progress window.
    int Open(TCaptureSessionConfig cfg) {
        if (!cfg.prepareProgress) {
            cfg.prepareProgress = storeProgress.Callback();
        }
        return session.Start(cfg);
    }
    // The message for a failed Open: the store's three cases, whose texts
    // name the lesson's capture folder (dir); nothing for the others.
    static void ShowOpenFailure(int result, const std::string& dir);

    TCaptureSession& Session() { return session; }
    bool HasManager() const { return session.Running(); }
    TCManager& Manager() { return *session.Manager(); }
    // The director's verbs on this session's channels and scenes.
    TDirector Director() { return TDirector(*session.Manager(), session.Layout()); }

private:
    TStorePrepareProgress storeProgress;
    TCaptureSession session;
};

} // namespace tavrin
