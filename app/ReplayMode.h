// Replay mode's controller: it owns the replay worker with its ruler (made on
// entering replay, terminated, waited for and freed when the controller
// goes) and what the operator does in replay: the ruler gestures, the pause,
// sound and delete-mark toggles, the audio offset, the replay keys, saving
// and clearing the cut marks, and the start of MP4 production. Its toggles
// start off with it and show off again when it goes.
#pragma once

#include "app/MainView.h"
#include "app/PaneGeometry.h"
#include "base/GetLessionInfo.h"
#include "decode/Display.h"
#include "replay/ReplayClientThread.h"

#include <QPoint>
#include <functional>
#include <memory>

namespace tavrin {

class TReplayMode {
public:
    TReplayMode(const TGetLessionInfo& paths, IMainView& view);
    ~TReplayMode();
    TReplayMode(const TReplayMode&) = delete;
    TReplayMode& operator=(const TReplayMode&) = delete;

    // Opens the lesson on the pane and lays the ruler out: 0, or the
    // worker's negative result (its message already shown). The worker hands
    // its ruler redraws to gui's thread; onRulerDrawn runs there after each.
    int Open(int32_t nLession, TNativeWindow pane, const TPaneRect& paneRect,
             const TPaneRect& rulerRect, QObject* gui, std::function<void()> onRulerDrawn);
    void Start(int nAudioDelayFrames);

    TReplayClientThread& Worker() { return *worker; }

    // Carries out a replay bar command (pause, sound, delete marks, save,
    // clear): false when the action is none of them.
    bool Do(TMainAction action);
    void TogglePause();
    void ToggleSound();
    void ToggleDeleteMode();
    void SaveCuts();
    // Asks before the cut marks go (nothing when there are none).
    void ClearMarks();
    void SetAudioOffset(int nAudioDelayFrames);
    // Pauses replay and hands the worker to produce with the audio offset.
    void ProduceMp4(const std::function<void(TReplayClientThread&, int)>& produce,
                    int nAudioOffset);
    // The left button on the window around the pane: in delete-mark mode a
    // press and release mark the blocks between them, otherwise a release
    // on the ruler moves replay there (and a paused replay plays on).
    void Pressed(QPoint p);
    void Released(QPoint p);
    // A replay key: false when it is none.
    bool Key(int key);

    bool Paused() const { return bPause; }
    bool SoundOff() const { return bSoundOff; }
    bool DeleteMode() const { return bDeleteMode; }
    // Draws the pane's last picture again (after it was uncovered).
    void RedrawPane(TNativeWindow window);
    void Resize(const TPaneRect& paneRect, const TPaneRect& rulerRect);

private:
    void ShowToggles();

    IMainView& view;
    std::unique_ptr<TReplayClientThread> worker;
    bool bStarted = false;
    bool bPause = false;
    bool bSoundOff = false;
    bool bDeleteMode = false;
    QPoint delStart;
};

} // namespace tavrin
