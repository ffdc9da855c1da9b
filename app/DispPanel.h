// One preview pane of the main window: a native child window that a display
// port draws into with SDL. Qt paints nothing on it; the pane only forwards
// the operator's mouse gestures, with its tag (the channel it shows).
#pragma once

#include "decode/Display.h"

#include <QWidget>

namespace tavrin {

class TDispPanel : public QWidget {
    Q_OBJECT
public:
    TDispPanel(int tag, QWidget* parent);

    int Tag() const { return tag_; }
    // The X window the display port draws into.
    TNativeWindow NativeHandle();

    QPaintEngine* paintEngine() const override { return nullptr; }

signals:
    void Pressed(TDispPanel* pane, QMouseEvent* event);
    void Moved(TDispPanel* pane, QMouseEvent* event);
    void Released(TDispPanel* pane, QMouseEvent* event);
    void DoubleClicked(TDispPanel* pane, QMouseEvent* event);
    // The window system lost the pane's contents (a window over it went).
    void Exposed(TDispPanel* pane);

protected:
    void paintEvent(QPaintEvent*) override { emit Exposed(this); }
    void mousePressEvent(QMouseEvent* event) override { emit Pressed(this, event); }
    void mouseMoveEvent(QMouseEvent* event) override { emit Moved(this, event); }
    void mouseReleaseEvent(QMouseEvent* event) override { emit Released(this, event); }
    void mouseDoubleClickEvent(QMouseEvent* event) override { emit DoubleClicked(this, event); }

private:
    const int tag_;
};

} // namespace tavrin
