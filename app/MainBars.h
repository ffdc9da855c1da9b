// The two bars along the main window's bottom edge: the capture bar and the
// replay bar with its audio offset box, built from the window's actions. A
// button's click triggers its action; a toggle's button looks as its action
// is checked. Only the bar of the current mode shows.
#pragma once

#include "app/MainActions.h"

#include <QComboBox>
#include <QObject>

class QWidget;

namespace tavrin {

class TActionSet;
class TImageButton;

class TMainBars : public QObject {
    Q_OBJECT
public:
    // The bars are children of window, their buttons show the actions'.
    TMainBars(QWidget& window, const TActionSet& actions);

    // The bar of a mode shows, the other one hides (none: both hide).
    void ShowCaptureBar();
    void ShowReplayBar();
    void HideBars();
    // Both bars along the bottom edge of a client area of that size.
    void Layout(int width, int height);

    // The bar button being clicked opens a modal window or menu: its release
    // does not draw the hover picture.
    void ClickOpensModal();

    // The audio offset box: its entry for a stored audio delay, the offset
    // chosen, and its widget (keys there act on key down).
    void ShowAudioDelay(int nAudioDelay);
    int AudioOffset() const;
    QComboBox* OffsetBox() const { return offsetBox; }

signals:
    // An entry of the audio offset box was chosen.
    void AudioOffsetChosen(int offset);

private:
    QWidget* Build(QWidget& window, const TActionSet& actions, TBar bar);

    QWidget* captureBar = nullptr;
    QWidget* replayBar = nullptr;
    QComboBox* offsetBox = nullptr;
    TImageButton* clickingButton = nullptr; // the bar button whose click runs
    int nClickTag = -1;                     // the tag of a click that opened a modal window
};

} // namespace tavrin
