#include "app/FMain.h"

#include "app/AboutBox.h"
#include "app/CaptureStatus.h"
#include "app/ChannelMenuItem.h"
#include "app/CutGesture.h"
#include "app/DispPanel.h"
#include "app/KeyDirector.h"
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
#include "sources/CManager.h"
#include "sources/Discovery.h"
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
// A press on the programme pane becomes a drag once the pointer has gone
// this far along either axis; a shorter move is still a click.
constexpr int kProgrammeDragThreshold = 10;

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
    bUncleanEnd = CaptureEndedUncleanly(hooks.iniPath);
    bAutoAdjust.assign(size_t(nChannels) + 1, true);
    rCHMenuCaption.assign(size_t(nChannels) + 1, {});
    lastState.CHLastStateArr.assign(size_t(nChannels), {});
    ClickPorts = TClickHistory(nChannels);
    resize(int(st.settings.cWidth), int(st.settings.cHeight));
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "1");
    LayoutBars();
    // The channel windows reach capture mode only through this accessor,
    // asked anew on every use.
    channelAccess = MakeChannelAccessor(
        [this]() -> TCManager* {
            return CurrentWorkMode() == kModeCapture ? &capture->Manager() : nullptr;
        },
        [this]() -> TRtmpSend* {
            return CurrentWorkMode() == kModeCapture ? capture->Session().Sender() : nullptr;
        });
    chConfig = new TF_CHConfig(channelAccess, this);
    chConfig->hide();
    fConfig = new TFConfig(hooks.drives != nullptr ? *hooks.drives : systemDrives, this);
    fConfig->hide();
    setEnabled(false);
    bStarted = true;
    status = std::make_unique<TCaptureStatus>(*this);
    SetStatusTick([this] { status->Tick(); });
    SetStatusPaint([this](QPainter& p) { status->Paint(p); });
    keys = std::make_unique<TKeyDirector>(*this);
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
            replay->Worker().SetAudioDelayFrameCount(AudioOffsetOfEntry(k));
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

void TFMain::RefreshButton(TBar bar, int tag) {
    TImageButton* b = Button(bar, tag);
    if (b == nullptr) {
        return;
    }
    if (bar == TBar::Capture) {
        switch (tag) {
        case 4:
            b->SetRunning(bCaptureState);
            break;
        case 6:
            b->SetLatched(bPTZMode);
            break;
        case 9:
            b->SetRunning(bPlayAudio);
            break;
        default:
            break;
        }
    } else {
        switch (tag) {
        case 4:
            b->SetRunning(!bReplayPause);
            break;
        case 9:
            // In replay the flag means "sound switched off".
            b->SetRunning(!bPlayAudio);
            break;
        case 20:
            b->SetLatched(bDeleteFlag);
            break;
        default:
            break;
        }
    }
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
    if (statusTick) {
        statusTick();
    }
    KeepConnections();
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
        OfferLastConnections();
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
    nDispMode = 0;
    update();
    ClickPorts.Clear();
    Panel_Replay->hide();
    Panel_ReplayArea->hide();
    Panel_Capture->show();
    bCaptureState = false;
    bPlayAudio = false;
    RefreshButton(TBar::Capture, 4);
    RefreshButton(TBar::Capture, 9);
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
    config.autoAdjust = bAutoAdjust;
    config.nAudioChannel = 1;
    bPreventCapture = false;

    CreatePanes();
    config.programme = {DispPanel[0]->NativeHandle(), SizeOf(grid.panes[0])};
    for (int i = 1; i <= nChannels; ++i) {
        config.panes.push_back(
            {DispPanel[size_t(i)]->NativeHandle(), SizeOf(grid.panes[size_t(i)])});
    }
    capture = std::make_unique<TCaptureMode>();
    if (const int r = capture->Open(config); r < 0) {
        const std::string dir = capture->Session().CaptureDir();
        capture.reset();
        FreePanes();
        TCaptureMode::ShowOpenFailure(r, dir);
        return r;
    }
    nCurrentMode = kModeCapture;
    nCurrentPort = 1;
    // Taken away only when the window closes: a run that ends otherwise
    // leaves it, and the next start offers its channels again.
    MarkCaptureRunning(hooks.iniPath, true);
    ClickPorts.PushClickedChannel(1);
    st.layout->relaodProject(false);
    update();
    return 0;
}

void TFMain::LeaveCapture() {
    ResetToggles();
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
    bDeleteFlag = false;
    update();
    LayoutReplayPane();

    replay = std::make_unique<TReplayMode>(*st.paths);
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
    bReplayPause = false;
    bPlayAudio = false;
    RefreshButton(TBar::Replay, 4);
    RefreshButton(TBar::Replay, 9);
    nCurrentMode = kModeReplay;
    replay->Start(11);
    update();
    return 0;
}

void TFMain::LeaveReplay() {
    ResetToggles();
    Panel_ReplayArea->hide();
    Panel_Replay->hide();
    replay.reset();
    nCurrentMode = kModeNone;
    update();
}

rLastState TFMain::TakeConnections() {
    rLastState now;
    now.CHLastStateArr.assign(size_t(nChannels), {});
    TCManager& m = capture->Manager();
    for (int i = 1; i <= nChannels; ++i) {
        TClientInfo info;
        if (!m.GetConInfo(i, info)) {
            continue;
        }
        CHLastState& s = now.CHLastStateArr[size_t(i) - 1];
        s.sIP = info.IP;
        s.Mp3Name = info.Mp3Name;
        s.AudioDeviceName = info.AudioDeviceName;
        s.nChannel = i;
        s.nDeviceType = info.DeviceType;
        s.bConnectOK = info.bConnectOK;
        s.bCycle = info.DeviceType == kDeviceMp4 && m.GetCycle(i);
    }
    m.GetCombinePorts(now.CombineportsArr);
    return now;
}

void TFMain::RememberConnections() {
    if (!capture || !capture->HasManager()) {
        return;
    }
    lastState = TakeConnections();
}

void TFMain::TraceTicks(const char* what) {
    // How punctual the programme was, for whoever watches a long lesson from
    // outside: the difference between two of these lines is a recording's.
    uint64_t ticks = 0;
    uint64_t missed = 0;
    if (!capture->Manager().GetProgrammeTicks(ticks, missed)) {
        return;
    }
    // The lateness since the last of these lines: at "recording off" that
    // of the recording.
    std::string late;
    uint32_t p99 = 0;
    uint32_t most = 0;
    if (capture->Manager().GetProgrammeLateness(nTicksTraced, p99, most)) {
        late = ", lateness p99 " + std::to_string(p99) + " ms, max " + std::to_string(most) + " ms";
    }
    nTicksTraced = ticks;
    Trace(std::string(what) + ": programme ticks " + std::to_string(ticks) + ", missed " +
          std::to_string(missed) + late);
}

void TFMain::KeepConnections() {
    // Until the last run's channels were offered, the file still holds them.
    if (bUncleanEnd || CurrentWorkMode() != kModeCapture) {
        return;
    }
    rLastState now = TakeConnections();
    if (now.CHLastStateArr == keptConnections.CHLastStateArr &&
        now.CombineportsArr == keptConnections.CombineportsArr) {
        return;
    }
    if (SaveConnections(hooks.iniPath, now)) {
        keptConnections = std::move(now);
    }
}

void TFMain::OfferLastConnections() {
    if (!bUncleanEnd || CurrentWorkMode() != kModeCapture) {
        return;
    }
    bUncleanEnd = false;
    const rLastState saved = LoadConnections(hooks.iniPath, nChannels);
    if (!HasConnections(saved) || ShowMessage(kReconnectQuestion, TMsgIcon::Question,
                                              TMsgButtons::YesNo) != TMsgAnswer::Yes) {
        return;
    }
    Trace("connecting the channels of the last run again");
    lastState = saved;
    RestoreConnections();
}

void TFMain::RestoreConnections() {
    if (CurrentWorkMode() != kModeCapture) {
        return;
    }
    TCManager& m = capture->Manager();
    for (const CHLastState& s : lastState.CHLastStateArr) {
        std::string text;
        int type = 0;
        if (s.nChannel >= 1 && RestoreTarget(s, text, type)) {
            m.ConnectThis(text, s.nChannel, type);
            if (type == kDeviceMp4) {
                m.SetCycle(s.nChannel, s.bCycle);
            }
        }
    }
    if (!lastState.CombineportsArr.empty()) {
        m.SetCombinePorts(lastState.CombineportsArr, false);
    }
}

void TFMain::StartDiscovery() {
    if (CurrentWorkMode() != kModeCapture) {
        return;
    }
    if (TCaptureSession::DiscoveryDisabledByEnv()) {
        Trace("device discovery is off (TAVRIN_NO_DISCOVERY)");
        return;
    }
    // A socket that cannot be opened is said once: later probes find the
    // same fault.
    if (const int r = capture->Session().Discover(); r < 0 && !bDiscoveryFailureShown) {
        bDiscoveryFailureShown = true;
        ShowMessage("启用设备发现功能失败，您将不能再使用发现功能！\n\r错误原因：" +
                        TDiscovery::GetErrorByID(r),
                    TMsgIcon::Warning);
    }
}

void TFMain::ResetToggles() {
    if (bReplayPause) {
        bReplayPause = false;
        RefreshButton(TBar::Replay, 4);
    }
    if (bCaptureState) {
        bCaptureState = false;
        RefreshButton(TBar::Capture, 4);
    }
    if (bPlayAudio) {
        bPlayAudio = false;
        RefreshButton(TBar::Capture, 9);
        RefreshButton(TBar::Replay, 9);
    }
    if (bDeleteFlag) {
        bDeleteFlag = false;
        RefreshButton(TBar::Replay, 20);
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
    if (capture && capture->HasManager() && capture->Manager().Displays() != nullptr) {
        capture->Manager().Displays()->RedrawWindow(window);
    }
    if (replay) {
        replay->Worker().DispManager().RedrawWindow(window);
    }
}

void TFMain::FreePanes() {
    for (TDispPanel* pane : DispPanel) {
        delete pane;
    }
    DispPanel.clear();
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
    if (nDispMode == 1 && nCurrentPort < DispPanel.size()) {
        DispPanel[nCurrentPort]->setGeometry(ToQRect(grid.DispOne));
    }
    if (!capture || !capture->HasManager()) {
        return;
    }
    PortsFollowPanes();
    for (size_t i = 0; i < DispPanel.size(); ++i) {
        const bool visible = nDispMode == 0 || i == nCurrentPort;
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
    const TDispPanel* pane = Pane(int(nCurrentPort));
    if (pane == nullptr) {
        return {};
    }
    const QRect g = pane->geometry();
    return {g.x() - 1, g.y() - 1, g.width() + 2, g.height() + 2};
}

void TFMain::SelectPane(int i) {
    update(ToQRect(FrameRect()));
    nCurrentPort = uint32_t(i);
    update(ToQRect(FrameRect()));
}

void TFMain::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), kBackground);
    if (CurrentWorkMode() == kModeCapture && nDispMode == 0) {
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
    if (statusPaint) {
        statusPaint(p);
    }
}

// --- pane gestures ---------------------------------------------------------

void TFMain::OnPanePressed(TDispPanel* pane, QMouseEvent* event) {
    if (CurrentWorkMode() != kModeCapture) {
        return;
    }
    const int tag = pane->Tag();
    TCManager& m = capture->Manager();
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::RightButton) {
        SelectPane(tag);
        if (tag > 0) {
            ClickPorts.PushClickedChannel(tag);
            ShowChannelMenu(tag, event->globalPosition().toPoint());
        }
        return;
    }
    if (event->button() != Qt::LeftButton) {
        return;
    }
    programmeDragFrom.reset();
    bProgrammeDragged = false;
    if (bPTZMode && tag > 0) {
        int x = 0;
        int y = 0;
        PtzPoint(pos.x(), pos.y(), pane->width(), pane->height(), x, y);
        m.SetAdjustFocus(tag, x, y, false);
        return;
    }
    if (tag > 0) {
        xStart = pos.x();
        yStart = pos.y();
        bCtrlAtPress = (event->modifiers() & Qt::ControlModifier) != 0;
    } else if (nDispMode == 0 && !bAfterDBDone) {
        programmeDragFrom = pos;
    }
    update(ToQRect(FrameRect()));
}

void TFMain::OnPaneMoved(TDispPanel* pane, QMouseEvent* event) {
    if (CurrentWorkMode() != kModeCapture || !(event->buttons() & Qt::LeftButton)) {
        return;
    }
    const QPoint pos = event->position().toPoint();
    if (pane->Tag() == 0) {
        if (programmeDragFrom &&
            (std::abs(pos.x() - programmeDragFrom->x()) >= kProgrammeDragThreshold ||
             std::abs(pos.y() - programmeDragFrom->y()) >= kProgrammeDragThreshold)) {
            DragProgramme(pane);
        }
        return;
    }
    if (bAfterDBDone || bPTZMode) {
        return;
    }
    const TPermilleRect r =
        PermilleRect(xStart, yStart, pos.x(), pos.y(), pane->width(), pane->height());
    if (TrialRectWanted(r)) {
        int fx = 0;
        int fy = 0;
        capture->Manager().SetClipArea(pane->Tag(), r.xStart, r.yStart, r.xEnd, r.yEnd, fx, fy,
                                       true);
    }
}

void TFMain::OnPaneReleased(TDispPanel* pane, QMouseEvent* event) {
    if (CurrentWorkMode() != kModeCapture || event->button() != Qt::LeftButton) {
        return;
    }
    const int tag = pane->Tag();
    programmeDragFrom.reset();
    if (tag == 0 && bProgrammeDragged) {
        bProgrammeDragged = false; // the press became a drag, not a click
        return;
    }
    if (!bAfterDBDone) {
        PaneClicked(tag);
    }
    if (tag == 0) {
        bAfterDBDone = false;
        return;
    }
    TCManager& m = capture->Manager();
    int fx = 0;
    int fy = 0;
    if (bAfterDBDone) {
        bAfterDBDone = false;
        m.SetClipArea(tag, 0, 0, 0, 0, fx, fy, true);
        m.ConvertTestRectToReal(tag);
        return;
    }
    if (bPTZMode) {
        return;
    }
    const QPoint pos = event->position().toPoint();
    const TPermilleRect r =
        PermilleRect(xStart, yStart, pos.x(), pos.y(), pane->width(), pane->height());
    if (!ReleaseRectAccepted(r)) {
        // The trial drawn while dragging goes too, or a later Ctrl release
        // would make the slip real.
        m.SetClipArea(tag, 0, 0, 0, 0, fx, fy, true);
        return;
    }
    if (!m.SetClipArea(tag, r.xStart, r.yStart, r.xEnd, r.yEnd, fx, fy, true)) {
        return;
    }
    if (!bCtrlAtPress) {
        m.StopMove();
        m.ConvertTestRectToReal(tag);
    }
}

void TFMain::DragProgramme(TDispPanel* pane) {
    programmeDragFrom.reset();
    bProgrammeDragged = true;
    bDraggingProgramme = true;
    // The programme is dragged as the pane's number; no place of the
    // console takes it, so the drag ends where it was dropped.
    auto* drag = new QDrag(pane);
    auto* data = new QMimeData;
    data->setData("application/x-tavrin-pane", QByteArray::number(pane->Tag()));
    drag->setMimeData(data);
    drag->exec(Qt::MoveAction);
    bDraggingProgramme = false;
}

void TFMain::PaneClicked(int tag) {
    SelectPane(tag);
    if (chConfig->isVisible()) {
        chConfig->initialize(tag);
    }
    ClickPorts.PushClickedChannel(tag);
    capture->Manager().PlayAudio(tag, bPlayAudio);
}

void TFMain::OnPaneDoubleClicked(TDispPanel* pane, QMouseEvent* event) {
    if (CurrentWorkMode() != kModeCapture || event->button() != Qt::LeftButton) {
        return;
    }
    const int tag = pane->Tag();
    bAfterDBDone = true;
    TPaneRect target;
    if (nDispMode == 0) {
        SelectPane(tag);
        for (TDispPanel* p : DispPanel) {
            p->hide();
        }
        target = grid.DispOne;
        nDispMode = 1;
    } else {
        target = grid.panes[size_t(tag)];
        nDispMode = 0;
    }
    pane->setGeometry(ToQRect(target));
    PortsFollowPanes();
    if (nDispMode == 1) {
        pane->show();
    } else {
        for (TDispPanel* p : DispPanel) {
            p->show();
        }
    }
    update();
}

// --- actions ---------------------------------------------------------------

void TFMain::DoAction(TMainAction action) {
    const int mode = CurrentWorkMode();
    const bool inCapture = mode == kModeCapture;
    const bool inReplay = mode == kModeReplay;
    switch (action) {
    case TMainAction::LayoutOne:
    case TMainAction::LayoutTwo:
    case TMainAction::LayoutThree:
    case TMainAction::LayoutFour:
        if (inCapture) {
            ShowLayoutMenu(LayoutCount(action));
        }
        break;
    case TMainAction::Record:
        if (inCapture) {
            bCaptureState = bPreventCapture ? false : !bCaptureState;
            capture->Session().SetRecording(bCaptureState);
            RefreshButton(TBar::Capture, 4);
            TraceTicks(bCaptureState ? "recording on" : "recording off");
        }
        break;
    case TMainAction::Ptz:
        if (inCapture) {
            bPTZMode = !bPTZMode;
            RefreshButton(TBar::Capture, 6);
        }
        break;
    case TMainAction::MonitorAudio:
        if (inCapture) {
            bPlayAudio = !bPlayAudio;
            if (capture->Manager().PlayAudio(int(nCurrentPort), bPlayAudio) == -1) {
                bPlayAudio = !bPlayAudio;
            }
            RefreshButton(TBar::Capture, 9);
        }
        break;
    case TMainAction::ChannelDialog:
        if (inCapture) {
            chConfig->initialize(int(nCurrentPort));
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
        if (CurrentWorkMode() == kModeCapture) {
            StartDiscovery();
        }
        break;
    case TMainAction::ReplayPause:
        if (inReplay) {
            bReplayPause = !bReplayPause;
            replay->Worker().Pause(bReplayPause);
            RefreshButton(TBar::Replay, 4);
        }
        break;
    case TMainAction::ReplayAudio:
        if (inReplay) {
            bPlayAudio = !bPlayAudio;
            if (bPlayAudio) {
                replay->Worker().DisablePlayAudio();
            } else {
                replay->Worker().EnablePlayAudio();
            }
            RefreshButton(TBar::Replay, 9);
        }
        break;
    case TMainAction::DeleteMarkMode:
        if (inReplay) {
            bDeleteFlag = !bDeleteFlag;
            RefreshButton(TBar::Replay, 20);
        }
        break;
    case TMainAction::SaveCuts:
        if (inReplay) {
            replay->Worker().Save();
        }
        break;
    case TMainAction::ClearMarks:
        if (inReplay) {
            ClearAllMarks();
        }
        break;
    case TMainAction::MakeMp4:
        if (inReplay && hooks.ProduceMp4) {
            ClickOpensModal();
            if (!bReplayPause) {
                bReplayPause = true;
                replay->Worker().Pause(true);
                RefreshButton(TBar::Replay, 4);
            }
            hooks.ProduceMp4(replay->Worker(), CurrentPvo,
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
    case TMainAction::None:
        break;
    }
}

void TFMain::CombineRecent(int n, bool fullScreen, bool swap) {
    if (CurrentWorkMode() != kModeCapture) {
        return;
    }
    std::vector<int32_t> current;
    capture->Manager().GetCombinePorts(current);
    const std::vector<int32_t> list = ClickPorts.CombineRecent(n, swap, current);
    if (list.empty()) {
        return;
    }
    TDirector director = capture->Director();
    director.Combine(list, fullScreen);
    if (n == 1) {
        director.CentreView(int(nCurrentPort));
    }
}

void TFMain::FullPictureNoCut(int nChannel) {
    if (CurrentWorkMode() == kModeCapture && nChannel > 0) {
        capture->Director().FullPicture(nChannel);
    }
}

void TFMain::StopRecordingAtLimit() {
    bPreventCapture = true;
    bCaptureState = false;
    if (capture) {
        capture->Session().PreventCapture();
    }
    RefreshButton(TBar::Capture, 4);
}

void TFMain::RefreshRuler() {
    update(ToQRect(RulerRect()));
}

int TFMain::useLayout(int ID) {
    if (CurrentWorkMode() != kModeCapture) {
        return -1;
    }
    const int count = capture->Director().UseScene(ID);
    if (count >= 0 && count <= 4) {
        CombineRecent(count, false, true);
    }
    return count;
}

void TFMain::UseAddress(const std::string& url) {
    if (CurrentWorkMode() != kModeCapture) {
        return;
    }
    capture->Session().SetRtmpUrl(url);
    showRtmpState();
}

QRect TFMain::EditorWindowRect() const {
    return ToQRect(st.LayoutWindowPos);
}

void TFMain::SetEditorWindowRect(const QRect& r) {
    setLayoutWindowPos({r.x(), r.y(), r.width(), r.height()});
}

void TFMain::showRtmpState() {
    if (chConfig != nullptr) {
        chConfig->showRtmpState();
    }
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

void TFMain::ShowLayoutMenu(int count) {
    int32_t checked = -1;
    const TScreenLayout::rLayout* const* list = nullptr;
    const int n = st.layout->GetListForThisRectCount(count, checked, list);
    if (n <= 0) {
        CombineRecent(count, false, true);
        return;
    }
    ClickOpensModal();
    QMenu& menu = NewMenu("LayoutMenu");
    for (int i = 0; i < n; ++i) {
        const TScreenLayout::rLayout* scene = list[i];
        QAction* a = menu.addAction(QString::fromStdString(scene->name));
        a->setCheckable(true);
        a->setChecked(scene->id == checked);
        const int id = scene->id;
        connect(a, &QAction::triggered, this, [this, id] {
            if (CurrentWorkMode() != kModeCapture) {
                return;
            }
            const int c = capture->Director().UseScene(id);
            if (c >= 0 && c <= 4) {
                CombineRecent(c, false, true);
            }
        });
    }
    menu.popup(QCursor::pos());
}

void TFMain::ShowChannelMenu(int nChannel, QPoint global) {
    TCManager& m = capture->Manager();
    QMenu& menu = NewMenu("ChannelMenu");
    QAction* full = menu.addAction("全画面不剪切");
    connect(full, &QAction::triggered, this, [this, nChannel] { FullPictureNoCut(nChannel); });
    menu.addSeparator();
    for (int i = 1; i <= nChannels; ++i) {
        TClientInfo info;
        m.GetConInfo(i, info);
        TChannelMenuInfo c;
        c.nDeviceType = info.DeviceType;
        c.sIP = info.IP;
        c.sPix = m.GetPIX(i);
        if (info.DeviceType == kDeviceMp4) {
            m.GetCurrentPos(i, c.nPositionSec, c.nLengthSec);
        }
        const std::string caption = ChannelItemCaption(c);
        CHMenuCaption& mc = rCHMenuCaption[size_t(i)];
        mc.OKCharAndIP = ChannelItemText(caption, i == nChannel);
        mc.Charge = IsNetworkDevice(info.DeviceType) && info.DeviceType != kDeviceDesktop
                        ? info.nCharge
                        : -1;
        QAction* a = AddChannelMenuItem(menu, mc.OKCharAndIP, mc.Charge);
        connect(a, &QAction::triggered, this, [this, i, nChannel] {
            if (CurrentWorkMode() != kModeCapture) {
                return;
            }
            if (i == nChannel) {
                capture->Manager().reConnectThis(i);
            } else {
                capture->Director().Swap(i, nChannel);
            }
        });
    }
    TClientInfo own;
    m.GetConInfo(nChannel, own);
    connect(menu.addAction("清除本通道连接信息"), &QAction::triggered, this, [this, nChannel] {
        if (CurrentWorkMode() == kModeCapture) {
            capture->Manager().ClearThisChannel(nChannel);
        }
    });
    connect(menu.addAction("取消本次断线自动重连      "), &QAction::triggered, this,
            [this, nChannel] {
                if (CurrentWorkMode() == kModeCapture) {
                    capture->Manager().SetDontReconnect(nChannel);
                    update(ToQRect(FrameRect()));
                }
            });
    if (m.GetIfHasWideAngle(nChannel)) {
        connect(menu.addAction("开关超广角"), &QAction::triggered, this, [this, nChannel] {
            if (CurrentWorkMode() == kModeCapture) {
                capture->Manager().ConvertWideAngle(nChannel);
                capture->Director().CentreView(nChannel);
            }
        });
    }
    if (own.DeviceType == kDevicePhone || own.DeviceType == kDevicePhoneAlt) {
        const bool autoFocus = bAutoAdjust[size_t(nChannel)];
        QAction* a = menu.addAction(autoFocus ? "当前：自动定焦模式" : "当前：手动定焦模式");
        connect(a, &QAction::triggered, this, [this, nChannel] {
            if (CurrentWorkMode() == kModeCapture) {
                const bool now = !bAutoAdjust[size_t(nChannel)];
                bAutoAdjust[size_t(nChannel)] = now;
                capture->Manager().SetCanAutoAdjust(nChannel, now);
            }
        });
    }
    if (own.DeviceType != kDeviceNone) {
        connect(menu.addAction("设为录音通道"), &QAction::triggered, this, [this, nChannel] {
            if (CurrentWorkMode() == kModeCapture) {
                capture->Director().Audio(nChannel);
            }
        });
    }
    if (own.DeviceType == kDeviceMp4) {
        connect(
            menu.addAction("设置播放进度"), &QAction::triggered, this,
            [this, nChannel] {
                if (CurrentWorkMode() == kModeCapture) {
                    TF_Mp4Adjust position(channelAccess, this);
                    position.setCH(nChannel);
                    position.exec();
                }
            },
            Qt::QueuedConnection); // a modal window: after the menu is done
    }
    menu.popup(global);
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
        OfferLastConnections();
    }
}

void TFMain::ClearAllMarks() {
    const int seconds = replay->Worker().QueryDeletedBlockSeconds();
    if (seconds <= 0) {
        return;
    }
    ClickOpensModal();
    if (ShowMessage(ClearMarksQuestion(seconds), TMsgIcon::Question, TMsgButtons::OkCancel) ==
        TMsgAnswer::Ok) {
        replay->Worker().RecoveryAllDeleteIBlock();
        update(ToQRect(RulerRect()));
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
    if (CurrentWorkMode() == kModeReplay && bDeleteFlag) {
        tp_delStart = event->position().toPoint();
    }
    QWidget::mousePressEvent(event);
}

void TFMain::mouseReleaseEvent(QMouseEvent* event) {
    if (CurrentWorkMode() != kModeReplay) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const QPoint p = event->position().toPoint();
    TReplayClientThread& w = replay->Worker();
    if (bDeleteFlag) {
        w.SetDropIblock_EX(tp_delStart.x(), tp_delStart.y(), p.x(), p.y());
    } else if (w.MoveTo(p.x(), p.y()) == 1 && bReplayPause) {
        DoAction(TMainAction::ReplayPause);
    }
    update(ToQRect(RulerRect()));
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
    if (bStarted && CurrentWorkMode() == kModeCapture && bCaptureState &&
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
