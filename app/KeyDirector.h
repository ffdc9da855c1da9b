// The console's keyboard and mouse wheel: directing a live lesson (capture
// mode) and moving through a recording (replay mode) without the mouse.
// It watches the input of every widget of the main window, as if the window
// saw each key first, and hands the keys to the mode controllers, which
// carry them out.
#pragma once

#include <QObject>
#include <QtGlobal>

class QKeyEvent;
class QWheelEvent;

namespace tavrin {

class TCaptureMode;
class TReplayMode;

// What the keyboard acts on.
class IKeyHost {
public:
    virtual ~IKeyHost() = default;
    // The window whose widgets' keys count (while it is enabled).
    virtual QWidget* KeyWindow() = 0;
    // The mode's controller, null outside that mode.
    virtual TCaptureMode* CaptureNow() = 0;
    virtual TReplayMode* ReplayNow() = 0;
    // The replay bar's audio offset box: keys there act on key down.
    virtual QObject* OffsetBox() = 0;
};

class TKeyDirector : public QObject {
    Q_OBJECT
public:
    explicit TKeyDirector(IKeyHost& host);
    ~TKeyDirector() override;

    // Capture mode, key down (and its repeats).
    void DoRealKey(int key, bool shift, bool repeat);
    // Capture mode, any key up: the cut area stops; Ctrl makes the trial
    // rectangles real.
    void RealKeyUp(int key);
    // Replay mode: key up on the window, key down in the audio offset box.
    void DoReplayKey(int key);
    // Capture mode with PTZ on: the selected channel's focus, up = away
    // from the user.
    void Wheel(bool up);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool OnKey(QObject* watched, QKeyEvent* e);
    // One input event reaches the filter once for every widget it is
    // offered to on its way up; only its first arrival counts.
    bool Seen(int type, int key, quint64 timestamp);

    IKeyHost& win;
    int lastType = 0;
    int lastKey = 0;
    quint64 lastTimestamp = 0;
};

} // namespace tavrin
