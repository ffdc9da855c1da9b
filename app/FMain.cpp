#include "app/FMain.h"

#include "app/AboutBox.h"
#include "app/ChannelMenuItem.h"
#include "app/CutGesture.h"
#include "app/DispPanel.h"
#include "app/SavedConnections.h"
#include "app/WindowTexts.h"
#include "base/Message.h"
#include "base/ProgramDir.h"
#include "base/Trace.h"
#include "base/ui/FConfig.h"
#include "base/ui/ImageButton.h"
#include "base/ui/ShellOpen.h"
#include "base/ui/WindowPlacement.h"
#include "compose/ScreenLayout.h"
#include "compose/editor/F_EditProject.h"
#include "compose/editor/PlanEditorLauncher.h"
#include "decode/DispManager.h"
#include "decode/SdlHandles.h"
#include "sources/ui/F_CHConfig.h"
#include "sources/ui/F_Mp4Adjust.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QDrag>
#include <QHBoxLayout>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindowStateChangeEvent>
#include <SDL.h>
#include <cstdlib>
#include <filesystem>

namespace tavrin {

namespace {

const QColor kBackground(38, 38, 38);
const QColor kFrameGreen(0, 187, 0);
const QColor kFrameRed(255, 0, 0);

bool DefaultInitSdl() {
    SetSdlProcessHints();
    // The panes are X windows; SDL must not pick another video driver.
    if (std::getenv("SDL_VIDEODRIVER") == nullptr) {
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    }
    return SDL_InitSubSystem(SDL_INIT_TIMER | SDL_INIT_VIDEO) == 0;
}

SDL_Rect SizeOf(const TPaneRect& r) {
    return SDL_Rect{0, 0, r.w, r.h};
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
    BuildBars();
    Panel_ReplayArea = new TDispPanel(0, this);
    connect(Panel_ReplayArea, &TDispPanel::Exposed, this, &TFMain::OnPaneExposed);
    Panel_ReplayArea->hide();
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
    LayoutBars();
    // The channel windows reach capture mode only through this accessor,
    // asked anew on every use.
    channelAccess = MakeSessionAccessor([this]() -> TCaptureSession* {
        return CurrentWorkMode() == kModeCapture ? &capture->Session() : nullptr;
    });
    chConfig = new TF_CHConfig(channelAccess, this);
    chConfig->hide();
    fConfig = new TFConfig(hooks.drives != nullptr ? *hooks.drives : systemDrives, this);
    fConfig->hide();
    setEnabled(false);
    bStarted = true;
    status = std::make_unique<TCaptureStatus>(static_cast<IStatusHost&>(*this), font());
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
    FreePanes();
}

// --- bars ------------------------------------------------------------------

void TFMain::BuildBars() {
    Panel_Capture = BuildBar(TBar::Capture);
    Panel_Replay = BuildBar(TBar::Replay);
    ComboBox1 = new QComboBox(Panel_Replay);
    for (const std::string& entry : AudioOffsetEntries()) {
        ComboBox1->addItem(QString::fromStdString(entry));
    }
    ComboBox1->setFocusPolicy(Qt::ClickFocus);
    static_cast<QHBoxLayout*>(Panel_Replay->layout())->insertWidget(6, ComboBox1);
    connect(ComboBox1, &QComboBox::activated, this, [this](int k) {
        if (CurrentWorkMode() == kModeReplay) {
            replay->SetAudioOffset(AudioOffsetOfEntry(k));
        }
    });
    Panel_Capture->hide();
    Panel_Replay->hide();
}

QWidget* TFMain::BuildBar(TBar bar) {
    auto* panel = new QWidget(this);
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
        auto* b = new TImageButton(e.tag, panel, &nCurrentClickImageTAGID);
        b->setObjectName(QString("Button_%1").arg(e.tag));
        const TMainAction action = e.action;
        connect(b, &QAbstractButton::clicked, this, [this, action, b] {
            clickingButton = b;
            DoAction(action);
            clickingButton = nullptr;
        });
        row->addWidget(b);
        buttons.push_back(b);
    }
    return panel;
}

TImageButton* TFMain::Button(TBar bar, int tag) const {
    for (TImageButton* b : bar == TBar::Capture ? captureButtons : replayButtons) {
        if (b->Tag() == tag) {
            return b;
        }
    }
    return nullptr;
}

void TFMain::ShowToggle(TMainAction action, bool on) {
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

void TFMain::RepaintRuler() {
    update(ToQRect(RulerRect()));
}

void TFMain::LayoutBars() {
    const QRect r(0, height() - kBarHeight, width(), kBarHeight);
    Panel_Capture->setGeometry(r);
    Panel_Replay->setGeometry(r);
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
        ChosenPvo = chosen;
        SwitchMode(mode, chosen.LI.LessionID);
        CurrentPvo = chosen;
        SetCaption(chosen);
        if (CurrentWorkMode() == kModeCapture) {
            capture->OfferLastConnections();
        }
    }
    LayoutBars();
    setEnabled(true);
    bInFirstTick = false;
}

void TFMain::SetCaption(const Tvo_FromServer& lesson) {
    setWindowTitle(QString::fromStdString(MainCaption(lesson.LI)));
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

int TFMain::SwitchMode(int mode, int32_t nLession) {
    return tavrin::SwitchMode(*this, mode, nLession);
}

int TFMain::EnterCapture(int32_t nLession) {
    nCurrentMode = kModeNone;
    update();
    Panel_Replay->hide();
    Panel_ReplayArea->hide();
    Panel_Capture->show();
    CurrentPvo = ChosenPvo;

    const INIAnotherSet& set = st.settings.another;
    TCaptureSessionConfig config;
    config.paths = *st.paths;
    config.lesson = CurrentPvo.LI;
    config.lesson.LessionID = nLession;
    config.nYUVWidth = int(set.nYUVWidth);
    config.nYUVHeight = int(set.nYUVHeight);
    config.nAudioDelay = set.nAudioDelay;
    config.nBitrate = int64_t(set.videobitrate) * 1024;
    config.nChannels = nChannels;
    config.layout = st.layout.get();
    config.bDiscovery = true;
    config.nAudioChannel = 1;

    capture = std::make_unique<TCaptureMode>(static_cast<IMainView&>(*this), captureKept);
    CreatePanes();
    config.programme = {DispPanel[0]->NativeHandle(), SizeOf(grid.panes[0])};
    for (int i = 1; i <= nChannels; ++i) {
        config.panes.push_back(
            {DispPanel[size_t(i)]->NativeHandle(), SizeOf(grid.panes[size_t(i)])});
    }
    if (const int r = capture->Open(config); r < 0) {
        const std::string dir = capture->Session().CaptureDir();
        capture.reset();
        FreePanes();
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
    Panel_Capture->hide();
    FreePanes();
    nCurrentMode = kModeNone;
}

int TFMain::EnterReplay(int32_t nLession) {
    nCurrentMode = kModeNone;
    Panel_Capture->hide();
    Panel_Replay->show();
    Panel_ReplayArea->show();
    update();
    LayoutReplayPane();

    replay = std::make_unique<TReplayMode>(*st.paths, static_cast<IMainView&>(*this));
    // The worker hands its ruler redraws to this thread and waits for them;
    // ending the worker makes a pending one give way, so none outlives it.
    const int r = replay->Open(nLession, Panel_ReplayArea->NativeHandle(),
                               ReplayPaneRect(width(), height(), kBarHeight), RulerRect(), this,
                               [this] { update(ToQRect(RulerRect())); });
    if (r < 0) {
        replay.reset();
        return r;
    }
    ComboBox1->setCurrentIndex(AudioOffsetEntryFor(st.settings.another.nAudioDelay));
    nCurrentMode = kModeReplay;
    replay->Start(11);
    update();
    return 0;
}

void TFMain::LeaveReplay() {
    Panel_ReplayArea->hide();
    Panel_Replay->hide();
    replay.reset();
    nCurrentMode = kModeNone;
    update();
}

void TFMain::RememberConnections() {
    if (capture) {
        capture->RememberConnections();
    }
}

void TFMain::RestoreConnections() {
    if (CurrentWorkMode() == kModeCapture) {
        capture->RestoreConnections();
    }
}

void TFMain::StartDiscovery() {
    if (CurrentWorkMode() == kModeCapture) {
        capture->StartDiscovery();
    }
}

// --- panes -----------------------------------------------------------------

void TFMain::CreatePanes() {
    FreePanes();
    for (int i = 0; i <= nChannels; ++i) {
        auto* pane = new TDispPanel(i, this);
        pane->setObjectName(QString("DispPanel_%1").arg(i));
        connect(pane, &TDispPanel::Pressed, this, &TFMain::OnPanePressed);
        connect(pane, &TDispPanel::Released, this, &TFMain::OnPaneReleased);
        connect(pane, &TDispPanel::DoubleClicked, this, &TFMain::OnPaneDoubleClicked);
        connect(pane, &TDispPanel::Exposed, this, &TFMain::OnPaneExposed);
        connect(pane, &TDispPanel::Moved, this, &TFMain::OnPaneMoved);
        DispPanel.push_back(pane);
    }
    LayoutCapturePanes();
    for (TDispPanel* pane : DispPanel) {
        pane->show();
    }
}

void TFMain::OnPaneExposed(TDispPanel* pane) {
    // Live panes are drawn again with their next picture anyway; a paused
    // replay or a file at its end would keep the hole.
    const TNativeWindow window = pane->NativeHandle();
    if (capture && capture->HasManager()) {
        capture->Session().RedrawPane(window);
    }
    if (replay) {
        replay->RedrawPane(window);
    }
}

void TFMain::FreePanes() {
    for (TDispPanel* pane : DispPanel) {
        delete pane;
    }
    DispPanel.clear();
}

TCaptureMode* TFMain::CaptureNow() {
    return CurrentWorkMode() == kModeCapture ? capture.get() : nullptr;
}

TReplayMode* TFMain::ReplayNow() {
    return CurrentWorkMode() == kModeReplay ? replay.get() : nullptr;
}

QObject* TFMain::OffsetBox() {
    return ComboBox1;
}

void TFMain::ErrorMarked(int digit) {
    status->ErrorMarked(digit);
}

QRect TFMain::PaneGeometry(int i) const {
    const TDispPanel* pane = Pane(i);
    return pane != nullptr ? pane->geometry() : QRect();
}

TDispPanel* TFMain::Pane(int i) const {
    return i >= 0 && size_t(i) < DispPanel.size() ? DispPanel[size_t(i)] : nullptr;
}

void TFMain::LayoutCapturePanes() {
    if (DispPanel.empty() || !GridLayout(width(), height(), kBarHeight, nChannels, grid)) {
        return;
    }
    for (size_t i = 0; i < DispPanel.size(); ++i) {
        DispPanel[i]->setGeometry(ToQRect(grid.panes[i]));
    }
    const uint32_t port = CurrentPort();
    if (DispMode() == 1 && port < DispPanel.size()) {
        DispPanel[port]->setGeometry(ToQRect(grid.DispOne));
    }
    if (!capture || !capture->HasManager()) {
        return;
    }
    PortsFollowPanes();
    for (size_t i = 0; i < DispPanel.size(); ++i) {
        const bool visible = DispMode() == 0 || i == port;
        DispPanel[i]->hide();
        DispPanel[i]->setVisible(visible);
    }
}

void TFMain::PortsFollowPanes() {
    const auto paneOf = [](TDispPanel* p) {
        return TCapturePane{p->NativeHandle(), SDL_Rect{0, 0, p->width(), p->height()}};
    };
    std::vector<TCapturePane> channels;
    for (size_t i = 1; i < DispPanel.size(); ++i) {
        channels.push_back(paneOf(DispPanel[i]));
    }
    capture->Session().Relayout(paneOf(DispPanel[0]), channels);
}

TPaneRect TFMain::RulerRect() const {
    return ReplayRulerRect(width(), height(), kBarHeight);
}

void TFMain::LayoutReplayPane() {
    const TPaneRect pane = ReplayPaneRect(width(), height(), kBarHeight);
    Panel_ReplayArea->setGeometry(ToQRect(pane));
    if (replay) {
        replay->Resize(pane, RulerRect());
    }
}

void TFMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!bStarted) {
        return;
    }
    LayoutBars();
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

TPaneRect TFMain::FrameRect() const {
    return FrameRect(int(CurrentPort()));
}

TPaneRect TFMain::FrameRect(int i) const {
    const TDispPanel* pane = Pane(i);
    if (pane == nullptr) {
        return {};
    }
    const QRect g = pane->geometry();
    return {g.x() - 1, g.y() - 1, g.width() + 2, g.height() + 2};
}

void TFMain::RepaintPaneFrame(int i) {
    update(ToQRect(FrameRect(i)));
}

void TFMain::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), kBackground);
    if (CurrentWorkMode() == kModeCapture && DispMode() == 0) {
        const TPaneRect f = FrameRect();
        if (f.w > 0) {
            p.setPen(bChannelError ? kFrameRed : kFrameGreen);
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

// --- pane gestures ---------------------------------------------------------

namespace {

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

} // namespace

void TFMain::OnPanePressed(TDispPanel* pane, QMouseEvent* event) {
    if (CurrentWorkMode() == kModeCapture) {
        capture->PanePressed(InputOf(pane, event));
    }
}

void TFMain::OnPaneMoved(TDispPanel* pane, QMouseEvent* event) {
    if (CurrentWorkMode() == kModeCapture) {
        capture->PaneMoved(InputOf(pane, event));
    }
}

void TFMain::OnPaneReleased(TDispPanel* pane, QMouseEvent* event) {
    if (CurrentWorkMode() == kModeCapture) {
        capture->PaneReleased(InputOf(pane, event));
    }
}

void TFMain::OnPaneDoubleClicked(TDispPanel* pane, QMouseEvent* event) {
    if (CurrentWorkMode() == kModeCapture) {
        capture->PaneDoubleClicked(InputOf(pane, event));
    }
}

void TFMain::DragPane(int i) {
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

void TFMain::ShowOnePane(int i) {
    for (TDispPanel* p : DispPanel) {
        p->hide();
    }
    Pane(i)->setGeometry(ToQRect(grid.DispOne));
    PortsFollowPanes();
    Pane(i)->show();
    update();
}

void TFMain::ShowAllPanes(int i) {
    Pane(i)->setGeometry(ToQRect(grid.panes[size_t(i)]));
    PortsFollowPanes();
    for (TDispPanel* p : DispPanel) {
        p->show();
    }
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

// --- actions ---------------------------------------------------------------

void TFMain::DoAction(TMainAction action) {
    const int mode = CurrentWorkMode();
    const bool inCapture = mode == kModeCapture;
    const bool inReplay = mode == kModeReplay;
    if ((inCapture && capture->Do(action)) || (inReplay && replay->Do(action))) {
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
        if (inReplay && hooks.ProduceMp4) {
            replay->ProduceMp4([this](TReplayClientThread& worker,
                                      int offset) { hooks.ProduceMp4(worker, CurrentPvo, offset); },
                               AudioOffsetOfEntry(ComboBox1->currentIndex()));
        }
        break;
    case TMainAction::Chooser:
        ChooseFromBar();
        break;
    case TMainAction::MainMenu:
        ShowMainMenu();
        break;
    case TMainAction::ActivityPlan:
        if (hooks.ActivityPlan) {
            hooks.ActivityPlan();
            break;
        }
        if (!planEditor) {
            planEditor = std::make_unique<TPlanEditorLauncher>(*this, this);
        }
        planEditor->Open(st.settings.userID);
        break;
    case TMainAction::Settings:
        if (EditSettings(st.settings.another)) {
            SetProcessCounts(ClientCount(), st.settings.another.nDecoderThreadCount);
            SaveSettings(hooks.iniPath, st.settings.another);
        }
        break;
    case TMainAction::OpenOutputFolder:
        OpenOutputFolder();
        break;
    case TMainAction::ShortcutHelp:
        ShellOpen(ProgramFile("ShortcutKey .txt"));
        break;
    case TMainAction::VersionHelp:
        ShellOpen(ProgramFile("version.txt"));
        break;
    case TMainAction::About:
        ShowAbout();
        break;
    default: // a mode's own commands outside that mode, and None
        break;
    }
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

QRect TFMain::EditorWindowRect() const {
    return ToQRect(st.LayoutWindowPos);
}

void TFMain::SetEditorWindowRect(const QRect& r) {
    st.LayoutWindowPos = {r.x(), r.y(), r.width(), r.height()};
}

QMenu& TFMain::NewMenu(const char* name) {
    // Menus pop up without a nested event loop and go when they close; the
    // next one replaces one still open.
    if (openMenu != nullptr) {
        openMenu->close();
    }
    auto* menu = new QMenu(this);
    menu->setObjectName(name);
    openMenu = menu;
    connect(menu, &QMenu::aboutToHide, menu, &QObject::deleteLater);
    return *menu;
}

void TFMain::ShowMainMenu() {
    ClickOpensModal();
    QMenu& menu = NewMenu("MainMenu");
    for (const TActionEntry& e : MainActionTable()) {
        if (e.bar != TBar::Menu) {
            continue;
        }
        const TMainAction action = e.action;
        // Queued: several items open modal windows, and the menu must be
        // done with its own click (and gone) before a nested loop runs.
        connect(
            menu.addAction(QString::fromUtf8(e.caption)), &QAction::triggered, this,
            [this, action] { DoAction(action); }, Qt::QueuedConnection);
        if (e.separatorAfter) {
            menu.addSeparator();
        }
    }
    menu.popup(QCursor::pos());
}

void TFMain::ChooseFromBar() {
    if (!hooks.ChooseLession) {
        return;
    }
    ClickOpensModal();
    Tvo_FromServer chosen;
    const int mode = hooks.ChooseLession(CurrentPvo.LI.LessionID, chosen);
    if (mode == kModeNone) {
        return;
    }
    if (mode == CurrentWorkMode() && chosen.LI.LessionID == CurrentPvo.LI.LessionID) {
        return;
    }
    ChosenPvo = chosen;
    if (SwitchMode(mode, chosen.LI.LessionID) == 0) {
        CurrentPvo = chosen;
        SetCaption(chosen);
        if (CurrentWorkMode() == kModeCapture) {
            capture->OfferLastConnections();
        }
    }
}

void TFMain::OpenOutputFolder() {
    std::string dir;
    st.paths->Get_OutputDir(0, dir);
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    ShellOpen(dir);
}

void TFMain::ClickOpensModal() {
    if (clickingButton != nullptr) {
        clickingButton->RememberClick();
    }
}

bool TFMain::EditSettings(INIAnotherSet& set) {
    fConfig->initialize(set);
    fConfig->exec();
    if (!fConfig->bLoginOK) {
        return false;
    }
    fConfig->GetPAnother(set);
    return true;
}

void TFMain::ShowAbout() {
    TAboutBox box(this);
    box.exec();
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
