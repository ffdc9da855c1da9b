#include "app/MainBars.h"

#include "app/ActionSet.h"
#include "app/PaneGeometry.h"
#include "app/WindowTexts.h"
#include "base/ui/ImageButton.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QWidget>

namespace tavrin {

TMainBars::TMainBars(QWidget& window, const TActionSet& actions) : QObject(&window) {
    captureBar = Build(window, actions, TBar::Capture);
    replayBar = Build(window, actions, TBar::Replay);
    offsetBox = new QComboBox(replayBar);
    offsetBox->setObjectName("AudioOffset");
    for (const std::string& entry : AudioOffsetEntries()) {
        offsetBox->addItem(QString::fromStdString(entry));
    }
    offsetBox->setFocusPolicy(Qt::ClickFocus);
    static_cast<QHBoxLayout*>(replayBar->layout())->insertWidget(6, offsetBox);
    connect(offsetBox, &QComboBox::activated, this,
            [this](int k) { emit AudioOffsetChosen(AudioOffsetOfEntry(k)); });
    HideBars();
}

QWidget* TMainBars::Build(QWidget& window, const TActionSet& actions, TBar bar) {
    auto* panel = new QWidget(&window);
    panel->setObjectName(bar == TBar::Capture ? "Panel_Capture" : "Panel_Replay");
    panel->setAutoFillBackground(true);
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(4, 0, 4, 0);
    row->setSpacing(2);
    for (const TActionEntry& e : MainActionTable()) {
        if (e.bar != bar) {
            continue;
        }
        if (e.action == TMainAction::Chooser) {
            row->addStretch(1); // chooser and main menu sit at the right end
        }
        QAction* action = actions.Of(e);
        auto* b = new TImageButton(e.tag, panel, &nClickTag);
        b->setObjectName(QString("Button_%1").arg(e.tag));
        b->setToolTip(action->toolTip());
        connect(b, &QAbstractButton::clicked, this, [this, action, b] {
            clickingButton = b;
            action->trigger();
            clickingButton = nullptr;
        });
        const TToggleLook look = e.look;
        connect(action, &QAction::toggled, b, [b, look](bool on) {
            if (look == TToggleLook::Running) {
                b->SetRunning(on);
            } else if (look == TToggleLook::Latched) {
                b->SetLatched(on);
            }
        });
        row->addWidget(b);
    }
    return panel;
}

void TMainBars::ShowCaptureBar() {
    replayBar->hide();
    captureBar->show();
}

void TMainBars::ShowReplayBar() {
    captureBar->hide();
    replayBar->show();
}

void TMainBars::HideBars() {
    captureBar->hide();
    replayBar->hide();
}

void TMainBars::Layout(int width, int height) {
    const QRect r(0, height - kBarHeight, width, kBarHeight);
    captureBar->setGeometry(r);
    replayBar->setGeometry(r);
}

void TMainBars::ClickOpensModal() {
    if (clickingButton != nullptr) {
        clickingButton->RememberClick();
    }
}

void TMainBars::ShowAudioDelay(int nAudioDelay) {
    offsetBox->setCurrentIndex(AudioOffsetEntryFor(nAudioDelay));
}

int TMainBars::AudioOffset() const {
    return AudioOffsetOfEntry(offsetBox->currentIndex());
}

} // namespace tavrin
