// Where the console's top-level windows open: centred over the console once
// it is shown (over the screen before that), and always inside the screen's
// available area. One application-wide rule, so no dialog places itself.
#pragma once

#include <QRect>
#include <QSize>

class QWidget;

namespace tavrin {

// The rectangle of a window of this size centred over anchor and then moved,
// and where it is larger shrunk, into available.
QRect CentredInside(QSize size, const QRect& anchor, const QRect& available);

// Places every top-level window of the application as it is shown: a window
// its own code did not move opens centred over the console; every window is
// kept inside the available area of the screen it opens on.
void InstallWindowPlacement();

// The console's main window, the anchor of all others while it is visible.
void SetConsoleWindow(QWidget* console);

} // namespace tavrin
