// What a mode controller may ask of the window around it, and nothing more:
// a toggle's look, repaints, the panes' arrangement, a menu to fill, the
// windows a channel command opens and the error-mark notice.
#pragma once

#include "app/MainActions.h"

class QMenu;

namespace tavrin {

class IMainView {
public:
    virtual ~IMainView() = default;
    // The toggle of an action shows on or off.
    virtual void ShowToggle(TMainAction action, bool on) = 0;
    // The ruler under the replay pane is drawn again.
    virtual void RepaintRuler() = 0;
    // The bar button being clicked opens a modal window or a menu.
    virtual void ClickOpensModal() = 0;

    // The selection frame around pane i is drawn again.
    virtual void RepaintPaneFrame(int i) = 0;
    // Pane i alone over the grid's region, or every pane in its place again.
    virtual void ShowOnePane(int i) = 0;
    virtual void ShowAllPanes(int i) = 0;
    // Pane i is dragged (as its number) until it is dropped.
    virtual void DragPane(int i) = 0;
    // A new menu of the window, replacing one still open; it goes when it
    // closes.
    virtual QMenu& NewMenu(const char* name) = 0;
    // An open channel window follows the selected channel.
    virtual void FollowChannelWindow(int nChannel) = 0;
    // The play-position window of an MP4 channel (modal).
    virtual void OpenMp4Position(int nChannel) = 0;
    // The recorder took an error mark: its notice shows.
    virtual void ErrorMarked(int digit) = 0;
};

} // namespace tavrin
