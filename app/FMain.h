// The console window. It builds its bars, panes and menus, runs the start-up
// before it shows and the first lesson choice on its first tick, owns the
// current mode's controller (TCaptureMode, TReplayMode) and forwards the
// operator's actions to it. The panes, bars and menus are their own classes;
// the pure rules (geometry, history, gestures, texts, transitions) too.
#pragma once

#include "app/ActionSet.h"
#include "app/CaptureMode.h"
#include "app/CaptureStatus.h"
#include "app/KeyDirector.h"
#include "app/MainActions.h"
#include "app/MainBars.h"
#include "app/MainHooks.h"
#include "app/MainMenu.h"
#include "app/MainPanes.h"
#include "app/MainView.h"
#include "app/ModeSwitch.h"
#include "app/ReplayMode.h"
#include "app/Startup.h"
#include "base/StorageDrive.h"
#include "compose/editor/EditorHost.h"
#include "platform/PlatformTypes.h"
#include "sources/ui/ChannelAccess.h"

#include <QTimer>
#include <QWidget>
#include <memory>

namespace tavrin {

class TF_CHConfig;
class TPlanEditorLauncher;

class TFMain : public QWidget,
               private TModeHost,
               public IEditorHost,
               private IMainView,
               private IKeyHost,
               private IStatusHost {
    Q_OBJECT
public:
    explicit TFMain(TMainHooks hooks, QWidget* parent = nullptr);
    ~TFMain() override;

    // False when the start-up ended the process (a test's EndProcess
    // handler returned): the window must not be shown.
    bool Started() const { return bStarted; }

    // Mode query: 1 capture with its manager, 2 replay with its worker, else 0.
    int CurrentWorkMode() const override;

    // Carries out one action of the table (also for keys).
    void DoAction(TMainAction action);

    // The current mode's controller, null outside that mode.
    TCaptureMode* Capture() { return capture.get(); }
    TReplayMode* Replay() { return replay.get(); }
    // The signed-in user's lesson folders (for the lesson chooser).
    const TGetLessionInfo* Paths() const { return st.paths.get(); }

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // IEditorHost: what the plan editor may do with the console.
    TScreenLayout* SceneRuntime() override { return st.layout.get(); }
    // Makes a scene of the activity plan current and combines as many recent
    // channels (nothing outside capture mode).
    void UseScene(int32_t nRuntimeID) override;
    bool IsCaptureMode() override { return CurrentWorkMode() == kModeCapture; }
    void UseAddress(const std::string& url) override;
    QRect EditorWindowRect() const override {
        const TPaneRect& r = st.LayoutWindowPos;
        return QRect(r.x, r.y, r.w, r.h);
    }
    void SetEditorWindowRect(const QRect& r) override {
        st.LayoutWindowPos = {r.x(), r.y(), r.width(), r.height()};
    }

    // TModeHost.
    int EnterCapture(int32_t nLession) override;
    void LeaveCapture() override;
    int EnterReplay(int32_t nLession) override;
    void LeaveReplay() override;
    void RememberConnections() override {
        if (capture) {
            capture->RememberConnections();
        }
    }
    void RestoreConnections() override {
        if (TCaptureMode* c = CaptureNow()) {
            c->RestoreConnections();
        }
    }
    void StartDiscovery() override {
        if (TCaptureMode* c = CaptureNow()) {
            c->StartDiscovery();
        }
    }
    // Switches to the chosen lesson's mode and shows it in the caption.
    void UseChoice(int mode, const Tvo_FromServer& chosen);

    void OnTimer();
    void FirstTick();
    void ChooseFromBar();
    void OpenPlanEditor();
    // IKeyHost and IStatusHost.
    QWidget* KeyWindow() override { return this; }
    TCaptureMode* CaptureNow() override {
        return CurrentWorkMode() == kModeCapture ? capture.get() : nullptr;
    }
    TReplayMode* ReplayNow() override {
        return CurrentWorkMode() == kModeReplay ? replay.get() : nullptr;
    }
    QObject* OffsetBox() override { return bars->OffsetBox(); }
    int ProgrammeBottom() const override { return panes->Grid().DispOne.Bottom(); }
    int WindowWidth() const override { return width(); }
    QRect PaneGeometry(int i) const override;
    void Repaint(const QRegion& r) override { update(r); }
    // IMainView.
    void ShowToggle(TMainAction action, bool on) override { actions->SetChecked(action, on); }
    void RepaintRuler() override;
    void ClickOpensModal() override { bars->ClickOpensModal(); }
    void RepaintPaneFrame(int i) override;
    void ShowOnePane(int i) override;
    void ShowAllPanes(int i) override;
    void DragPane(int i) override { panes->Drag(i); }
    QMenu& NewMenu(const char* name) override { return menus->NewMenu(name); }
    void FollowChannelWindow(int nChannel) override;
    void OpenMp4Position(int nChannel) override;
    void ErrorMarked(int digit) override { status->ErrorMarked(digit); }

    void LayoutCapturePanes();
    void LayoutReplayPane();
    TPaneRect RulerRect() const { return ReplayRulerRect(width(), height(), kBarHeight); }

    TMainHooks hooks;
    TStartupState st;
    bool bStarted = false;
    bool bHasIni = false;
    bool bInFirstTick = false;

    int32_t nCurrentMode = kModeNone;
    Tvo_FromServer CurrentPvo;
    Tvo_FromServer ChosenPvo; // the chooser's lesson, for the mode being entered
    int nChannels = 3;
    TCaptureMode::TKept captureKept;

    std::unique_ptr<TCaptureMode> capture;
    std::unique_ptr<TReplayMode> replay;
    std::unique_ptr<TPlanEditorLauncher> planEditor;
    TChannelAccessor channelAccess;
    TF_CHConfig* chConfig = nullptr; // the channel connection window, hidden until asked for
    TSystemDrives systemDrives;

    TActionSet* actions = nullptr;
    TMainBars* bars = nullptr;
    TMainPanes* panes = nullptr;
    TMainMenu* menus = nullptr;
    QTimer Timer1;
    std::unique_ptr<TCaptureStatus> status;
    std::unique_ptr<TKeyDirector> keys;
};

} // namespace tavrin
