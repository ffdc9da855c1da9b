// The window's commands as QActions, one per entry of the action table: a
// button's or menu item's action carries its text, tooltip and (for the
// toggles) checked state, a key's action its shortcut. Triggering a button's
// or the main menu's action runs its command; whether a toggle is on is
// the mode controller's to say, so a trigger does not flip it by itself.
#pragma once

#include "app/MainActions.h"

#include <QObject>
#include <functional>
#include <vector>

class QAction;

namespace tavrin {

class TActionSet : public QObject {
    Q_OBJECT
public:
    TActionSet(QObject* parent, const std::function<void(TMainAction)>& run);

    // The action of a table entry.
    QAction* Of(const TActionEntry& e) const;
    // The action of a command at a place, null when it is not found there.
    QAction* Of(TBar bar, TMainAction action) const;
    // A toggle shows on or off wherever it is found.
    void SetChecked(TMainAction action, bool on);

private:
    std::vector<QAction*> actions; // by table index
};

} // namespace tavrin
