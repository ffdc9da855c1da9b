#include "app/MainPanes.h"

#include "app/CaptureMode.h"
#include "app/DispPanel.h"
#include "sources/CaptureSession.h"

#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QWidget>

namespace tavrin {

namespace {

QRect ToQRect(const TPaneRect& r) {
    return QRect(r.x, r.y, r.w, r.h);
}

TPaneInput InputOf(const TDispPanel* pane, const QMouseEvent* event) {
    TPaneInput in;
    in.tag = pane->Tag();
    in.pos = event->position().toPoint();
    in.global = event->globalPosition().toPoint();
    in.paneW = pane->width();
    in.paneH = pane->height();
    in.bLeft = event->button() == Qt::LeftButton;
    in.bRight = event->button() == Qt::RightButton;
    in.bLeftHeld = (event->buttons() & Qt::LeftButton) != 0;
    in.bCtrl = (event->modifiers() & Qt::ControlModifier) != 0;
    return in;
}

TCapturePane PortOf(TDispPanel* p) {
    return TCapturePane{p->NativeHandle(), SDL_Rect{0, 0, p->width(), p->height()}};
}

} // namespace

TMainPanes::TMainPanes(QWidget& w, std::function<TCaptureMode*()> c,
                       std::function<void(TNativeWindow)> e)
    : QObject(&w), window(w), captureNow(std::move(c)), exposed(std::move(e)) {
    replayPane = new TDispPanel(0, &window);
    replayPane->setObjectName("Panel_ReplayArea");
    connect(replayPane, &TDispPanel::Exposed, this,
            [this](TDispPanel* pane) { exposed(pane->NativeHandle()); });
    replayPane->hide();
}

TMainPanes::~TMainPanes() {
    Free();
}

void TMainPanes::Connect(TDispPanel* pane) {
    const auto forward = [this](void (TCaptureMode::*gesture)(const TPaneInput&)) {
        return [this, gesture](TDispPanel* p, QMouseEvent* event) {
            if (TCaptureMode* capture = captureNow()) {
                (capture->*gesture)(InputOf(p, event));
            }
        };
    };
    connect(pane, &TDispPanel::Pressed, this, forward(&TCaptureMode::PanePressed));
    connect(pane, &TDispPanel::Released, this, forward(&TCaptureMode::PaneReleased));
    connect(pane, &TDispPanel::DoubleClicked, this, forward(&TCaptureMode::PaneDoubleClicked));
    connect(pane, &TDispPanel::Moved, this, forward(&TCaptureMode::PaneMoved));
    connect(pane, &TDispPanel::Exposed, this,
            [this](TDispPanel* p) { exposed(p->NativeHandle()); });
}

void TMainPanes::Create(int nChannels) {
    Free();
    for (int i = 0; i <= nChannels; ++i) {
        auto* pane = new TDispPanel(i, &window);
        pane->setObjectName(QString("DispPanel_%1").arg(i));
        Connect(pane);
        panes.push_back(pane);
    }
    LayoutCapture(0, 0, nullptr);
    for (TDispPanel* pane : panes) {
        pane->show();
    }
}

void TMainPanes::Free() {
    for (TDispPanel* pane : panes) {
        delete pane;
    }
    panes.clear();
}

TDispPanel* TMainPanes::Pane(int i) const {
    return i >= 0 && size_t(i) < panes.size() ? panes[size_t(i)] : nullptr;
}

TCapturePane TMainPanes::CapturePane(int i) const {
    const TPaneRect& r = grid.panes[size_t(i)];
    return {Pane(i)->NativeHandle(), SDL_Rect{0, 0, r.w, r.h}};
}

void TMainPanes::LayoutCapture(uint32_t port, uint32_t dispMode, TCaptureSession* session) {
    const int nChannels = int(panes.size()) - 1;
    if (panes.empty() ||
        !GridLayout(window.width(), window.height(), kBarHeight, nChannels, grid)) {
        return;
    }
    for (size_t i = 0; i < panes.size(); ++i) {
        panes[i]->setGeometry(ToQRect(grid.panes[i]));
    }
    if (dispMode == 1 && port < panes.size()) {
        panes[port]->setGeometry(ToQRect(grid.DispOne));
    }
    if (session == nullptr) {
        return;
    }
    PortsFollowPanes(*session);
    for (size_t i = 0; i < panes.size(); ++i) {
        const bool visible = dispMode == 0 || i == port;
        panes[i]->hide();
        panes[i]->setVisible(visible);
    }
}

void TMainPanes::PortsFollowPanes(TCaptureSession& session) {
    std::vector<TCapturePane> channels;
    for (size_t i = 1; i < panes.size(); ++i) {
        channels.push_back(PortOf(panes[i]));
    }
    session.Relayout(PortOf(panes[0]), channels);
}

void TMainPanes::ShowOne(int i, TCaptureSession& session) {
    for (TDispPanel* p : panes) {
        p->hide();
    }
    Pane(i)->setGeometry(ToQRect(grid.DispOne));
    PortsFollowPanes(session);
    Pane(i)->show();
}

void TMainPanes::ShowAll(int i, TCaptureSession& session) {
    Pane(i)->setGeometry(ToQRect(grid.panes[size_t(i)]));
    PortsFollowPanes(session);
    for (TDispPanel* p : panes) {
        p->show();
    }
}

void TMainPanes::Drag(int i) {
    TDispPanel* pane = Pane(i);
    if (pane == nullptr) {
        return;
    }
    // The programme is dragged as the pane's number; no place of the
    // console takes it, so the drag ends where it was dropped.
    auto* drag = new QDrag(pane);
    auto* data = new QMimeData;
    data->setData("application/x-tavrin-pane", QByteArray::number(pane->Tag()));
    drag->setMimeData(data);
    drag->exec(Qt::MoveAction);
}

TPaneRect TMainPanes::FrameRect(int i) const {
    const TDispPanel* pane = Pane(i);
    if (pane == nullptr) {
        return {};
    }
    const QRect g = pane->geometry();
    return {g.x() - 1, g.y() - 1, g.width() + 2, g.height() + 2};
}

void TMainPanes::ShowReplayPane(bool show) {
    replayPane->setVisible(show);
}

TPaneRect TMainPanes::LayoutReplay() {
    const TPaneRect pane = ReplayPaneRect(window.width(), window.height(), kBarHeight);
    replayPane->setGeometry(ToQRect(pane));
    return pane;
}

TNativeWindow TMainPanes::ReplayWindow() {
    return replayPane->NativeHandle();
}

} // namespace tavrin
