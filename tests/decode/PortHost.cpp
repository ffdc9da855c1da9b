#include "tests/decode/PortHost.h"

#include <QPalette>
#include <QResizeEvent>

namespace tavrin::test {

TPortPanel::TPortPanel(int index, QWidget* parent) : QWidget(parent), index_(index) {
    // A native window of its own that Qt leaves alone.
    setAttribute(Qt::WA_NativeWindow);
    setAttribute(Qt::WA_PaintOnScreen);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TPortPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (onResized) {
        onResized(*this);
    }
}

TPortHost::TPortHost(TDispManager& manager, int columns, int rows, int panelW, int panelH)
    : manager_(manager), columns_(columns), rows_(rows) {
    QPalette dark = palette();
    dark.setColor(QPalette::Window, QColor(38, 38, 38));
    setPalette(dark);
    setAutoFillBackground(true);
    for (int i = 0; i < columns * rows; ++i) {
        panels_.push_back(
            new TPortPanel(i, this)); // NOLINT(cppcoreguidelines-owning-memory): Qt parent owns it
    }
    resize(columns * (panelW + 1) + 1, rows * (panelH + 1) + 1);
}

void TPortHost::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayOut();
}

void TPortHost::LayOut() {
    const int w = (width() - 1) / columns_ - 1;
    const int h = (height() - 1) / rows_ - 1;
    for (TPortPanel* panel : panels_) {
        const int c = panel->Index() % columns_;
        const int r = panel->Index() / columns_;
        panel->setGeometry(1 + c * (w + 1), 1 + r * (h + 1), w, h);
    }
}

bool TPortHost::CreatePorts(int yuvW, int yuvH) {
    bool inOrder = true;
    for (TPortPanel* panel : panels_) {
        const SDL_Rect xr{0, 0, panel->width(), panel->height()};
        const int port = manager_.createNewPort(TNativeWindow(panel->winId()), yuvW, yuvH, xr);
        inOrder = inOrder && port == panel->Index();
        // The port follows the panel: SDL hears nothing of a foreign resize.
        panel->onResized = [this](TPortPanel& p) {
            const TPortResizeHold hold(manager_, p.Index());
            manager_.ResizeTo(p.Index(), {0, 0, p.width(), p.height()});
        };
    }
    return inOrder;
}

} // namespace tavrin::test
