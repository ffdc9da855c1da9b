#include "base/ui/WindowPlacement.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QShowEvent>
#include <QVariant>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace tavrin {

namespace {

constexpr const char* kPlacedAt = "tavrinPlacedAt";
constexpr const char* kOwnPlace = "tavrinOwnPlace";

QPointer<QWidget>& Console() {
    static QPointer<QWidget> console;
    return console;
}

// Menus, tool tips, combo box lists and the like place themselves next to
// what opened them.
bool IsPlacedWindow(const QWidget* w) {
    if (!w->isWindow()) {
        return false;
    }
    switch (w->windowType()) {
    case Qt::Window:
    case Qt::Dialog:
    case Qt::Sheet:
    case Qt::Tool:
        return true;
    default:
        return false;
    }
}

QScreen* ScreenFor(const QWidget* console) {
    if (console != nullptr && console->screen() != nullptr) {
        return console->screen();
    }
    return QGuiApplication::primaryScreen();
}

// opening: the window is being shown; otherwise it was sized again while
// opening and keeps the kind of place it got then.
void Place(QWidget* w, bool opening) {
    QWidget* console = Console();
    const bool overConsole =
        console != nullptr && w != console && console->isVisible() && !console->isMinimized();
    QScreen* screen = ScreenFor(overConsole ? console : nullptr);
    if (screen == nullptr) {
        return;
    }
    const QRect available = screen->availableGeometry();
    const QRect anchor = overConsole ? console->frameGeometry() : available;
    // The frame around the client area, where the window system has told it.
    const QRect frame = w->frameGeometry();
    const QSize extra(frame.width() - w->width(), frame.height() - w->height());
    // A window stays where its own code (or the operator) put it; a position
    // this rule gave it last time is no such choice.
    const QVariant placedAt = w->property(kPlacedAt);
    const bool ownPlace = opening ? w->testAttribute(Qt::WA_Moved) &&
                                        !(placedAt.isValid() && placedAt.toPoint() == w->pos())
                                  : w->property(kOwnPlace).toBool();
    w->setProperty(kOwnPlace, ownPlace);
    const QRect target = CentredInside(frame.size(), ownPlace ? frame : anchor, available);
    const QSize client = target.size() - extra;
    if (client != w->size()) {
        w->resize(client.expandedTo(w->minimumSize()));
    }
    // Moved, so a dialog does not centre itself again over its parent.
    w->move(target.topLeft());
    w->setProperty(kPlacedAt, w->pos());
}

class TPlacementFilter final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!watched->isWidgetType()) {
            return false;
        }
        auto* w = static_cast<QWidget*>(watched);
        if (event->type() == QEvent::Show && !static_cast<QShowEvent*>(event)->spontaneous() &&
            IsPlacedWindow(w)) {
            Place(w, true);
        } else if (event->type() == QEvent::Resize && IsPlacedWindow(w) && StillOpening(w)) {
            // Sized again by its own show (a message box fits its text):
            // centred again before anyone sees it.
            Place(w, false);
        }
        return false;
    }

private:
    static bool StillOpening(const QWidget* w) {
        const QVariant placedAt = w->property(kPlacedAt);
        return w->isVisible() && placedAt.isValid() && placedAt.toPoint() == w->pos() &&
               w->windowHandle() != nullptr && !w->windowHandle()->isExposed();
    }
};

} // namespace

QRect CentredInside(QSize size, const QRect& anchor, const QRect& available) {
    const int w = std::min(size.width(), available.width());
    const int h = std::min(size.height(), available.height());
    int x = anchor.x() + (anchor.width() - w) / 2;
    int y = anchor.y() + (anchor.height() - h) / 2;
    x = std::clamp(x, available.left(), available.left() + available.width() - w);
    y = std::clamp(y, available.top(), available.top() + available.height() - h);
    return {x, y, w, h};
}

void InstallWindowPlacement() {
    QCoreApplication* app = QCoreApplication::instance();
    const QString name = QStringLiteral("WindowPlacement");
    if (app == nullptr || app->findChild<QObject*>(name, Qt::FindDirectChildrenOnly) != nullptr) {
        return;
    }
    auto* filter = new TPlacementFilter(app);
    filter->setObjectName(name);
    app->installEventFilter(filter);
}

void SetConsoleWindow(QWidget* console) {
    Console() = console;
}

} // namespace tavrin
