#include "app/MainBars.h"

#include "app/PaneGeometry.h"
#include "app/WindowTexts.h"
#include "base/ui/ImageButton.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QWidget>

namespace tavrin {

TMainBars::TMainBars(QWidget& window, std::function<void(TMainAction)> r)
    : QObject(&window), run(std::move(r)) {
    captureBar = Build(window, TBar::Capture);
    replayBar = Build(window, TBar::Replay);
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

QWidget* TMainBars::Build(QWidget& window, TBar bar) {
    auto* panel = new QWidget(&window);
    panel->setObjectName(bar == TBar::Capture ? "Panel_Capture" : "Panel_Replay");
    panel->setAutoFillBackground(true);
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(4, 0, 4, 0);
    row->setSpacing(2);
    auto& buttons = bar == TBar::Capture ? captureButtons : replayButtons;
    for (const TActionEntry& e : MainActionTable()) {
        if (e.bar != bar) {
            continue;
        }
        if (e.action == TMainAction::Chooser) {
            row->addStretch(1); // chooser and main menu sit at the right end
        }
        auto* b = new TImageButton(e.tag, panel, &nClickTag);
        b->setObjectName(QString("Button_%1").arg(e.tag));
        const TMainAction action = e.action;
        connect(b, &QAbstractButton::clicked, this, [this, action, b] {
            clickingButton = b;
            run(action);
            clickingButton = nullptr;
        });
        row->addWidget(b);
        buttons.push_back(b);
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

TImageButton* TMainBars::Button(TBar bar, int tag) const {
    for (TImageButton* b : bar == TBar::Capture ? captureButtons : replayButtons) {
        if (b->Tag() == tag) {
            return b;
        }
    }
    return nullptr;
}

void TMainBars::ShowToggle(TMainAction action, bool on) {
    for (TBar bar : {TBar::Capture, TBar::Replay}) {
        const TActionEntry* e = EntryOf(bar, action);
        TImageButton* b = e != nullptr ? Button(bar, e->tag) : nullptr;
        if (b == nullptr) {
            continue;
        }
        if (e->look == TToggleLook::Running) {
            b->SetRunning(on);
        } else if (e->look == TToggleLook::Latched) {
            b->SetLatched(on);
        }
    }
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
