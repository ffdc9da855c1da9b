#include "mp4/ui/F_PixSet.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tavrin {

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

QLabel* Note(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

} // namespace

TF_PixSet::TF_PixSet(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral(" 生成MP4-设置码流参数"));
    setModal(true);

    lab_info = new QLabel(this);
    lab_info->setObjectName("lab_info");
    lab_info->setFrameShape(QFrame::StyledPanel);
    lab_info->setMargin(8);

    rb_copy = new QRadioButton(QStringLiteral("使用原始码流，不作任何转换"), this);
    rb_cards =
        new QRadioButton(QStringLiteral("只转换片头分辨率，不改变视频实际码率与分辨率"), this);
    rb_reencode = new QRadioButton(QStringLiteral("重新转码压缩，请设置以下参数"), this);
    modes = new QButtonGroup(this);
    // The button's id is its tag: the conversion mode.
    modes->addButton(rb_copy, 0);
    modes->addButton(rb_cards, 1);
    modes->addButton(rb_reencode, 2);
    rb_copy->setObjectName("rb_mode0");
    rb_cards->setObjectName("rb_mode1");
    rb_reencode->setObjectName("rb_mode2");

    CB_PIX = new QComboBox(this);
    CB_PIX->setObjectName("CB_PIX");
    CB_PIX->addItems({QStringLiteral("1280x720"), QStringLiteral("1920x1080")});
    CB_Bitbrate = new QComboBox(this);
    CB_Bitbrate->setObjectName("CB_Bitbrate");
    for (const std::string& entry : TPixSetModel::BitrateEntries()) {
        CB_Bitbrate->addItem(Q(entry));
    }
    CB_Bitbrate->setMaxVisibleItems(TPixSetModel::kBitrateEntries);
    lab_Mp4Size = new QLabel(this);
    lab_Mp4Size->setObjectName("lab_Mp4Size");

    btn_ok = new QPushButton(QStringLiteral("确定"), this);
    btn_ok->setObjectName("btn_ok");
    btn_cancel = new QPushButton(QStringLiteral("取消"), this);
    btn_cancel->setObjectName("btn_cancel");

    auto* lists = new QGridLayout;
    lists->addWidget(new QLabel(QStringLiteral("视频分辨率"), this), 0, 0);
    lists->addWidget(CB_PIX, 0, 1);
    lists->addWidget(new QLabel(QStringLiteral("视频码率(M位)"), this), 1, 0);
    lists->addWidget(CB_Bitbrate, 1, 1);
    lists->setColumnStretch(2, 1);
    lists->setContentsMargins(24, 0, 0, 0);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btn_ok);
    buttons->addWidget(btn_cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lab_info);
    layout->addSpacing(6);
    layout->addWidget(rb_copy);
    layout->addSpacing(6);
    layout->addWidget(
        Note(QStringLiteral("若生成的MP4仅视频分辨率不符合客户要求，且有片头，则可选择"), this));
    layout->addWidget(rb_cards);
    layout->addSpacing(6);
    auto* warning = Note(
        QStringLiteral(
            "若最终生成的MP4文件大小不符合要求，则必须对录制内容重新转码压缩，需要重新调整视频分辨"
            "率，从而影响MP4文件大小。注意：此过程很耗时，1小时的录像转码到1280x720格式约需6分钟，"
            "转码到1920x1080格式约需9分钟，且图像质量有损失，谨慎为之！"),
        this);
    warning->setObjectName("lab_warning");
    layout->addWidget(warning);
    layout->addWidget(rb_reencode);
    layout->addLayout(lists);
    layout->addWidget(lab_Mp4Size);
    layout->addSpacing(6);
    layout->addLayout(buttons);
    setMinimumWidth(560);

    connect(modes, &QButtonGroup::idClicked, this, &TF_PixSet::ModeChanged);
    connect(CB_PIX, &QComboBox::currentIndexChanged, this, &TF_PixSet::ShowEstimate);
    connect(CB_Bitbrate, &QComboBox::currentIndexChanged, this, &TF_PixSet::ShowEstimate);
    connect(btn_ok, &QPushButton::clicked, this, &TF_PixSet::Confirm);
    connect(btn_cancel, &QPushButton::clicked, this, [this] {
        bOK = false;
        reject();
    });
    btn_ok->setDefault(true);
    rb_copy->setChecked(true);
    ModeChanged(0);
}

int TF_PixSet::SetServerInfo(int size, int nSec, int bitrate, int width, int height) {
    model.SetServerInfo(size, nSec, bitrate, width, height);
    bOK = false;
    lab_info->setText(Q(model.InfoText()));
    rb_cards->setText(Q(model.OtherResolutionCaption()));
    {
        // One estimate after both lists are set, not one per list.
        const QSignalBlocker blockPix(CB_PIX);
        const QSignalBlocker blockRate(CB_Bitbrate);
        CB_PIX->setCurrentIndex(model.OwnResolutionIndex());
        CB_Bitbrate->setCurrentIndex(TPixSetModel::kDefaultBitrateEntry);
    }
    rb_copy->setChecked(true);
    ModeChanged(0);
    ShowEstimate();
    return 0;
}

void TF_PixSet::ModeChanged(int mode) {
    nMode = mode;
    CB_PIX->setEnabled(mode == 2);
    CB_Bitbrate->setEnabled(mode == 2);
}

void TF_PixSet::ShowEstimate() {
    lab_Mp4Size->setText(
        Q(model.EstimateText(CB_PIX->currentIndex(), CB_Bitbrate->currentIndex())));
}

void TF_PixSet::Confirm() {
    ConvertMode = model.Result(nMode, CB_PIX->currentIndex(), CB_Bitbrate->currentIndex());
    bOK = true;
    accept();
}

} // namespace tavrin
