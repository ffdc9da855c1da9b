#include "app/DispPanel.h"

#include <QGuiApplication>
#include <xcb/xcb.h>

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
    // Until SDL draws, and wherever it does not (a channel without a source),
    // the X server clears the pane to black instead of leaving what a closed
    // dialog or menu showed there.
    const WId id = winId();
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
        xcb_connection_t* c = x11->connection();
        const uint32_t black = 0;
        xcb_change_window_attributes(c, xcb_window_t(id), XCB_CW_BACK_PIXEL, &black);
        xcb_clear_area(c, 0, xcb_window_t(id), 0, 0, 0, 0);
        xcb_flush(c);
    }
}

TNativeWindow TDispPanel::NativeHandle() {
    return TNativeWindow(winId());
}

} // namespace tavrin
