#include "base/ui/F_progress.h"

#include "base/Message.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QThread>
#include <QVBoxLayout>

namespace tavrin {

namespace {

void RepaintNow() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace

TF_progress::TF_progress(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      label_(new QLabel(QStringLiteral("进度："), this)), bar_(new QProgressBar(this)) {
    setWindowTitle(QString::fromUtf8(kAppTitle.data(), int(kAppTitle.size())));
    setFixedSize(356, 61);
    bar_->setRange(0, 100);
    bar_->setValue(0);
    bar_->setTextVisible(false);
    bar_->setFixedHeight(16);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 8, 12, 6);
    layout->addWidget(label_, 1);
    layout->addWidget(bar_);
}

void TF_progress::initialize(const QString& sName, int nPos) {
    label_->setText(sName);
    bar_->setValue(nPos);
    RepaintNow();
}

void TF_progress::setPos(int nPos) {
    bar_->setValue(nPos);
    RepaintNow();
}

QString TF_progress::Text() const {
    return label_->text();
}

int TF_progress::Pos() const {
    return bar_->value();
}

struct TStorePrepareProgress::State {
    std::unique_ptr<TF_progress> window;
    bool shown = false;
    bool closed = false;
};

TStorePrepareProgress::TStorePrepareProgress() : state_(std::make_shared<State>()) {}

TStorePrepareProgress::~TStorePrepareProgress() {
    state_->window.reset();
    state_->closed = true;
}

std::function<void(int)> TStorePrepareProgress::Callback() {
    std::weak_ptr<State> weak = state_;
    return [weak](int percent) {
        const std::shared_ptr<State> state = weak.lock();
        // Windows belong to the GUI thread; a report from elsewhere is dropped.
        if (!state || state->closed || QCoreApplication::instance() == nullptr ||
            QThread::currentThread() != QCoreApplication::instance()->thread()) {
            return;
        }
        if (percent >= 100) {
            state->window.reset();
            state->closed = true;
            return;
        }
        if (!state->window) {
            state->window = std::make_unique<TF_progress>();
            state->window->show();
            state->shown = true;
            state->window->initialize(QStringLiteral("正在准备录课数据..."), percent);
            return;
        }
        state->window->setPos(percent);
    };
}

bool TStorePrepareProgress::WasShown() const {
    return state_->shown;
}

} // namespace tavrin
