#include "compose/editor/PicturePanel.h"

#include "compose/editor/LayoutGesture.h"

#include <QMouseEvent>
#include <QPalette>

namespace tavrin {

TPicturePanel::TPicturePanel(QWidget* parent) : QWidget(parent) {
    // A native window of its own that Qt never paints: SDL draws into it.
    setAttribute(Qt::WA_NativeWindow);
    setAttribute(Qt::WA_PaintOnScreen);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
    setContextMenuPolicy(Qt::CustomContextMenu);
}

void TPicturePanel::mousePressEvent(QMouseEvent* event) {
    emit pressed(event->position().toPoint(), event->button());
}

void TPicturePanel::mouseMoveEvent(QMouseEvent* event) {
    emit moved(event->position().toPoint(), event->buttons());
}

void TPicturePanel::mouseReleaseEvent(QMouseEvent* event) {
    emit released(event->position().toPoint());
}

void TPicturePanel::mouseDoubleClickEvent(QMouseEvent* event) {
    emit doubleClicked(event->position().toPoint());
}

void TPicturePanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    emit resized(event->size());
}

TPictureArea::TPictureArea(QWidget* parent) : QWidget(parent), panel_(new TPicturePanel(this)) {
    panel_->setObjectName("pnlPicture");
    QPalette dark = palette();
    dark.setColor(QPalette::Window, QColor(20, 20, 20));
    setPalette(dark);
    setAutoFillBackground(true);
    setMinimumSize(480, 270);
}

void TPictureArea::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const rRect fit = TLayoutGesture::FitPanel(width(), height());
    panel_->setGeometry(fit.left, fit.top, fit.width, fit.height);
}

} // namespace tavrin
