// The console window. It builds its bars, panes and menus, runs the start-up
// before it shows and the first lesson choice on its first tick, and carries
// out the operator's actions. The core objects of a mode belong to that
// mode's controller (TCaptureMode, TReplayMode); the pure rules (geometry,
// history, gestures, texts, transitions) live in their own classes.
#pragma once

#include "app/CaptureMode.h"
#include "app/ClickHistory.h"
#include "app/MainActions.h"
#include "app/MainHooks.h"
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

class TCaptureStatus;
class TDispPanel;
class TImageButton;
class TKeyDirector;

struct CHMenuCaption {
    std::string OKCharAndIP;
    int Charge = -1;
};

class TF_CHConfig;
class TFConfig;
class TPlanEditorLauncher;

class TFMain : public QWidget, private TModeHost, public IEditorHost {
    Q_OBJECT
public:
    explicit TFMain(TMainHooks hooks, QWidget* parent = nullptr);
    ~TFMain() override;

    // False when the start-up ended the process (a test's EndProcess
    // handler returned): the window must not be shown.
    bool Started() const { return bStarted; }

    // Mode query: 1 capture with its manager, 2 replay with its worker, else 0.
    int CurrentWorkMode() const override;
    bool getIfInCaptureMode() const { return CurrentWorkMode() == kModeCapture; }
    int SwitchMode(int mode, int32_t nLession);
    // Makes a scene of the activity plan current and combines as many recent
    // channels: its video count, or -1 outside capture mode.
    int useLayout(int ID);
    void setLayoutWindowPos(const TPaneRect& r) { st.LayoutWindowPos = r; }
    const TPaneRect& LayoutWindowPos() const { return st.LayoutWindowPos; }
    void showRtmpState();

    // Carries out one action of the table (also for keys).
    void DoAction(TMainAction action);
    void CombineRecent(int n, bool fullScreen, bool swap);
    void PushClickedChannel(int c) { ClickPorts.PushClickedChannel(c); }

    // Read-only views for the status lines and for tests.
    const Tvo_FromServer& CurrentLession() const { return CurrentPvo; }
    uint32_t CurrentPort() const { return nCurrentPort; }
    uint32_t DispMode() const { return nDispMode; }
    const TClickHistory& ClickHistory() const { return ClickPorts; }
    bool CaptureState() const { return bCaptureState; }
    bool PlayAudioState() const { return bPlayAudio; }
    bool DeleteFlag() const { return bDeleteFlag; }
    bool ReplayPaused() const { return bReplayPause; }
    bool HasIni() const { return bHasIni; }
    const rLastState& LastState() const { return lastState; }
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
    // A drag of the programme pane is under way.
    bool DraggingProgramme() const { return bDraggingProgramme; }
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
    // Hooks of the status lines: one runs on every tick after the first
    // (after the capture controller's own), the other draws on the window
    // whenever it is painted.
    void SetStatusTick(std::function<void()> f) { statusTick = std::move(f); }
    void SetStatusPaint(std::function<void(QPainter&)> f) { statusPaint = std::move(f); }
    TCaptureStatus* Status() const { return status.get(); }

    // What the keyboard and the status lines act on.
    bool PtzMode() const { return bPTZMode; }
    bool RecordingPrevented() const { return bPreventCapture; }
    // The recording limits were reached: recording goes off and stays off
    // for this lesson.
    void StopRecordingAtLimit();
    // The channel's whole picture, without cut (the channel menu's item).
    void FullPictureNoCut(int nChannel);
    void RefreshRuler();

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
    void UseScene(int32_t nRuntimeID) override { useLayout(nRuntimeID); }
    bool IsCaptureMode() override { return getIfInCaptureMode(); }
    void UseAddress(const std::string& url) override;
    QRect EditorWindowRect() const override;
    void SetEditorWindowRect(const QRect& r) override;

    // TModeHost.
    int EnterCapture(int32_t nLession) override;
    void LeaveCapture() override;
    int EnterReplay(int32_t nLession) override;
    void LeaveReplay() override;
    void RememberConnections() override;
    void RestoreConnections() override;
    void StartDiscovery() override;
    // The channels as they are now, as the settings file keeps them.
    rLastState TakeConnections();
    // Writes the channels to the settings file when they changed.
    void KeepConnections();
    // Traces the programme's tick counts (ticks, missed) under a title.
    void TraceTicks(const char* what);
    // After an unclean end, once capture is entered: asks whether the
    // channels of the last run are to be connected again.
    void OfferLastConnections();

    void BuildBars();
    QWidget* BuildBar(TBar bar);
    void OnTimer();
    void FirstTick();
    void ChooseFromBar();
    void ResetToggles();
    void RefreshButton(TBar bar, int tag);

    void CreatePanes();
    void FreePanes();
    void LayoutCapturePanes();
    void LayoutReplayPane();
    // Each pane's port follows its pane's size.
    void PortsFollowPanes();
    void LayoutBars();
    void SelectPane(int i);
    TPaneRect FrameRect() const;

    void OnPanePressed(TDispPanel* pane, QMouseEvent* event);
    void OnPaneMoved(TDispPanel* pane, QMouseEvent* event);
    void OnPaneReleased(TDispPanel* pane, QMouseEvent* event);
    void OnPaneDoubleClicked(TDispPanel* pane, QMouseEvent* event);
    void OnPaneExposed(TDispPanel* pane);
    void DragProgramme(TDispPanel* pane);
    // The bar button being clicked opens a modal window or menu.
    void ClickOpensModal();
    bool EditSettings(INIAnotherSet& set);
    void PaneClicked(int tag);
    void ShowChannelMenu(int nChannel, QPoint global);
    void ShowLayoutMenu(int count);
    void ShowMainMenu();
    QMenu& NewMenu(const char* name);
    void ClearAllMarks();
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
    uint32_t nCurrentPort = 0;
    uint32_t nDispMode = 0;
    int nChannels = 3;
    std::vector<TDispPanel*> DispPanel;
    TGridLayout grid;
    TClickHistory ClickPorts;
    rLastState lastState;
    std::vector<bool> bAutoAdjust;
    std::vector<CHMenuCaption> rCHMenuCaption;

    bool bCaptureState = false;
    uint64_t nTicksTraced = 0; // the programme tick of the last TraceTicks
    bool bReplayPause = false;
    bool bPlayAudio = false;
    bool bDeleteFlag = false;
    bool bPTZMode = false;
    bool bAfterDBDone = false;
    bool bPreventCapture = false;
    bool bCtrlAtPress = false;
    bool bChannelError = false;
    int xStart = 0;
    int yStart = 0;
    QPoint tp_delStart;
    int nCurrentClickImageTAGID = -1;
    bool bDiscoveryFailureShown = false;
    // The last run did not close the window; its channels are not yet offered.
    bool bUncleanEnd = false;
    rLastState keptConnections;
    // The programme pane: where a left press may start a drag, and whether
    // one runs (its release is no click).
    std::optional<QPoint> programmeDragFrom;
    bool bDraggingProgramme = false;
    bool bProgrammeDragged = false;
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
    std::function<void()> statusTick;
    std::function<void(QPainter&)> statusPaint;
    std::unique_ptr<TCaptureStatus> status;
    std::unique_ptr<TKeyDirector> keys;
};

} // namespace tavrin
