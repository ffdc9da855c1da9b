#include "compose/editor/F_Fontstyle.h"

#include "compose/PlanFile.h"
#include "compose/editor/FilePickers.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTimer>

namespace tavrin {

TF_Fontstyle::TF_Fontstyle(const QString& text, int size, int32_t colorRef, QWidget* parent)
    : QDialog(parent), colorRef_(colorRef) {
    setWindowTitle(QStringLiteral("文本样式"));
    setObjectName("TF_Fontstyle");
    // The sample is drawn with the plan font, registered with the GUI here.
    family_ = RegisterPlanFont();

    // Fixed places: the controls above the band, the band below.
    auto* lbName = new QLabel(QStringLiteral("名称："), this);
    lbName->setGeometry(12, 14, 60, 26);
    edText = new QLineEdit(text, this);
    edText->setObjectName("edText");
    edText->setGeometry(80, 14, 400, 26);

    auto* lbSize = new QLabel(QStringLiteral("尺寸："), this);
    lbSize->setGeometry(12, 52, 60, 26);
    cbSize = new QComboBox(this);
    cbSize->setObjectName("cbSize");
    cbSize->setGeometry(80, 52, 100, 26);
    for (int s = 16; s <= 100; ++s) {
        cbSize->addItem(QString::number(s), s);
    }
    const int at = cbSize->findData(size);
    cbSize->setCurrentIndex(at >= 0 ? at : cbSize->findData(48));

    auto* lbColor = new QLabel(QStringLiteral("颜色："), this);
    lbColor->setGeometry(12, 92, 60, 26);
    swatches = new QButtonGroup(this);
    swatches->setExclusive(true);
    for (size_t i = 0; i < kSwatches.size(); ++i) {
        auto* b = new QPushButton(this);
        b->setObjectName(QStringLiteral("swatch%1").arg(i));
        b->setCheckable(true);
        b->setGeometry(80 + int(i) * 34, 92, 28, 26);
        const QColor c = QColor::fromRgb(kSwatches[i]);
        b->setStyleSheet(QStringLiteral("QPushButton{background:%1;border:1px solid #606060}"
                                        "QPushButton:checked{border:3px solid #3daee9}")
                             .arg(c.name()));
        b->setChecked(RgbToPlanColor(kSwatches[i]) == colorRef);
        swatches->addButton(b, int(i));
    }

    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName("btnOK");
    ok->setDefault(true);
    ok->setGeometry(400, 92, 80, 28);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    connect(edText, &QLineEdit::textChanged, this, [this] { update(); });
    connect(cbSize, &QComboBox::currentIndexChanged, this, [this] { update(); });
    connect(swatches, &QButtonGroup::idClicked, this, [this](int id) {
        colorRef_ = RgbToPlanColor(kSwatches[size_t(id)]);
        update();
    });
    setFixedSize(500, kBandTop + 150);
    QTimer::singleShot(5, this, [this] { update(); });
}

QString TF_Fontstyle::Text() const {
    return edText->text().trimmed();
}

int TF_Fontstyle::Size() const {
    return cbSize->currentData().toInt();
}

void TF_Fontstyle::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter p(this);
    p.fillRect(0, kBandTop, width(), height() - kBandTop, QColor(0xC0, 0xC0, 0xC0));
    QFont font(family_.isEmpty() ? QString::fromUtf8(kPlanFontName) : family_);
    font.setPixelSize(Size());
    p.setFont(font);
    p.setPen(QColor::fromRgb(PlanColorToRgb(colorRef_)));
    const QRect area(2, kBandTop + 1, width() - 4, height() - kBandTop - 1);
    p.drawText(area, Qt::AlignLeft | Qt::AlignTop, edText->text());
}

} // namespace tavrin
