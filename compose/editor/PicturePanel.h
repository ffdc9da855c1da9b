// The editor's picture: a native panel that SDL draws into, kept at the
// largest centred 16:9 area of its container, and forwarding the mouse.
#pragma once

#include <QWidget>
#include <functional>

namespace tavrin {

class TPicturePanel : public QWidget {
    Q_OBJECT
public:
    explicit TPicturePanel(QWidget* parent = nullptr);
    QPaintEngine* paintEngine() const override { return nullptr; }

signals:
    void pressed(QPoint at, Qt::MouseButton button);
    void moved(QPoint at, Qt::MouseButtons buttons);
    void released(QPoint at);
    void doubleClicked(QPoint at);
    void resized(QSize size);
    // The window system lost what SDL drew (a window over it went away).
    void exposed();

protected:
    void paintEvent(QPaintEvent*) override { emit exposed(); }
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
};

// Holds the panel centred at 16:9 on a dark ground.
class TPictureArea : public QWidget {
    Q_OBJECT
public:
    explicit TPictureArea(QWidget* parent = nullptr);
    TPicturePanel* Panel() const { return panel_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    TPicturePanel* panel_;
};

} // namespace tavrin
