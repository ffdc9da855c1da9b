// The console window. It builds its bars, panes and menus, runs the start-up
// before it shows and the first lesson choice on its first tick, and carries
// out the operator's actions. The core objects of a mode belong to that
// mode's controller (TCaptureMode, TReplayMode); the pure rules (geometry,
// history, gestures, texts, transitions) live in their own classes.
#pragma once

#include "app/CaptureMode.h"
#include "app/CaptureStatus.h"
#include "app/ClickHistory.h"
#include "app/KeyDirector.h"
#include "app/MainActions.h"
#include "app/MainHooks.h"
#include "app/MainView.h"
#include "app/ModeSwitch.h"
#include "app/PaneGeometry.h"
#include "app/ReplayMode.h"
#include "app/Startup.h"
#include "base/StorageDrive.h"
#include "compose/editor/EditorHost.h"
#include "platform/PlatformTypes.h"
#include "sources/ui/ChannelAccess.h"

#include <QMenu>
#include <QPoint>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <optional>
#include <vector>

class QComboBox;
class QPainter;

namespace tavrin {

class TDispPanel;
class TImageButton;

class TF_CHConfig;
class TFConfig;
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

    // Read-only views for the status lines and for tests.
    const Tvo_FromServer& CurrentLession() const { return CurrentPvo; }
    bool HasIni() const { return bHasIni; }
    const rLastState& LastState() const { return captureKept.connections.Remembered(); }
    TCaptureMode* Capture() { return capture.get(); }
    TReplayMode* Replay() { return replay.get(); }
    TDispPanel* Pane(int i) const;
    TDispPanel* ReplayPane() const { return Panel_ReplayArea; }
    TF_CHConfig* ChannelDialog() const { return chConfig; }
    TFConfig* SettingsDialog() const { return fConfig; }
    TPlanEditorLauncher* PlanEditor() const { return planEditor.get(); }
    // The tag of the bar button whose click opened a modal window or menu
    // still held down, -1 otherwise.
    int CurrentClickImageTag() const { return nCurrentClickImageTAGID; }
    QWidget* CaptureBar() const { return Panel_Capture; }
    QWidget* ReplayBar() const { return Panel_Replay; }
    QComboBox* AudioOffsetBox() const { return ComboBox1; }
    TImageButton* Button(TBar bar, int tag) const;
    const TGridLayout& Grid() const { return grid; }
    TPaneRect RulerRect() const;
    const TMainSettings& Settings() const { return st.settings; }
    const TGetLessionInfo* Paths() const { return st.paths.get(); }
    // The menu the last right-click or button opened (null once closed).
    QMenu* OpenMenu() const { return openMenu; }
    TCaptureStatus* Status() const { return status.get(); }

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
    QRect EditorWindowRect() const override;
    void SetEditorWindowRect(const QRect& r) override;

    // TModeHost.
    int SwitchMode(int mode, int32_t nLession);
    int EnterCapture(int32_t nLession) override;
    void LeaveCapture() override;
    int EnterReplay(int32_t nLession) override;
    void LeaveReplay() override;
    void RememberConnections() override;
    void RestoreConnections() override;
    void StartDiscovery() override;

    void BuildBars();
    QWidget* BuildBar(TBar bar);
    void OnTimer();
    void FirstTick();
    void ChooseFromBar();
    // IKeyHost and IStatusHost.
    QWidget* KeyWindow() override { return this; }
    TCaptureMode* CaptureNow() override;
    TReplayMode* ReplayNow() override;
    QObject* OffsetBox() override;
    void ErrorMarked(int digit) override;
    int ProgrammeBottom() const override { return grid.DispOne.Bottom(); }
    int WindowWidth() const override { return width(); }
    QRect PaneGeometry(int i) const override;
    void Repaint(const QRegion& r) override { update(r); }
    // IMainView.
    void ShowToggle(TMainAction action, bool on) override;
    void RepaintRuler() override;
    void RepaintPaneFrame(int i) override;
    void ShowOnePane(int i) override;
    void ShowAllPanes(int i) override;
    void DragPane(int i) override;
    QMenu& NewMenu(const char* name) override;
    void FollowChannelWindow(int nChannel) override;
    void OpenMp4Position(int nChannel) override;

    void CreatePanes();
    void FreePanes();
    void LayoutCapturePanes();
    void LayoutReplayPane();
    // Each pane's port follows its pane's size.
    void PortsFollowPanes();
    void LayoutBars();
    // The selected pane and the panes' arrangement (0 all, 1 one enlarged).
    uint32_t CurrentPort() const { return capture ? capture->CurrentPort() : 0; }
    uint32_t DispMode() const { return capture ? capture->DispMode() : 0; }
    TPaneRect FrameRect() const;
    TPaneRect FrameRect(int i) const;

    void OnPanePressed(TDispPanel* pane, QMouseEvent* event);
    void OnPaneMoved(TDispPanel* pane, QMouseEvent* event);
    void OnPaneReleased(TDispPanel* pane, QMouseEvent* event);
    void OnPaneDoubleClicked(TDispPanel* pane, QMouseEvent* event);
    void OnPaneExposed(TDispPanel* pane);
    // The bar button being clicked opens a modal window or menu.
    void ClickOpensModal() override;
    bool EditSettings(INIAnotherSet& set);
    void ShowMainMenu();
    void OpenOutputFolder();
    void ShowAbout();
    void SetCaption(const Tvo_FromServer& lesson);

    TMainHooks hooks;
    TStartupState st;
    bool bStarted = false;
    bool bHasIni = false;
    bool bInFirstTick = false;

    int32_t nCurrentMode = kModeNone;
    Tvo_FromServer CurrentPvo;
    Tvo_FromServer ChosenPvo; // the chooser's lesson, for the mode being entered
    int nChannels = 3;
    std::vector<TDispPanel*> DispPanel;
    TGridLayout grid;
    TCaptureMode::TKept captureKept;

    bool bChannelError = false;
    int nCurrentClickImageTAGID = -1;
    TImageButton* clickingButton = nullptr; // the bar button whose click runs

    std::unique_ptr<TCaptureMode> capture;
    std::unique_ptr<TReplayMode> replay;
    std::unique_ptr<TPlanEditorLauncher> planEditor;
    TChannelAccessor channelAccess;
    TF_CHConfig* chConfig = nullptr; // the channel connection window, hidden until asked for
    TSystemDrives systemDrives;
    TFConfig* fConfig = nullptr; // the settings dialog, hidden until asked for

    QWidget* Panel_Capture = nullptr;
    QWidget* Panel_Replay = nullptr;
    TDispPanel* Panel_ReplayArea = nullptr;
    QComboBox* ComboBox1 = nullptr;
    std::vector<TImageButton*> captureButtons;
    std::vector<TImageButton*> replayButtons;
    QPointer<QMenu> openMenu;
    QTimer Timer1;
    std::unique_ptr<TCaptureStatus> status;
    std::unique_ptr<TKeyDirector> keys;
};

} // namespace tavrin
