#include "sources/ui/F_Native.h"

#include "sources/AudioClient.h"
#include "sources/VideoClient.h"
#include "sources/ui/PixChoice.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace tavrin {

TNativePanel::TNativePanel(QWidget* parent) : QWidget(parent) {
    // A window of its own for SDL, never painted over by Qt.
    setAttribute(Qt::WA_NativeWindow);
    setAttribute(Qt::WA_PaintOnScreen);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

TF_Native::TF_Native(QWidget* parent) : QDialog(parent) {
    setObjectName("F_Native");
    setWindowTitle(QStringLiteral("本机设备检测"));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setFixedSize(443, 481);

    CB_camera = new QComboBox(this);
    CB_camera->setObjectName("CB_camera");
    CB_Pix = new QComboBox(this);
    CB_Pix->setObjectName("CB_Pix");
    PDisp = new TNativePanel(this);
    PDisp->setObjectName("PDisp");
    PDisp->setFixedSize(400, 225);
    CheckBox1 = new QCheckBox(QStringLiteral("使用麦克风"), this);
    CheckBox1->setObjectName("CheckBox1");
    CheckBox1->setChecked(true);
    CheckBox1->setEnabled(false);
    PBar = new QProgressBar(this);
    PBar->setObjectName("PBar");
    PBar->setRange(0, 100);
    PBar->setValue(0);
    PBar->setTextVisible(false);
    PBar->setFixedHeight(12);
    CB_Mic = new QComboBox(this);
    CB_Mic->setObjectName("CB_Mic");
    BtTest = new QPushButton(QStringLiteral("看效果"), this);
    BtTest->setObjectName("BtTest");
    BtOK = new QPushButton(QStringLiteral("确定"), this);
    BtOK->setObjectName("BtOK");
    BtOK->setDefault(true);
    BtCancel = new QPushButton(QStringLiteral("取消"), this);
    BtCancel->setObjectName("BtCancel");

    auto* choices = new QGridLayout;
    choices->addWidget(new QLabel(QStringLiteral("选择摄像头"), this), 0, 0);
    choices->addWidget(CB_camera, 0, 1);
    choices->addWidget(new QLabel(QStringLiteral("选择分辨率"), this), 1, 0);
    choices->addWidget(CB_Pix, 1, 1);
    choices->setColumnStretch(1, 1);
    auto* mic = new QHBoxLayout;
    mic->addWidget(CheckBox1);
    mic->addWidget(PBar, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(BtTest);
    buttons->addStretch();
    buttons->addWidget(BtOK);
    buttons->addWidget(BtCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(choices);
    layout->addWidget(PDisp, 0, Qt::AlignHCenter);
    layout->addLayout(mic);
    layout->addWidget(CB_Mic);
    layout->addStretch();
    layout->addLayout(buttons);

    TNativeDevice& devices = TNativeDevice::Instance();
    nVCount = devices.GetInfoList_V(pV);
    nACount = devices.GetInfoList_A(pA);
    for (const TNativeDeviceInfo_Video& v : pV) {
        CB_camera->addItem(QString::fromStdString(v.sName));
    }
    for (const TNativeDeviceInfo_Audio& a : pA) {
        CB_Mic->addItem(QString::fromStdString(a.sName));
    }
    CB_camera->setCurrentIndex(nVCount > 0 ? 0 : -1);
    CB_Mic->setCurrentIndex(nACount > 0 ? 0 : -1);
    FillSizes();

    connect(CB_camera, &QComboBox::currentIndexChanged, this, [this] { FillSizes(); });
    connect(BtTest, &QPushButton::clicked, this, [this] { StartTest(); });
    connect(BtOK, &QPushButton::clicked, this, [this] { OkClicked(); });
    connect(BtCancel, &QPushButton::clicked, this, [this] {
        bChooseOK = false;
        reject();
    });
    connect(CheckBox1, &QCheckBox::toggled, PBar, &QWidget::setVisible);
    connect(&Timer1, &QTimer::timeout, this, [this] { TimerTick(); });
    Timer1.start(200);
}

TF_Native::~TF_Native() {
    StopTest();
}

void TF_Native::done(int r) {
    StopTest();
    QDialog::done(r);
}

void TF_Native::FillSizes() {
    CB_Pix->clear();
    const int cam = CB_camera->currentIndex();
    const std::vector<TPixInfo> none;
    const std::vector<TPixInfo>& sizes =
        cam >= 0 && cam < nVCount ? pV[size_t(cam)].aPixInfo : none;
    for (const std::string& item : PixItems(sizes)) {
        CB_Pix->addItem(QString::fromStdString(item));
    }
    CB_Pix->setCurrentIndex(DefaultPixIndex(sizes));
}

void TF_Native::StartTest() {
    StopTest();
    const int cam = CB_camera->currentIndex();
    const int pix = CB_Pix->currentIndex();
    if (cam >= 0 && cam < nVCount && pix >= 0 && pix < int(pV[size_t(cam)].aPixInfo.size())) {
        const TPixInfo& size = pV[size_t(cam)].aPixInfo[size_t(pix)];
        VideoClient = std::make_unique<TVideoClient>();
        // An open failure leaves the thread idle and the panel dark.
        VideoClient->initialize(TVideoClient::kTypePreview, TNativeWindow(PDisp->winId()),
                                pV[size_t(cam)], size.width, size.height, size.frameCount, 25, 0, 0,
                                PDisp->width(), PDisp->height(), nullptr);
        VideoClient->Start();
    }
    const int mic = CB_Mic->currentIndex();
    if (mic >= 0 && mic < nACount) {
        AudioClient = std::make_unique<TAudioClient>();
        AudioClient->initialize(TAudioClient::kTypeLevel, pA[size_t(mic)], nullptr);
        AudioClient->Start();
    }
}

void TF_Native::StopTest() {
    if (VideoClient) {
        VideoClient->Destroy();
        VideoClient.reset();
    }
    if (AudioClient) {
        AudioClient->Destroy();
        AudioClient.reset();
    }
}

void TF_Native::TimerTick() {
    if (AudioClient) {
        PBar->setValue(AudioClient->GetMaxVolume());
    }
}

void TF_Native::OkClicked() {
    const int cam = CB_camera->currentIndex();
    const int mic = CB_Mic->currentIndex();
    TNativeDevice::Instance().SetCurrentIndex(cam, CB_Pix->currentIndex(), mic);
    sVideoDeviceName = cam >= 0 && cam < nVCount ? pV[size_t(cam)].sName : std::string();
    sAudioDeviceName = mic >= 0 && mic < nACount ? pA[size_t(mic)].sName : std::string();
    bChooseOK = true;
    accept();
}

} // namespace tavrin
