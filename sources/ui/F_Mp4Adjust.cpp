#include "sources/ui/F_Mp4Adjust.h"

#include "sources/ui/Mp4Position.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

namespace tavrin {

namespace {

QSlider* MakeBar(QWidget* parent, const char* name) {
    auto* bar = new QSlider(Qt::Horizontal, parent);
    bar->setObjectName(name);
    bar->setTickPosition(QSlider::TicksBelow);
    bar->setPageStep(1);
    return bar;
}

} // namespace

TF_Mp4Adjust::TF_Mp4Adjust(TChannelAccessor access, QWidget* parent)
    : QDialog(parent), Access(std::move(access)) {
    setObjectName("F_Mp4Adjust");
    setWindowTitle(QStringLiteral("MP4播放位置调整"));
    setFixedSize(455, 183);

    CB_Cycle = new QCheckBox(QStringLiteral("循环播放状态"), this);
    CB_Cycle->setObjectName("CB_Cycle");
    t_min = MakeBar(this, "t_min");
    t_sec = MakeBar(this, "t_sec");
    t_sec->setTickInterval(5);
    lab_min = new QLabel(this);
    lab_min->setObjectName("lab_min");
    lab_sec = new QLabel(this);
    lab_sec->setObjectName("lab_sec");
    for (QLabel* l : {lab_min, lab_sec}) {
        l->setMinimumWidth(60);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    BtLocate = new QPushButton(QStringLiteral("定位"), this);
    BtLocate->setObjectName("BtLocate");
    BtLocate->setDefault(true);
    BtStartStop = new QPushButton(QStringLiteral("启停"), this);
    BtStartStop->setObjectName("BtStartStop");

    auto* bars = new QGridLayout;
    bars->addWidget(new QLabel(QStringLiteral("分钟"), this), 0, 0);
    bars->addWidget(t_min, 0, 1);
    bars->addWidget(lab_min, 0, 2);
    bars->addWidget(new QLabel(QStringLiteral("秒钟"), this), 1, 0);
    bars->addWidget(t_sec, 1, 1);
    bars->addWidget(lab_sec, 1, 2);
    bars->setColumnStretch(1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(CB_Cycle);
    buttons->addStretch();
    buttons->addWidget(BtLocate);
    buttons->addWidget(BtStartStop);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bars);
    layout->addStretch();
    layout->addLayout(buttons);

    connect(t_min, &QSlider::valueChanged, this, [this] { UpdateLabels(); });
    connect(t_sec, &QSlider::valueChanged, this, [this] { UpdateLabels(); });
    connect(BtLocate, &QPushButton::clicked, this, [this] {
        if (IChannelAccess* a = Access ? Access() : nullptr) {
            a->SetCurrentPos(nChannel, t_min->value() * 60 + t_sec->value());
        }
    });
    connect(BtStartStop, &QPushButton::clicked, this, [this] {
        if (IChannelAccess* a = Access ? Access() : nullptr) {
            a->setPause(nChannel);
        }
    });
    // Only the operator's click switches looping, not the state shown on load.
    connect(CB_Cycle, &QCheckBox::clicked, this, [this](bool checked) {
        if (IChannelAccess* a = Access ? Access() : nullptr) {
            a->SetCycle(nChannel, checked);
        }
        ShowCycleState();
    });
}

void TF_Mp4Adjust::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TF_Mp4Adjust::FormShow() {
    int current = 0;
    int total = 0;
    if (IChannelAccess* a = Access ? Access() : nullptr) {
        a->GetCurrentPos(nChannel, current, total);
    }
    const TMp4Bars bars = Mp4Bars(current, total);
    t_min->setMaximum(bars.nMinMax);
    t_min->setValue(bars.nMinPos);
    t_sec->setMaximum(bars.nSecMax);
    t_sec->setValue(bars.nSecPos);
    UpdateLabels();
    ShowCycleState();
}

void TF_Mp4Adjust::UpdateLabels() {
    lab_min->setText(QString::fromStdString(BarLabel(t_min->value(), t_min->maximum())));
    lab_sec->setText(QString::fromStdString(BarLabel(t_sec->value(), t_sec->maximum())));
}

void TF_Mp4Adjust::ShowCycleState() {
    IChannelAccess* a = Access ? Access() : nullptr;
    const bool cycle = a != nullptr && a->GetCycle(nChannel);
    CB_Cycle->setChecked(cycle);
    CB_Cycle->setText(QString::fromStdString(CycleCaption(cycle)));
}

} // namespace tavrin
