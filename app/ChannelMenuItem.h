// The owner-drawn channel items of the channel menu: dark blue when
// highlighted, black otherwise, grey text, and a phone's battery level at the
// right (red when low).
#pragma once

#include <QString>
#include <string>

class QAction;
class QMenu;

namespace tavrin {

// Adds an item drawing text and, for charge >= 0, the battery level; the
// returned action triggers when the item is clicked.
QAction* AddChannelMenuItem(QMenu& menu, const std::string& text, int charge);

} // namespace tavrin
