#include "app/FMain.h"

#include "app/SavedConnections.h"
#include "app/WindowTexts.h"
#include "base/Message.h"
#include "base/ProgramDir.h"
#include "base/Trace.h"
#include "base/ui/WindowPlacement.h"
#include "compose/ScreenLayout.h"
#include "compose/editor/F_EditProject.h"
#include "compose/editor/PlanEditorLauncher.h"
#include "decode/SdlHandles.h"
#include "sources/ui/F_CHConfig.h"
#include "sources/ui/F_Mp4Adjust.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindowStateChangeEvent>
#include <SDL.h>
#include <cstdlib>

namespace tavrin {

namespace {

const QColor kBackground(38, 38, 38);
const QColor kFrameGreen(0, 187, 0);

bool DefaultInitSdl() {
    SetSdlProcessHints();
    // The panes are X windows; SDL must not pick another video driver.
    if (std::getenv("SDL_VIDEODRIVER") == nullptr) {
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    }
    return SDL_InitSubSystem(SDL_INIT_TIMER | SDL_INIT_VIDEO) == 0;
}

QRect ToQRect(const TPaneRect& r) {
    return QRect(r.x, r.y, r.w, r.h);
}

} // namespace

TFMain::TFMain(TMainHooks h, QWidget* parent) : QWidget(parent), hooks(std::move(h)) {
    setWindowTitle(QString::fromUtf8(kAppTitle.data(), int(kAppTitle.size())));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kBackground);
    setPalette(pal);
    resize(1024, 684);
    // The other windows open over this one once it shows.
    SetConsoleWindow(this);
    actions = new TActionSet(this, [this](TMainAction action) { DoAction(action); });
    bars = new TMainBars(*this, *actions);
    connect(bars, &TMainBars::AudioOffsetChosen, this, [this](int offset) {
        if (CurrentWorkMode() == kModeReplay) {
            replay->SetAudioOffset(offset);
        }
    });
    // Live panes are drawn again with their next picture anyway; a paused
    // replay or a file at its end would keep the hole.
    panes = new TMainPanes(
        *this, [this] { return CaptureNow(); },
        [this](TNativeWindow window) {
            if (capture && capture->HasManager()) {
                capture->Session().RedrawPane(window);
            }
            if (replay) {
                replay->RedrawPane(window);
            }
        });
    Timer1.setInterval(1000);
    connect(&Timer1, &QTimer::timeout, this, [this] { OnTimer(); });

    TStartupEnv env;
    env.iniPath = hooks.iniPath.empty() ? SettingsFile() : hooks.iniPath;
    hooks.iniPath = env.iniPath;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        env.screenWidth = uint32_t(screen->size().width());
        env.screenHeight = uint32_t(screen->size().height());
    }
    env.drives = hooks.drives;
    env.InitSdl = hooks.InitSdl ? hooks.InitSdl : DefaultInitSdl;
    env.SignIn = hooks.SignIn;
    if (!RunStartup(env, st)) {
        return;
    }
    nChannels = ClientCount();
    captureKept.bAutoAdjust.assign(size_t(nChannels) + 1, true);
    captureKept.connections.Start(hooks.iniPath, nChannels);
    resize(int(st.settings.cWidth), int(st.settings.cHeight));
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "1");
    bars->Layout(width(), height());
    // The channel windows reach capture mode only through this accessor,
    // asked anew on every use.
    channelAccess = MakeSessionAccessor([this]() -> TCaptureSession* {
        return CurrentWorkMode() == kModeCapture ? &capture->Session() : nullptr;
    });
    chConfig = new TF_CHConfig(channelAccess, this);
    chConfig->hide();
    menus = new TMainMenu(*this, hooks.drives != nullptr ? *hooks.drives : systemDrives, *actions,
                          [this] { bars->ClickOpensModal(); });
    setEnabled(false);
    bStarted = true;
    status = std::make_unique<TCaptureStatus>(static_cast<IStatusHost&>(*this), font(), this);
    keys = std::make_unique<TKeyDirector>(static_cast<IKeyHost&>(*this));
}

TFMain::~TFMain() {
    Timer1.stop();
    planEditor.reset();
    // The session hands the scene runtime's output back when it stops: it
    // goes before the runtime.
    capture.reset();
    replay.reset();
    st.layout.reset();
    panes->Free();
}

// --- start-up and the timer ------------------------------------------------

void TFMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (bStarted && !Timer1.isActive()) {
        Timer1.start();
    }
}

void TFMain::OnTimer() {
    if (bInFirstTick) {
        return;
    }
    if (!bHasIni) {
        FirstTick();
        return;
    }
    if (status) {
        status->Tick();
    }
    if (CurrentWorkMode() == kModeCapture) {
        capture->KeepConnections();
    }
}

void TFMain::FirstTick() {
    bHasIni = true;
    bInFirstTick = true;
    Tvo_FromServer chosen;
    const int mode = hooks.ChooseLession ? hooks.ChooseLession(-1, chosen) : kModeNone;
    if (mode == kModeNone) {
        Trace("no lesson chosen: the console ends");
        bInFirstTick = false;
        Timer1.stop();
        EndProcess();
        close();
        return;
    }
    if (mode != CurrentWorkMode() || chosen.LI.LessionID != CurrentPvo.LI.LessionID) {
        UseChoice(mode, chosen);
    }
    bars->Layout(width(), height());
    setEnabled(true);
    bInFirstTick = false;
}

void TFMain::UseChoice(int mode, const Tvo_FromServer& chosen) {
    ChosenPvo = chosen;
    // The first choice is shown even when its mode failed to open; a failed
    // switch from the bar keeps the lesson shown before.
    if (SwitchMode(*this, mode, chosen.LI.LessionID) != 0 && !bInFirstTick) {
        return;
    }
    CurrentPvo = chosen;
    setWindowTitle(QString::fromStdString(MainCaption(chosen.LI)));
    if (CurrentWorkMode() == kModeCapture) {
        capture->OfferLastConnections();
    }
}

// --- modes -----------------------------------------------------------------

int TFMain::CurrentWorkMode() const {
    if (nCurrentMode == kModeCapture && capture && capture->HasManager()) {
        return kModeCapture;
    }
    if (nCurrentMode == kModeReplay && replay) {
        return kModeReplay;
    }
    return kModeNone;
}

int TFMain::EnterCapture(int32_t nLession) {
    nCurrentMode = kModeNone;
    update();
    panes->ShowReplayPane(false);
    bars->ShowCaptureBar();
    CurrentPvo = ChosenPvo;

    TLessionInfo lesson = CurrentPvo.LI;
    lesson.LessionID = nLession;
    TCaptureSessionConfig config =
        TCaptureMode::ConfigFor(st.settings.another, *st.paths, lesson, nChannels, st.layout.get());
    capture = std::make_unique<TCaptureMode>(static_cast<IMainView&>(*this), captureKept);
    panes->Create(nChannels);
    config.programme = panes->CapturePane(0);
    for (int i = 1; i <= nChannels; ++i) {
        config.panes.push_back(panes->CapturePane(i));
    }
    if (const int r = capture->Open(config); r < 0) {
        const std::string dir = capture->Session().CaptureDir();
        capture.reset();
        panes->Free();
        TCaptureMode::ShowOpenFailure(r, dir);
        return r;
    }
    nCurrentMode = kModeCapture;
    // Taken away only when the window closes: a run that ends otherwise
    // leaves it, and the next start offers its channels again.
    MarkCaptureRunning(hooks.iniPath, true);
    st.layout->relaodProject(false);
    update();
    return 0;
}

void TFMain::LeaveCapture() {
    // Recording ends first, the live sender last.
    capture.reset();
    bars->HideBars();
    panes->Free();
    nCurrentMode = kModeNone;
}

int TFMain::EnterReplay(int32_t nLession) {
    nCurrentMode = kModeNone;
    bars->ShowReplayBar();
    panes->ShowReplayPane(true);
    update();
    LayoutReplayPane();

    replay = std::make_unique<TReplayMode>(*st.paths, static_cast<IMainView&>(*this));
    // The worker hands its ruler redraws to this thread and waits for them;
    // ending the worker makes a pending one give way, so none outlives it.
    const int r =
        replay->Open(nLession, panes->ReplayWindow(), ReplayPaneRect(width(), height(), kBarHeight),
                     RulerRect(), this, [this] { RepaintRuler(); });
    if (r < 0) {
        replay.reset();
        return r;
    }
    bars->ShowAudioDelay(st.settings.another.nAudioDelay);
    nCurrentMode = kModeReplay;
    replay->Start(11);
    update();
    return 0;
}

void TFMain::LeaveReplay() {
    panes->ShowReplayPane(false);
    bars->HideBars();
    replay.reset();
    nCurrentMode = kModeNone;
    update();
}

// --- what the controllers and the status lines see --------------------------

QRect TFMain::PaneGeometry(int i) const {
    const TPaneRect f = panes->FrameRect(i);
    return f.w > 0 ? QRect(f.x + 1, f.y + 1, f.w - 2, f.h - 2) : QRect();
}

void TFMain::RepaintRuler() {
    update(ToQRect(RulerRect()));
}

void TFMain::RepaintPaneFrame(int i) {
    update(ToQRect(panes->FrameRect(i)));
}

void TFMain::ShowOnePane(int i) {
    panes->ShowOne(i, capture->Session());
    update();
}

void TFMain::ShowAllPanes(int i) {
    panes->ShowAll(i, capture->Session());
    update();
}

void TFMain::FollowChannelWindow(int nChannel) {
    if (chConfig->isVisible()) {
        chConfig->initialize(nChannel);
    }
}

void TFMain::OpenMp4Position(int nChannel) {
    if (CurrentWorkMode() == kModeCapture) {
        TF_Mp4Adjust position(channelAccess, this);
        position.setCH(nChannel);
        position.exec();
    }
}

// --- layout and painting ---------------------------------------------------

void TFMain::LayoutCapturePanes() {
    const bool live = capture && capture->HasManager();
    panes->LayoutCapture(live ? capture->CurrentPort() : 0, live ? capture->DispMode() : 0,
                         live ? &capture->Session() : nullptr);
}

void TFMain::LayoutReplayPane() {
    const TPaneRect pane = panes->LayoutReplay();
    if (replay) {
        replay->Resize(pane, RulerRect());
    }
}

void TFMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!bStarted) {
        return;
    }
    bars->Layout(width(), height());
    if (!bHasIni) {
        return; // nothing is laid out or saved before the first tick
    }
    if (CurrentWorkMode() == kModeCapture) {
        LayoutCapturePanes();
    } else if (CurrentWorkMode() == kModeReplay) {
        LayoutReplayPane();
    }
    SaveWindowSize(hooks.iniPath, uint32_t(width()), uint32_t(height()));
}

void TFMain::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), kBackground);
    if (CurrentWorkMode() == kModeCapture && capture->DispMode() == 0) {
        const TPaneRect f = panes->FrameRect(int(capture->CurrentPort()));
        if (f.w > 0) {
            p.setPen(kFrameGreen);
            p.drawRect(f.x, f.y, f.w - 1, f.h - 1);
        }
    } else if (CurrentWorkMode() == kModeReplay) {
        const QRect r = ToQRect(RulerRect());
        const QImage& image = replay->Worker().RulerImage();
        if (!image.isNull()) {
            p.drawImage(r, image, r);
        }
    }
    if (status) {
        status->Paint(p);
    }
}

// --- actions ---------------------------------------------------------------

void TFMain::DoAction(TMainAction action) {
    const int mode = CurrentWorkMode();
    const bool inCapture = mode == kModeCapture;
    if ((inCapture && capture->Do(action)) || (mode == kModeReplay && replay->Do(action)) ||
        menus->Do(action, st.settings.another, hooks.iniPath, *st.paths)) {
        return;
    }
    switch (action) {
    case TMainAction::ChannelDialog:
        if (inCapture) {
            chConfig->initialize(int(capture->CurrentPort()));
            chConfig->show();
            chConfig->raise();
        }
        break;
    case TMainAction::Connect:
        if (mode == kModeNone && CurrentPvo.LI.LessionID != -1) {
            ChosenPvo = CurrentPvo;
            if (EnterCapture(CurrentPvo.LI.LessionID) != 0) {
                break;
            }
        }
        StartDiscovery();
        break;
    case TMainAction::MakeMp4:
        if (mode == kModeReplay && hooks.ProduceMp4) {
            replay->ProduceMp4([this](TReplayClientThread& worker,
                                      int offset) { hooks.ProduceMp4(worker, CurrentPvo, offset); },
                               bars->AudioOffset());
        }
        break;
    case TMainAction::Chooser:
        ChooseFromBar();
        break;
    case TMainAction::ActivityPlan:
        OpenPlanEditor();
        break;
    default: // a mode's own commands outside that mode, and None
        break;
    }
}

void TFMain::ChooseFromBar() {
    if (!hooks.ChooseLession) {
        return;
    }
    ClickOpensModal();
    Tvo_FromServer chosen;
    const int mode = hooks.ChooseLession(CurrentPvo.LI.LessionID, chosen);
    if (mode == kModeNone ||
        (mode == CurrentWorkMode() && chosen.LI.LessionID == CurrentPvo.LI.LessionID)) {
        return;
    }
    UseChoice(mode, chosen);
}

void TFMain::OpenPlanEditor() {
    if (hooks.ActivityPlan) {
        hooks.ActivityPlan();
        return;
    }
    if (!planEditor) {
        planEditor = std::make_unique<TPlanEditorLauncher>(*this, this);
    }
    planEditor->Open(st.settings.userID);
}

void TFMain::UseScene(int32_t nRuntimeID) {
    if (CurrentWorkMode() == kModeCapture) {
        capture->UseLayout(nRuntimeID);
    }
}

void TFMain::UseAddress(const std::string& url) {
    if (CurrentWorkMode() != kModeCapture) {
        return;
    }
    capture->Session().SetRtmpUrl(url);
    if (chConfig != nullptr) {
        chConfig->showRtmpState();
    }
}

// --- the window itself -----------------------------------------------------

void TFMain::mousePressEvent(QMouseEvent* event) {
    if (CurrentWorkMode() == kModeReplay) {
        replay->Pressed(event->position().toPoint());
    }
    QWidget::mousePressEvent(event);
}

void TFMain::mouseReleaseEvent(QMouseEvent* event) {
    if (CurrentWorkMode() != kModeReplay) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    replay->Released(event->position().toPoint());
}

void TFMain::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) {
        return;
    }
    // A restore (from minimised, or from maximised to normal) also redraws
    // an open plan editor's picture.
    const Qt::WindowStates old = static_cast<QWindowStateChangeEvent*>(event)->oldState();
    const Qt::WindowStates now = windowState();
    const bool restored = ((old & Qt::WindowMinimized) && !(now & Qt::WindowMinimized)) ||
                          ((old & Qt::WindowMaximized) && now == Qt::WindowNoState);
    if (restored && planEditor && planEditor->Editor() != nullptr) {
        planEditor->Editor()->RefreshPicture();
    }
}

void TFMain::closeEvent(QCloseEvent* event) {
    if (bStarted && CurrentWorkMode() == kModeCapture && capture->Recording() &&
        ShowMessage("当前正在录课，真要退出么？", TMsgIcon::Question, TMsgButtons::YesNo) !=
            TMsgAnswer::Yes) {
        event->ignore();
        return;
    }
    Timer1.stop();
    if (bStarted && CaptureEndedUncleanly(hooks.iniPath)) {
        MarkCaptureRunning(hooks.iniPath, false);
    }
    // Fixed teardown order: the capture session (discovery, channels, the
    // lesson's end, the live sender last), then replay.
    capture.reset();
    replay.reset();
    if (chConfig != nullptr) {
        chConfig->close();
    }
    nCurrentMode = kModeNone;
    event->accept();
}

} // namespace tavrin
