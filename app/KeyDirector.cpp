#include "app/KeyDirector.h"

#include "app/CaptureKeys.h"
#include "app/CaptureMode.h"
#include "app/ReplayMode.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QWheelEvent>

namespace tavrin {

TKeyDirector::TKeyDirector(IKeyHost& w) : win(w) {
    qApp->installEventFilter(this);
}

TKeyDirector::~TKeyDirector() {
    qApp->removeEventFilter(this);
}

bool TKeyDirector::Seen(int type, int key, quint64 timestamp) {
    if (type == lastType && key == lastKey && timestamp == lastTimestamp) {
        return true;
    }
    lastType = type;
    lastKey = key;
    lastTimestamp = timestamp;
    return false;
}

bool TKeyDirector::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::Wheel) {
        return false;
    }
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || widget->window() != win.KeyWindow() || !win.KeyWindow()->isEnabled()) {
        return false;
    }
    if (type == QEvent::Wheel) {
        auto* e = static_cast<QWheelEvent*>(event);
        const int dy = e->angleDelta().y();
        if (dy == 0 || Seen(type, 0, e->timestamp())) {
            return false;
        }
        if (win.CaptureNow() == nullptr || !win.CaptureNow()->PtzMode()) {
            return false;
        }
        Wheel(dy > 0);
        return true;
    }
    return OnKey(watched, static_cast<QKeyEvent*>(event));
}

bool TKeyDirector::OnKey(QObject* watched, QKeyEvent* e) {
    const int key = e->key();
    if (Seen(e->type(), key, e->timestamp())) {
        return false;
    }
    const int mode = win.CaptureNow() != nullptr  ? kModeCapture
                     : win.ReplayNow() != nullptr ? kModeReplay
                                                  : kModeNone;
    const bool press = e->type() == QEvent::KeyPress;
    if (mode == kModeCapture) {
        if (press) {
            const bool shift = (e->modifiers() & Qt::ShiftModifier) != 0;
            const bool mapped = DoRealKeyCommand(key, shift).action != TMainAction::None;
            DoRealKey(key, shift, e->isAutoRepeat());
            return mapped;
        }
        // The X server's key repeat sends releases between the repeats; the
        // movement must go on until the key is really up.
        if (!e->isAutoRepeat()) {
            RealKeyUp(key);
        }
        return false;
    }
    if (mode == kModeReplay) {
        const bool inOffsetBox = watched == win.OffsetBox();
        if (press != inOffsetBox || DoReplayKeyCommand(key).action == TMainAction::None) {
            return false;
        }
        if (!e->isAutoRepeat()) {
            DoReplayKey(key);
        }
        return true;
    }
    return false;
}

void TKeyDirector::DoRealKey(int key, bool shift, bool repeat) {
    if (TCaptureMode* capture = win.CaptureNow()) {
        capture->Key(key, shift, repeat);
    }
}

void TKeyDirector::RealKeyUp(int key) {
    if (TCaptureMode* capture = win.CaptureNow()) {
        capture->KeyUp(key);
    }
}

void TKeyDirector::DoReplayKey(int key) {
    if (win.ReplayNow() == nullptr) {
        return;
    }
    win.ReplayNow()->Key(key);
}

void TKeyDirector::Wheel(bool up) {
    if (TCaptureMode* capture = win.CaptureNow()) {
        capture->Wheel(up);
    }
}

} // namespace tavrin
