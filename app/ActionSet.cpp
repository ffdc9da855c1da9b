#include "app/ActionSet.h"

#include "base/ui/ImageButton.h"

#include <QAction>
#include <QKeySequence>

namespace tavrin {

TActionSet::TActionSet(QObject* parent, const std::function<void(TMainAction)>& run)
    : QObject(parent) {
    const auto table = MainActionTable();
    for (const TActionEntry& e : table) {
        auto* a = new QAction(QString::fromUtf8(e.caption), this);
        actions.push_back(a);
        if (e.bar == TBar::CaptureKeys || e.bar == TBar::ReplayKeys) {
            // The key director hands keys to the controllers itself (they
            // act on key down and key up, and repeat); the action is not
            // put on a widget, so Qt does not take the key first.
            a->setShortcut(QKeySequence(e.key));
            continue;
        }
        if (e.bar == TBar::ChannelMenu) {
            continue; // the channel menu's items act on the channel it opened on
        }
        if (e.bar == TBar::Capture || e.bar == TBar::Replay) {
            a->setToolTip(TImageButton::DefaultToolTip(e.tag));
            a->setCheckable(e.look != TToggleLook::None);
        }
        const TMainAction action = e.action;
        // Menu items run queued: several open modal windows, and the menu
        // must be done with its own click (and gone) before a nested loop
        // runs. A button's command runs within its click.
        connect(
            a, &QAction::triggered, this,
            [a, action, run](bool checked) {
                if (a->isCheckable()) {
                    a->setChecked(!checked);
                }
                run(action);
            },
            e.bar == TBar::Menu ? Qt::QueuedConnection : Qt::DirectConnection);
    }
}

QAction* TActionSet::Of(const TActionEntry& e) const {
    return actions[size_t(&e - MainActionTable().data())];
}

QAction* TActionSet::Of(TBar bar, TMainAction action) const {
    const TActionEntry* e = EntryOf(bar, action);
    return e != nullptr ? Of(*e) : nullptr;
}

void TActionSet::SetChecked(TMainAction action, bool on) {
    for (TBar bar : {TBar::Capture, TBar::Replay}) {
        if (QAction* a = Of(bar, action); a != nullptr && a->isCheckable()) {
            a->setChecked(on);
        }
    }
}

} // namespace tavrin
