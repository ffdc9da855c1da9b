// The connection window of a channel: what feeds it (kind, source, refresh)
// and, on a second page, the address the programme is pushed live to, with
// the push button. Created once and hidden; the main window calls
// initialize(CH) and shows it (modeless) whenever a channel's connection is
// asked for. Channel 0, the programme, can only use the push page.
//
// Hooking it into a window that owns capture mode:
//   auto access = MakeChannelAccessor([..] { return the manager or null; },
//                                     [..] { return the sender or null; });
//   auto* chConfig = new TF_CHConfig(access, mainWindow);   // hidden
//   show for ch:      chConfig->initialize(ch); chConfig->show(); chConfig->raise();
//   pane changed:     if (chConfig->isVisible()) chConfig->initialize(ch);
//   push state:       chConfig->showRtmpState();
//   MP4 position:     TF_Mp4Adjust d(access, mainWindow); d.setCH(ch); d.exec();
#pragma once

#include "output/ClientSendInfo.h"
#include "sources/ui/ChannelAccess.h"

#include <QDialog>

class QButtonGroup;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QToolButton;

namespace tavrin {

class TImageButton;

class TF_CHConfig : public QDialog {
    Q_OBJECT

public:
    enum : int { kSourcePage = 0, kPushPage = 1 };
    static constexpr int kPushButtonTag = 10;

    explicit TF_CHConfig(TChannelAccessor access, QWidget* parent = nullptr);

    // Prepares the window for a channel (0: the programme).
    void initialize(int CH);
    // Redraws the push button under the mouse, in the sender's look.
    void showRtmpState();
    // Selects the first page the channel can use.
    void FormShow();

    int CurrentPage() const;
    void SelectPage(int page);

    TClientSendInfo ClientSendInfo;
    int nCH = 0;
    int nCurrentClickImageTAGID = -1;

    QToolButton* TabSource; // "视音频源"
    QToolButton* TabPush;   // "rtmp推流"
    QStackedWidget* PageControl1;
    QComboBox* Comb_type;
    QPushButton* Bt_CH;   // "选择..."
    QPushButton* Button1; // "刷新"
    QLabel* lab_CH;
    TImageButton* Image11;
    QPushButton* Bt_RTMPApp; // "使用以下推流地址"
    QPlainTextEdit* ME_RTMP;

protected:
    void showEvent(QShowEvent* event) override;

private:
    IChannelAccess* Access() const { return AccessOf ? AccessOf() : nullptr; }
    void ShowCurrentSource();
    void ChooseClicked();
    void PushClicked();
    void UseAddressClicked();
    // Draws the push button in state 1..3; the running look is added while
    // the sender has an address and is not paused.
    void DrawPush(int state);

    TChannelAccessor AccessOf;
    QButtonGroup* Tabs;
};

} // namespace tavrin
