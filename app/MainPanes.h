// The preview panes of the main window: the programme pane and a pane per
// channel in capture mode (laid out on the grid, one enlarged over it, the
// session's ports following their sizes), and the replay picture pane. The
// panes' mouse gestures go to capture mode's controller; a pane whose
// contents the window system lost is handed on to be drawn again.
#pragma once

#include "app/PaneGeometry.h"
#include "decode/Display.h"

#include <QObject>
#include <functional>
#include <vector>

class QWidget;

namespace tavrin {

class TCaptureMode;
class TCaptureSession;
class TDispPanel;
struct TCapturePane;

class TMainPanes : public QObject {
    Q_OBJECT
public:
    // captureNow: capture mode's controller, null outside capture mode;
    // exposed: a pane's window lost its contents.
    TMainPanes(QWidget& window, std::function<TCaptureMode*()> captureNow,
               std::function<void(TNativeWindow)> exposed);
    ~TMainPanes() override;

    // Capture mode's panes for nChannels channels, laid out and shown; Free
    // takes them away.
    void Create(int nChannels);
    void Free();
    // Pane i (0 the programme) with the size it has on the grid.
    TCapturePane CapturePane(int i) const;
    // The grid for the window's size; the selected port alone when dispMode
    // is 1. With a session, its ports follow and only the shown panes show.
    void LayoutCapture(uint32_t port, uint32_t dispMode, TCaptureSession* session);
    // Pane i alone over the grid's region, or every pane in its place again.
    void ShowOne(int i, TCaptureSession& session);
    void ShowAll(int i, TCaptureSession& session);
    // Pane i is dragged as its number until it is dropped.
    void Drag(int i);
    // One pixel around pane i, empty when there is no such pane.
    TPaneRect FrameRect(int i) const;
    const TGridLayout& Grid() const { return grid; }

    // The replay picture pane: shown or hidden, and laid out for the
    // window's size (its rectangle is given back).
    void ShowReplayPane(bool show);
    TPaneRect LayoutReplay();
    TNativeWindow ReplayWindow();

private:
    TDispPanel* Pane(int i) const;
    void PortsFollowPanes(TCaptureSession& session);
    void Connect(TDispPanel* pane);

    QWidget& window;
    std::function<TCaptureMode*()> captureNow;
    std::function<void(TNativeWindow)> exposed;
    std::vector<TDispPanel*> panes;
    TDispPanel* replayPane = nullptr;
    TGridLayout grid;
};

} // namespace tavrin
