#include "app/ChannelMenuItem.h"

#include "app/WindowTexts.h"

#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QWidgetAction>

namespace tavrin {

namespace {

const QColor kHighlight(44, 84, 107);
const QColor kText(190, 190, 190);
const QColor kLow(255, 0, 0);
constexpr int kTextX = 15;
constexpr int kBatteryX = 210;

class TChannelItemWidget : public QWidget {
public:
    TChannelItemWidget(QWidgetAction* action, QString text, int charge)
        : action_(action), text_(std::move(text)), charge_(charge) {
        setMouseTracking(true);
        setMinimumSize(kBatteryX + 90, 24);
        setAttribute(Qt::WA_Hover);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), underMouse() ? kHighlight : Qt::black);
        p.setPen(kText);
        const QRect textRect(kTextX, 0, width() - kTextX, height());
        p.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft, text_);
        if (charge_ >= 0) {
            p.setPen(charge_ < kLowBattery ? kLow : kText);
            p.drawText(QRect(std::max(kBatteryX, p.fontMetrics().horizontalAdvance(text_) + 30), 0,
                             120, height()),
                       Qt::AlignVCenter | Qt::AlignLeft,
                       QString::fromStdString(BatteryText(charge_)));
        }
    }
    void enterEvent(QEnterEvent*) override { update(); }
    void leaveEvent(QEvent*) override { update(); }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
            action_->trigger();
            if (auto* menu = qobject_cast<QMenu*>(parentWidget())) {
                menu->close();
            }
        }
    }

private:
    QWidgetAction* action_;
    QString text_;
    int charge_;
};

} // namespace

QAction* AddChannelMenuItem(QMenu& menu, const std::string& text, int charge) {
    auto* action = new QWidgetAction(&menu);
    action->setText(QString::fromStdString(text));
    auto* widget = new TChannelItemWidget(action, QString::fromStdString(text), charge);
    const int textWidth = widget->fontMetrics().horizontalAdvance(action->text()) + kTextX + 20;
    widget->setMinimumWidth(std::max(widget->minimumWidth(), textWidth + (charge >= 0 ? 100 : 0)));
    action->setDefaultWidget(widget);
    menu.addAction(action);
    return action;
}

} // namespace tavrin
