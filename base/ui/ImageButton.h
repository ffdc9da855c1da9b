// A button drawn with the built-in pictures "PNG_" + tag + state: 1 normal,
// 2 under the mouse, 3 pressed, and 4 ... 6 the same for the running look
// (recording, playing, audio on, pushing live).
#pragma once

#include <QAbstractButton>
#include <QPixmap>
#include <QString>

namespace tavrin {

class TImageButton : public QAbstractButton {
    Q_OBJECT
public:
    // clickTag is the window's nCurrentClickImageTAGID (or nullptr): a click
    // that opens a modal window or menu puts the tag there (RememberClick),
    // and the release that follows only resets it to -1 instead of drawing
    // the hover picture.
    explicit TImageButton(int tag, QWidget* parent = nullptr, int* clickTag = nullptr);

    int Tag() const { return tag_; }

    // Running look: the pictures 4 ... 6 instead of 1 ... 3.
    void SetRunning(bool running);
    bool Running() const { return running_; }

    // Latched on (PTZ mode, delete-mark mode): shows the pressed picture.
    void SetLatched(bool latched);
    bool Latched() const { return latched_; }

    // Draws picture 1, 2 or 3 (plus 3 when running).
    void ShowState(int state);
    // The picture on show now, 1 ... 6, and its resource name ("PNG_43").
    int PictureState() const;
    QString PictureName() const;

    // Called by a click handler that opens a modal window or menu.
    void RememberClick();

    static QString PictureName(int tag, int state);
    // File of a picture; the build paints them into "buttons" next to the programs.
    static QString PictureFile(int tag, int state);
    static QPixmap Picture(int tag, int state);
    // The tooltip a button gets unless its window sets another one.
    static QString DefaultToolTip(int tag);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    const int tag_;
    int* const clickTag_;
    int state_ = 1;
    bool running_ = false;
    bool latched_ = false;
};

} // namespace tavrin
