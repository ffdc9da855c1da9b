#include "app/DispPanel.h"

namespace tavrin {

TDispPanel::TDispPanel(int tag, QWidget* parent) : QWidget(parent), tag_(tag) {
    // SDL renders into the pane's own X window, so it must have one, and Qt
    // must neither paint nor clear it.
    setAttribute(Qt::WA_NativeWindow);
    setAttribute(Qt::WA_DontCreateNativeAncestors);
    setAttribute(Qt::WA_PaintOnScreen);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
    setFocusPolicy(Qt::NoFocus);
}

TNativeWindow TDispPanel::NativeHandle() {
    return TNativeWindow(winId());
}

} // namespace tavrin
