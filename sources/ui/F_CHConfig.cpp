#include "sources/ui/F_CHConfig.h"

#include "base/Message.h"
#include "base/ui/ImageButton.h"
#include "sources/ui/F_ChooseIP.h"
#include "sources/ui/F_Native.h"
#include "sources/ui/SourceFileDialog.h"
#include "sources/ui/SourceKinds.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace tavrin {

namespace {

const char* const kMemoText = "如果需要将视频直播出去，请在此处输入目标服务器的rtmp推流\n"
                              "地址，一个合法的地址以   rtmp://   开始。";

QToolButton* MakeTab(const QString& text, QWidget* parent, const char* name) {
    auto* tab = new QToolButton(parent);
    tab->setObjectName(name);
    tab->setText(text);
    tab->setCheckable(true);
    tab->setAutoRaise(true); // flat until chosen
    tab->setToolButtonStyle(Qt::ToolButtonTextOnly);
    tab->setMinimumWidth(90);
    return tab;
}

} // namespace

TF_CHConfig::TF_CHConfig(TChannelAccessor access, QWidget* parent)
    : QDialog(parent, Qt::Tool), AccessOf(std::move(access)) {
    setObjectName("F_CHConfig");
    setWindowTitle(QStringLiteral("连接"));
    setFixedSize(416, 412);

    TabSource = MakeTab(QStringLiteral("视音频源"), this, "TabSource");
    TabPush = MakeTab(QStringLiteral("rtmp推流"), this, "TabPush");
    Tabs = new QButtonGroup(this);
    Tabs->setExclusive(true);
    Tabs->addButton(TabSource, kSourcePage);
    Tabs->addButton(TabPush, kPushPage);
    PageControl1 = new QStackedWidget(this);
    PageControl1->setObjectName("PageControl1");

    // Page "视音频源".
    auto* source = new QWidget(PageControl1);
    Comb_type = new QComboBox(source);
    Comb_type->setObjectName("Comb_type");
    for (const std::string& item : KindItems()) {
        Comb_type->addItem(QString::fromStdString(item));
    }
    Bt_CH = new QPushButton(QStringLiteral("选择..."), source);
    Bt_CH->setObjectName("Bt_CH");
    Button1 = new QPushButton(QStringLiteral("刷新"), source);
    Button1->setObjectName("Button1");
    lab_CH = new QLabel(source);
    lab_CH->setObjectName("lab_CH");
    lab_CH->setWordWrap(true);
    lab_CH->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lab_CH->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* kindRow = new QHBoxLayout;
    kindRow->addWidget(Comb_type, 1);
    kindRow->addWidget(Bt_CH);
    auto* sourceLayout = new QVBoxLayout(source);
    sourceLayout->setContentsMargins(0, 6, 0, 0);
    sourceLayout->addWidget(new QLabel(QStringLiteral("本通道视音频源"), source));
    sourceLayout->addLayout(kindRow);
    sourceLayout->addWidget(lab_CH, 1);
    auto* refreshRow = new QHBoxLayout;
    refreshRow->addStretch();
    refreshRow->addWidget(Button1);
    sourceLayout->addLayout(refreshRow);
    PageControl1->addWidget(source);

    // Page "rtmp推流".
    auto* push = new QWidget(PageControl1);
    Image11 = new TImageButton(kPushButtonTag, push, &nCurrentClickImageTAGID);
    Image11->setObjectName("Image11");
    Image11->setFixedSize(Image11->sizeHint());
    Bt_RTMPApp = new QPushButton(QStringLiteral("使用以下推流地址"), push);
    Bt_RTMPApp->setObjectName("Bt_RTMPApp");
    ME_RTMP = new QPlainTextEdit(push);
    ME_RTMP->setObjectName("ME_RTMP");
    ME_RTMP->setPlainText(QString::fromUtf8(kMemoText));
    auto* pushRow = new QHBoxLayout;
    pushRow->addWidget(Image11);
    pushRow->addStretch();
    pushRow->addWidget(Bt_RTMPApp);
    auto* pushLayout = new QVBoxLayout(push);
    // The dialog's own margin is enough; the memo keeps its two lines whole.
    pushLayout->setContentsMargins(0, 6, 0, 0);
    pushLayout->addLayout(pushRow);
    pushLayout->addWidget(ME_RTMP, 1);
    PageControl1->addWidget(push);

    auto* tabRow = new QHBoxLayout;
    tabRow->setSpacing(2);
    tabRow->addWidget(TabSource);
    tabRow->addWidget(TabPush);
    tabRow->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(tabRow);
    layout->addWidget(PageControl1, 1);

    connect(Tabs, &QButtonGroup::idClicked, this, [this](int id) { SelectPage(id); });
    connect(Bt_CH, &QPushButton::clicked, this, [this] { ChooseClicked(); });
    connect(Button1, &QPushButton::clicked, this, [this] { ShowCurrentSource(); });
    connect(Image11, &TImageButton::clicked, this, [this] { PushClicked(); });
    connect(Bt_RTMPApp, &QPushButton::clicked, this, [this] { UseAddressClicked(); });
    SelectPage(kSourcePage);
}

int TF_CHConfig::CurrentPage() const {
    return PageControl1->currentIndex();
}

void TF_CHConfig::SelectPage(int page) {
    PageControl1->setCurrentIndex(page);
    if (QAbstractButton* tab = Tabs->button(page)) {
        tab->setChecked(true);
    }
}

void TF_CHConfig::initialize(int CH) {
    nCH = CH;
    const bool channel = CH != 0;
    Comb_type->setEnabled(channel);
    Bt_CH->setEnabled(channel);
    Button1->setEnabled(channel);
    TabSource->setEnabled(channel);
    PageControl1->widget(kSourcePage)->setEnabled(channel);
    lab_CH->clear();
    Comb_type->setCurrentIndex(kKindNone);
    if (channel) {
        ShowCurrentSource();
    } else if (CurrentPage() == kSourcePage) {
        SelectPage(kPushPage); // re-used while shown
    }
    IChannelAccess* access = Access();
    if (access != nullptr && access->GetSendInfo(ClientSendInfo)) {
        if (!ClientSendInfo.rtmpURL.empty()) {
            ME_RTMP->setPlainText(QString::fromStdString(ClientSendInfo.rtmpURL));
        }
    }
    DrawPush(1);
}

void TF_CHConfig::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        FormShow();
    }
}

void TF_CHConfig::FormShow() {
    SelectPage(nCH == 0 ? kPushPage : kSourcePage);
}

void TF_CHConfig::ShowCurrentSource() {
    TClientInfo info;
    IChannelAccess* access = Access();
    if (access == nullptr || !access->GetConInfo(nCH, info)) {
        Comb_type->setCurrentIndex(kKindNone);
        lab_CH->clear();
        return;
    }
    Comb_type->setCurrentIndex(KindIndexForDeviceType(info.DeviceType));
    // The label breaks lines itself; a carriage return would show as a box.
    lab_CH->setText(QString::fromStdString(SourceLabelText(info)).remove('\r'));
}

void TF_CHConfig::ChooseClicked() {
    if (nCH == 0) {
        return;
    }
    const int kind = Comb_type->currentIndex();
    std::string text;
    switch (kind) {
    case kKindNetwork: {
        TF_ChooseIP dialog(this);
        dialog.exec();
        if (!dialog.bIP) {
            return;
        }
        text = dialog.sIP;
        break;
    }
    case kKindDevice: {
        TF_Native dialog(this);
        dialog.exec();
        if (!dialog.bChooseOK || dialog.sVideoDeviceName.empty()) {
            return; // without a camera there is nothing to show
        }
        // Camera alone when there is no microphone: a trailing "|" would
        // make the manager refuse the whole connection.
        text = dialog.sVideoDeviceName;
        if (!dialog.sAudioDeviceName.empty()) {
            text.append(1, '|').append(dialog.sAudioDeviceName);
        }
        break;
    }
    case kKindMp4: {
        const QString file = ChooseSourceFile(this, kMp4FileChoice);
        if (file.isEmpty()) {
            return;
        }
        text = file.toStdString();
        break;
    }
    case kKindImage: {
        const QString image = ChooseSourceFile(this, kPictureFileChoice);
        if (image.isEmpty()) {
            return;
        }
        text = image.toStdString();
        const QString music = ChooseSourceFile(this, kMp3FileChoice);
        if (!music.isEmpty()) {
            text.append(1, '|').append(music.toStdString());
        }
        break;
    }
    default:
        return;
    }
    // Fetched only now: capture mode may have ended while a dialog was open.
    if (IChannelAccess* access = Access()) {
        access->ConnectThis(text, nCH, ConnectTypeForKind(kind));
    }
    ShowCurrentSource();
}

void TF_CHConfig::PushClicked() {
    IChannelAccess* access = Access();
    if (access == nullptr || !access->GetSendInfo(ClientSendInfo)) {
        return;
    }
    Image11->RememberClick();
    if (!ClientSendInfo.rtmpURL.empty()) {
        access->SetSendPause(!ClientSendInfo.bPause);
        DrawPush(1);
    } else {
        ShowMessage("请先设置推流地址", TMsgIcon::Information);
    }
}

void TF_CHConfig::UseAddressClicked() {
    // Blanks and line breaks around a pasted address are not part of it.
    const std::string text = ME_RTMP->toPlainText().trimmed().toStdString();
    if (text.empty() || !IsRtmpAddress(text)) {
        ShowMessage("rtmp推流地址需要以  rtmp://  开始，请重新输入", TMsgIcon::Information);
        return;
    }
    if (IChannelAccess* access = Access()) {
        access->refreshURL(PushAddress(text));
    }
    DrawPush(1);
}

void TF_CHConfig::showRtmpState() {
    DrawPush(2);
}

void TF_CHConfig::DrawPush(int state) {
    IChannelAccess* access = Access();
    const bool sender = access != nullptr && access->GetSendInfo(ClientSendInfo);
    Image11->SetRunning(sender && !ClientSendInfo.rtmpURL.empty() && !ClientSendInfo.bPause);
    Image11->ShowState(state);
}

} // namespace tavrin
