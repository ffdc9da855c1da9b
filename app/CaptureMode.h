// Capture mode's controller: it owns the capture session (live sender,
// lesson recorder, channel manager, discovery), which the command line's
// recorder drives too, and what the operator does in capture: the pane
// gestures (selection, cut and trial rectangles, the programme's drag, the
// double-click enlargement), the channel and layout menus, the record, PTZ
// and monitor toggles and the programme combinations. It sees the window
// only through IMainView. Destroying it leaves capture mode in the
// session's fixed order, and its toggles show off again.
#pragma once

#include "app/ClickHistory.h"
#include "app/ConnectionKeeper.h"
#include "app/MainView.h"
#include "app/ModeSwitch.h"
#include "base/Settings.h"
#include "base/ui/F_progress.h"
#include "sources/CaptureSession.h"
#include "sources/Director.h"

#include <QObject>
#include <QPoint>
#include <optional>
#include <string>
#include <vector>

class QMenu;

namespace tavrin {

// One pane gesture as the controller needs it.
struct TPaneInput {
    int tag = 0;   // 0 the programme, else the channel
    QPoint pos;    // in the pane
    QPoint global; // on the screen (for menus)
    int paneW = 1; // the pane's size
    int paneH = 1;
    bool bLeft = false; // the left button (the right one otherwise)
    bool bRight = false;
    bool bLeftHeld = false; // motion: the left button is down
    bool bCtrl = false;
};

class TCaptureMode : public QObject {
public:
    // What the window keeps across lessons: the phones' automatic focus by
    // channel (entry 0 unused), the PTZ mode and the channels' connections.
    struct TKept {
        std::vector<bool> bAutoAdjust;
        bool bPTZMode = false;
        TConnectionKeeper connections;
        // A discovery socket that cannot be opened is said once.
        bool bDiscoveryFailureShown = false;
    };
    TCaptureMode(IMainView& view, TKept& kept);
    ~TCaptureMode() override;
    TCaptureMode(const TCaptureMode&) = delete;
    TCaptureMode& operator=(const TCaptureMode&) = delete;

    // Enters capture for cfg.lesson: 0 or the session's negative result.
    // A new store whose zeros have to be written shows the progress window.
    int Open(TCaptureSessionConfig cfg);
    // The session's configuration for a lesson under the console's settings
    // (its panes are still to be added).
    static TCaptureSessionConfig ConfigFor(const INIAnotherSet& set, const TGetLessionInfo& paths,
                                           const TLessionInfo& lesson, int nChannels,
                                           TScreenLayout* layout);
    // The message for a failed Open: the store's three cases, whose texts
    // name the lesson's capture folder (dir); nothing for the others.
    static void ShowOpenFailure(int result, const std::string& dir);

    TCaptureSession& Session() { return session; }
    bool HasManager() const { return session.Running(); }
    // The director's verbs on this session's channels and scenes.
    TDirector Director() { return session.Director(); }

    // --- what the window shows -------------------------------------------
    // The selected pane (0 the programme).
    uint32_t CurrentPort() const { return nCurrentPort; }
    // 0 all panes, 1 one pane enlarged over the grid.
    uint32_t DispMode() const { return nDispMode; }
    const TClickHistory& ClickHistory() const { return ClickPorts; }
    bool PtzMode() const { return kept.bPTZMode; }
    bool PlayAudio() const { return bPlayAudio; }
    bool DraggingProgramme() const { return bDraggingProgramme; }
    bool Recording() const { return session.Recording(); }
    bool RecordingPrevented() const { return session.Prevented(); }

    // --- the operator's commands -----------------------------------------
    // Carries out a capture bar command (layouts, record, PTZ, monitor):
    // false when the action is none of them.
    bool Do(TMainAction action);
    // Probes the network for devices (unless the environment turned it off).
    void StartDiscovery();
    void ToggleRecording();
    void TogglePtz();
    void ToggleMonitor();
    // The recording limits were reached: recording goes off and stays off
    // for this lesson.
    void StopRecordingAtLimit();
    // Combines the n channels selected most recently (see TClickHistory).
    void CombineRecent(int n, bool fullScreen, bool swap);
    // Makes a scene of the activity plan current and combines as many
    // recent channels: its video count.
    int UseLayout(int ID);
    // The scenes of this many rectangles to choose from, or the recent
    // channels at once when the plan has none.
    void ShowLayoutMenu(int count);
    // The channel's whole picture, without cut.
    void FullPictureNoCut(int nChannel);

    // --- keys ---------------------------------------------------------------
    // A key down (and its repeats), as the capture key map says, on the
    // selected channel.
    void Key(int key, bool shift, bool repeat);
    // Any key up: the cut area stops; Ctrl makes the trial rectangles real.
    void KeyUp(int key);
    // With PTZ on: the selected channel's focus, up = away from the user.
    void Wheel(bool up);

    // --- pane gestures -----------------------------------------------------
    void PanePressed(const TPaneInput& in);
    void PaneMoved(const TPaneInput& in);
    void PaneReleased(const TPaneInput& in);
    void PaneDoubleClicked(const TPaneInput& in);

    // --- remembered connections ------------------------------------------
    // The channels as they are now, as the settings file keeps them.
    rLastState TakeConnections();
    // Remembers the channels as they are now, before capture is left.
    void RememberConnections();
    // Connects the remembered channels again and restores their programme.
    void RestoreConnections();
    // Each second: the settings file follows the channels.
    void KeepConnections();
    // After an unclean end, once capture is entered: asks whether the
    // channels of the last run are to be connected again.
    void OfferLastConnections();

private:
    // How punctual the programme was, in the trace.
    void TraceTicks(const char* what);
    void SelectPane(int i);
    void PaneClicked(int tag);
    // The channel menu of a channel: the table's channel items that apply to
    // its source, with every channel's own item after the first.
    void ShowChannelMenu(int nChannel, QPoint global);
    void AddSourceItems(QMenu& menu, int nChannel);
    bool ChannelItemApplies(TMainAction action, int nChannel, const TClientInfo& own);
    // A channel menu item's command on the channel.
    void DoOnChannel(TMainAction action, int nChannel);
    // Connects the channels of s again and restores its programme.
    void Reconnect(const rLastState& s);

    IMainView& view;
    TKept& kept;
    TStorePrepareProgress storeProgress;
    TCaptureSession session;

    uint32_t nCurrentPort = 1;
    uint32_t nDispMode = 0;
    TClickHistory ClickPorts;
    uint64_t nTicksTraced = 0; // the programme tick of the last tick trace
    bool bPlayAudio = false;
    bool bAfterDBDone = false;
    bool bCtrlAtPress = false;
    int xStart = 0;
    int yStart = 0;
    // The programme pane: where a left press may start a drag, and whether
    // one runs (its release is no click).
    std::optional<QPoint> programmeDragFrom;
    bool bDraggingProgramme = false;
    bool bProgrammeDragged = false;
};

} // namespace tavrin
