#include "base/ui/ImageButton.h"

#include "base/ProgramDir.h"
#include "base/Trace.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPixmapCache>
#include <QPointer>

namespace tavrin {

namespace {

constexpr int kRunningOffset = 3;

} // namespace

TImageButton::TImageButton(int tag, QWidget* parent, int* clickTag)
    : QAbstractButton(parent), tag_(tag), clickTag_(clickTag) {
    setToolTip(DefaultToolTip(tag));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
    const QSize size = sizeHint();
    resize(size);
}

void TImageButton::SetRunning(bool running) {
    if (running_ != running) {
        running_ = running;
        update();
    }
}

void TImageButton::SetLatched(bool latched) {
    if (latched_ != latched) {
        latched_ = latched;
        update();
    }
}

void TImageButton::ShowState(int state) {
    state = std::clamp(state, 1, 3);
    if (state_ != state) {
        state_ = state;
        update();
    }
}

int TImageButton::PictureState() const {
    const int state = latched_ ? 3 : state_;
    return running_ ? state + kRunningOffset : state;
}

QString TImageButton::PictureName() const {
    return PictureName(tag_, PictureState());
}

void TImageButton::RememberClick() {
    if (clickTag_ != nullptr) {
        *clickTag_ = tag_;
    }
}

QString TImageButton::PictureName(int tag, int state) {
    return QStringLiteral("PNG_%1%2").arg(tag).arg(state);
}

QString TImageButton::PictureFile(int tag, int state) {
    return QString::fromStdString(ProgramFile("buttons/")) + PictureName(tag, state) + ".png";
}

QPixmap TImageButton::Picture(int tag, int state) {
    const QString name = PictureName(tag, state);
    QPixmap picture;
    if (!QPixmapCache::find(name, &picture)) {
        if (picture.load(PictureFile(tag, state))) {
            QPixmapCache::insert(name, picture);
        } else {
            Trace("button picture missing: " + name.toStdString());
        }
    }
    return picture;
}

QString TImageButton::DefaultToolTip(int tag) {
    switch (tag) {
    case 1:
        return QStringLiteral("一路视频布局");
    case 2:
        return QStringLiteral("两路视频布局");
    case 3:
        return QStringLiteral("三路视频布局");
    case 65:
        return QStringLiteral("四路视频布局");
    case 4:
        return QStringLiteral("开始/暂停录像");
    case 6:
        return QStringLiteral("云台控制模式");
    case 9:
        return QStringLiteral("声音监听开关");
    case 10:
        return QStringLiteral("开始/暂停推流");
    case 20:
        return QStringLiteral("删除标记模式");
    case 21:
        return QStringLiteral("保存剪辑");
    case 22:
        return QStringLiteral("清除全部删除标记");
    case 23:
        return QStringLiteral("生成MP4");
    case 50:
        return QStringLiteral("回放选中的课程");
    case 52:
        return QStringLiteral("选择课程");
    case 54:
        return QStringLiteral("通道连接设置");
    case 55:
        return QStringLiteral("重新连接");
    case 60:
        return QStringLiteral("录制选中的课程");
    case 66:
        return QStringLiteral("主菜单");
    default:
        return {};
    }
}

QSize TImageButton::sizeHint() const {
    const QPixmap picture = Picture(tag_, 1);
    return picture.isNull() ? QSize(40, 40) : picture.size();
}

void TImageButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPixmap picture = Picture(tag_, PictureState());
    if (picture.isNull()) {
        painter.fillRect(rect(), QColor(70, 70, 74));
        painter.setPen(QColor(200, 200, 200));
        painter.drawText(rect(), Qt::AlignCenter, QString::number(tag_));
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(rect(), picture);
    if (!isEnabled()) {
        painter.fillRect(rect(), QColor(30, 30, 30, 140));
    }
}

void TImageButton::enterEvent(QEnterEvent* event) {
    ShowState(2);
    QAbstractButton::enterEvent(event);
}

void TImageButton::leaveEvent(QEvent* event) {
    ShowState(1);
    QAbstractButton::leaveEvent(event);
}

void TImageButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        ShowState(3);
    }
    QAbstractButton::mousePressEvent(event);
}

void TImageButton::mouseReleaseEvent(QMouseEvent* event) {
    // The click handlers run inside the base class; one of them may open a
    // modal window whose owner closes this button's window meanwhile.
    QPointer<TImageButton> self(this);
    QAbstractButton::mouseReleaseEvent(event);
    if (!self || event->button() != Qt::LeftButton) {
        return;
    }
    if (clickTag_ != nullptr && *clickTag_ == tag_) {
        *clickTag_ = -1;
        return;
    }
    ShowState(rect().contains(event->position().toPoint()) ? 2 : 1);
}

} // namespace tavrin
