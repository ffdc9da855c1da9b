#include "base/ui/FConfig.h"

#include "base/Message.h"
#include "base/StorageDrive.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace tavrin {

namespace {

constexpr int kBitRateEntries = 21;
constexpr int kAudioDelayEntries = 50;

QString BitRateCaption(int i) {
    const uint32_t r = BitRateOfEntry(i);
    return r % 1000 == 0 ? QString::number(r / 1000)
                         : QStringLiteral("%1.%2").arg(r / 1000).arg((r % 1000) / 100);
}

QString DefaultPicker(QWidget* parent, const QString& title) {
    return QFileDialog::getExistingDirectory(parent, title);
}

} // namespace

uint32_t BitRateOfEntry(int i) {
    if (i < 0) {
        return 900;
    }
    const uint32_t v = i <= 10 ? uint32_t(i) : uint32_t(i - 10) * 10 + 10;
    return v * 100 + 1000;
}

int EntryOfBitRate(uint32_t videobitrate) {
    // Unsigned on purpose: a rate below 1000 wraps and selects nothing.
    uint32_t a = (videobitrate - 1000u) / 100u;
    if (a > 10 && a <= 130) {
        a = 10 + (a - 1) / 10; // (10, 20] -> 11, (20, 30] -> 12, ...
    }
    return a < uint32_t(kBitRateEntries) ? int(a) : -1;
}

uint32_t VideoMBPerHour(uint32_t r) {
    return uint32_t(uint64_t(r) * 128 * 3600 / 1048576);
}

uint32_t Mp4MBPerHour(uint32_t video) {
    // (video + 60) x 1.05, halves to even, in whole numbers so no binary
    // fraction tips a half either way.
    const uint64_t x = (uint64_t(video) + 60) * 105;
    uint64_t q = x / 100;
    const uint64_t rest = x % 100;
    if (rest > 50 || (rest == 50 && q % 2 == 1)) {
        ++q;
    }
    return uint32_t(q);
}

TFConfig::TFConfig(const TDriveClassifier& drives, QWidget* parent)
    : QDialog(parent), drives_(drives), picker_(DefaultPicker), bitRate_(new QComboBox),
      audioDelay_(new QComboBox), threads_(new QComboBox), videoSize_(new QLabel),
      mp4Size_(new QLabel), path_(new QLabel),
      choosePath_(new QPushButton(QStringLiteral("选择新路径..."))),
      r720_(new QRadioButton(QStringLiteral("720P"))),
      r1080_(new QRadioButton(QStringLiteral("1080P"))),
      four_(new QRadioButton(QStringLiteral("四"))), six_(new QRadioButton(QStringLiteral("六"))),
      ok_(new QPushButton(QStringLiteral("确定"))),
      cancel_(new QPushButton(QStringLiteral("取消"))) {
    setWindowTitle(QString::fromUtf8(kAppTitle.data(), int(kAppTitle.size())));

    for (int i = 0; i < kBitRateEntries; ++i) {
        bitRate_->addItem(BitRateCaption(i));
    }
    for (int k = 0; k < kAudioDelayEntries; ++k) {
        audioDelay_->addItem(QString::number(k) +
                             (k == 0 ? QStringLiteral(" 标准音频") : QStringLiteral(" 延后音频")));
    }
    threads_->addItems({QStringLiteral("3 Intel i7 11代或更高"),
                        QStringLiteral("4 AMD R7 8核16线程"), QStringLiteral("5 CPU同4"),
                        QStringLiteral("6 CPU同4")});
    bitRate_->setCurrentIndex(0);
    threads_->setCurrentIndex(0);
    path_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    path_->setMinimumWidth(260);

    auto* resolution = new QGroupBox(QStringLiteral("录像分辨率"));
    auto* resolutionRow = new QHBoxLayout(resolution);
    resolutionRow->addWidget(r720_);
    resolutionRow->addWidget(r1080_);
    auto* panes = new QGroupBox(QStringLiteral("显示画面"));
    auto* panesRow = new QHBoxLayout(panes);
    panesRow->addWidget(four_);
    panesRow->addWidget(six_);
    // Each pair is a choice of its own.
    auto* resolutionGroup = new QButtonGroup(this);
    resolutionGroup->addButton(r720_);
    resolutionGroup->addButton(r1080_);
    auto* panesGroup = new QButtonGroup(this);
    panesGroup->addButton(four_);
    panesGroup->addButton(six_);

    auto* warning = new QLabel(QStringLiteral("注意：更改此路径，将导致无法访问之前录像！"));
    warning->setStyleSheet("color: rgb(255, 170, 60);");

    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    int row = 0;
    grid->addWidget(new QLabel(QStringLiteral("视频码率(M位)：")), row, 0, Qt::AlignRight);
    grid->addWidget(bitRate_, row, 1);
    grid->addWidget(videoSize_, row, 2);
    ++row;
    grid->addWidget(new QLabel(QStringLiteral("音频体积：  60M/小时")), row, 1, 1, 2);
    ++row;
    grid->addWidget(new QLabel(QStringLiteral("MP4体积：")), row, 0, Qt::AlignRight);
    grid->addWidget(mp4Size_, row, 1, 1, 2);
    ++row;
    grid->addWidget(new QLabel(QStringLiteral("录课视频路径：")), row, 0, Qt::AlignRight);
    grid->addWidget(path_, row, 1, 1, 2);
    ++row;
    grid->addWidget(choosePath_, row, 1);
    ++row;
    grid->addWidget(warning, row, 1, 1, 2);
    ++row;
    grid->addWidget(new QLabel(QStringLiteral("音频后延帧数：")), row, 0, Qt::AlignRight);
    grid->addWidget(audioDelay_, row, 1);
    ++row;
    grid->addWidget(resolution, row, 1);
    grid->addWidget(panes, row, 2);
    ++row;
    grid->addWidget(new QLabel(QStringLiteral("视频解码线程数：")), row, 0, Qt::AlignRight);
    grid->addWidget(threads_, row, 1, 1, 2);
    ++row;
    grid->addWidget(new QLabel(QStringLiteral("参数变更将在下次系统启动时生效")), row, 0, 1, 3);
    grid->setColumnStretch(2, 1);
    grid->setVerticalSpacing(10);

    auto* tabs = new QTabWidget;
    tabs->addTab(page, QStringLiteral("参数"));

    ok_->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addLayout(buttons);

    connect(bitRate_, &QComboBox::currentIndexChanged, this, &TFConfig::ShowSizes);
    connect(audioDelay_, &QComboBox::currentIndexChanged, this, &TFConfig::ShowSizes);
    connect(choosePath_, &QPushButton::clicked, this, &TFConfig::ChoosePath);
    connect(ok_, &QPushButton::clicked, this, [this] {
        bLoginOK = true;
        accept();
    });
    connect(cancel_, &QPushButton::clicked, this, [this] {
        bLoginOK = false;
        reject();
    });
    ShowSizes();
}

void TFConfig::initialize(const INIAnotherSet& s) {
    (s.clientCount == 5 ? six_ : four_)->setChecked(true);
    bitRate_->setCurrentIndex(EntryOfBitRate(s.videobitrate));
    ShowSizes();
    path_->setText(QString::fromStdString(s.storepath));
    audioDelay_->setCurrentIndex(
        s.nAudioDelay >= 0 && s.nAudioDelay < kAudioDelayEntries ? s.nAudioDelay : -1);
    (s.nYUVWidth == 1280 ? r720_ : r1080_)->setChecked(true);
    const int threadIndex = s.nDecoderThreadCount - 3;
    threads_->setCurrentIndex(threadIndex >= 0 && threadIndex < threads_->count() ? threadIndex
                                                                                  : -1);
    bLoginOK = false;
}

bool TFConfig::GetPAnother(INIAnotherSet& s) const {
    s.clientCount = six_->isChecked() ? 5 : 3;
    s.videobitrate = BitRateOfEntry(bitRate_->currentIndex());
    s.storepath = path_->text().toStdString();
    s.nAudioDelay = audioDelay_->currentIndex();
    if (r1080_->isChecked()) {
        s.nYUVWidth = 1920;
        s.nYUVHeight = 1080;
    } else {
        s.nYUVWidth = 1280;
        s.nYUVHeight = 720;
    }
    s.nDecoderThreadCount = threads_->currentIndex() + 3;
    return bLoginOK;
}

void TFConfig::ShowSizes() {
    const uint32_t video = VideoMBPerHour(BitRateOfEntry(bitRate_->currentIndex()));
    videoSize_->setText(QString::number(video) + QStringLiteral("M/小时"));
    mp4Size_->setText(QString::number(Mp4MBPerHour(video)) + QStringLiteral("M/小时"));
}

void TFConfig::ChoosePath() {
    const QString folder = picker_(this, QStringLiteral("请选择录课视频存储路径"));
    if (folder.isEmpty()) {
        return;
    }
    if (drives_.IsFixed(folder.toStdString())) {
        path_->setText(folder);
        return;
    }
    // Drives have no letters here: the message names the folder's drive by
    // the folder itself.
    ShowMessage("您选择的录像存储磁盘：\"" + folder.toStdString() +
                    "\" 不存在或不是硬盘，请重新选择",
                TMsgIcon::Information);
}

} // namespace tavrin
