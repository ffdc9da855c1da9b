#include "base/ui/CarbonStyle.h"

#include "base/Message.h"
#include "base/ProgramDir.h"
#include "base/Trace.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QPainter>
#include <QPalette>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>

namespace tavrin {

namespace {

const QColor kIndicatorEdge(150, 150, 156);
const QColor kDisabledIndicatorEdge(90, 90, 94);

class TCarbonStyle final : public QProxyStyle {
public:
    TCarbonStyle() : QProxyStyle(QStyleFactory::create("Fusion")) {
        setObjectName(kCarbonStyleName);
    }

    // Passwords show every character as "#".
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_LineEdit_PasswordCharacter) {
            return '#';
        }
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }

    // Fusion outlines check boxes and radio buttons a shade darker than the
    // window, which vanishes on this dark palette: an unchecked box in a
    // list could not be found. A light edge keeps every indicator visible.
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        if (element != PE_IndicatorCheckBox && element != PE_IndicatorRadioButton) {
            return;
        }
        const bool enabled = (option->state & State_Enabled) != 0;
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, true);
        painter->setPen(QPen(enabled ? kIndicatorEdge : kDisabledIndicatorEdge, 1.0));
        painter->setBrush(Qt::NoBrush);
        const QRectF edge = QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5);
        if (element == PE_IndicatorRadioButton) {
            painter->drawEllipse(edge);
        } else {
            painter->drawRoundedRect(edge, 1.5, 1.5);
        }
        painter->restore();
    }

    QPalette standardPalette() const override {
        const QColor window(45, 45, 48);
        const QColor base(30, 30, 32);
        const QColor text(220, 220, 220);
        const QColor disabledText(120, 120, 120);
        const QColor highlight(44, 84, 107);
        QPalette p;
        p.setColor(QPalette::Window, window);
        p.setColor(QPalette::WindowText, text);
        p.setColor(QPalette::Base, base);
        p.setColor(QPalette::AlternateBase, QColor(38, 38, 40));
        p.setColor(QPalette::ToolTipBase, QColor(60, 60, 64));
        p.setColor(QPalette::ToolTipText, text);
        p.setColor(QPalette::PlaceholderText, disabledText);
        p.setColor(QPalette::Text, text);
        p.setColor(QPalette::Button, QColor(58, 58, 62));
        p.setColor(QPalette::ButtonText, text);
        p.setColor(QPalette::BrightText, QColor(255, 80, 80));
        p.setColor(QPalette::Light, QColor(80, 80, 84));
        p.setColor(QPalette::Midlight, QColor(66, 66, 70));
        p.setColor(QPalette::Mid, QColor(40, 40, 42));
        p.setColor(QPalette::Dark, QColor(24, 24, 26));
        p.setColor(QPalette::Shadow, QColor(0, 0, 0));
        p.setColor(QPalette::Highlight, highlight);
        p.setColor(QPalette::HighlightedText, Qt::white);
        p.setColor(QPalette::Link, QColor(90, 160, 220));
        p.setColor(QPalette::LinkVisited, QColor(150, 120, 210));
        for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
            p.setColor(QPalette::Disabled, role, disabledText);
        }
        p.setColor(QPalette::Disabled, QPalette::Highlight, QColor(70, 70, 74));
        return p;
    }
};

// Simplified Chinese sans for the windows; sy.otf (the serif face of the
// captions and cards) backs it when the system has no CJK sans.
QFont CarbonFont() {
    QStringList families{"Noto Sans CJK SC"};
    const int id = QFontDatabase::addApplicationFont(QString::fromStdString(ProgramFile("sy.otf")));
    if (id >= 0) {
        families << QFontDatabase::applicationFontFamilies(id);
    } else {
        Trace("sy.otf could not be registered");
    }
    families << "Noto Serif CJK SC";
    QFont font(families.first(), 10);
    font.setFamilies(families);
    return font;
}

} // namespace

QStyle* CreateCarbonStyle() {
    return new TCarbonStyle;
}

void ApplyCarbonStyle(QApplication& app) {
    QApplication::setApplicationName(QString::fromUtf8(kAppTitle.data(), int(kAppTitle.size())));
    QStyle* style = CreateCarbonStyle();
    QApplication::setStyle(style); // the application takes ownership
    QApplication::setPalette(style->standardPalette());
    QApplication::setFont(CarbonFont());
    (void)app;
}

} // namespace tavrin
