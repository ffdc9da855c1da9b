#include "app/CaptureMode.h"

#include "app/CaptureKeys.h"
#include "app/ChannelMenuItem.h"
#include "app/CutGesture.h"
#include "app/SavedConnections.h"
#include "app/WindowTexts.h"
#include "base/Message.h"
#include "base/Trace.h"
#include "compose/ScreenLayout.h"
#include "output/SaveAV.h"
#include "sources/Discovery.h"

#include <QAction>
#include <QCursor>
#include <QMenu>
#include <cstdlib>

namespace tavrin {

namespace {

// A press on the programme pane becomes a drag once the pointer has gone
// this far along either axis; a shorter move is still a click.
constexpr int kProgrammeDragThreshold = 10;

} // namespace

TCaptureMode::TCaptureMode(IMainView& v, TKept& k)
    : view(v), kept(k), ClickPorts(int(k.bAutoAdjust.size()) - 1) {
    view.ShowToggle(TMainAction::Record, false);
    view.ShowToggle(TMainAction::MonitorAudio, false);
}

TCaptureMode::~TCaptureMode() {
    // Recording ends first, the live sender last (the session's order).
    session.Stop();
    view.ShowToggle(TMainAction::Record, false);
    view.ShowToggle(TMainAction::MonitorAudio, false);
}

TCaptureSessionConfig TCaptureMode::ConfigFor(const INIAnotherSet& set,
                                              const TGetLessionInfo& paths,
                                              const TLessionInfo& lesson, int nChannels,
                                              TScreenLayout* layout) {
    TCaptureSessionConfig config;
    config.paths = paths;
    config.lesson = lesson;
    config.nYUVWidth = int(set.nYUVWidth);
    config.nYUVHeight = int(set.nYUVHeight);
    config.nAudioDelay = set.nAudioDelay;
    config.nBitrate = int64_t(set.videobitrate) * 1024;
    config.nChannels = nChannels;
    config.layout = layout;
    config.bDiscovery = true;
    config.nAudioChannel = 1;
    return config;
}

int TCaptureMode::Open(TCaptureSessionConfig cfg) {
    if (!cfg.prepareProgress) {
        cfg.prepareProgress = storeProgress.Callback();
    }
    cfg.autoAdjust = kept.bAutoAdjust;
    if (const int r = session.Start(cfg); r < 0) {
        return r;
    }
    nCurrentPort = 1;
    ClickPorts.PushClickedChannel(1);
    return 0;
}

void TCaptureMode::ShowOpenFailure(int result, const std::string& dir) {
    if (result == TCaptureSession::kNoProgramme) {
        Trace("capture: the programme output cannot be opened");
        return;
    }
    if (const std::string text = NewLessionFailureText(result, dir); !text.empty()) {
        ShowMessage(text, TMsgIcon::Error);
    }
}

// --- commands ----------------------------------------------------------------

void TCaptureMode::ToggleRecording() {
    const bool on = session.SetRecording(!session.Recording());
    view.ShowToggle(TMainAction::Record, on);
    TraceTicks(on ? "recording on" : "recording off");
}

void TCaptureMode::TraceTicks(const char* what) {
    // How punctual the programme was, for whoever watches a long lesson from
    // outside: the difference between two of these lines is a recording's.
    uint64_t ticks = 0;
    uint64_t missed = 0;
    if (!session.ProgrammeTicks(ticks, missed)) {
        return;
    }
    // The lateness since the last of these lines: at "recording off" that
    // of the recording.
    std::string late;
    uint32_t p99 = 0;
    uint32_t most = 0;
    if (session.ProgrammeLateness(nTicksTraced, p99, most)) {
        late = ", lateness p99 " + std::to_string(p99) + " ms, max " + std::to_string(most) + " ms";
    }
    nTicksTraced = ticks;
    Trace(std::string(what) + ": programme ticks " + std::to_string(ticks) + ", missed " +
          std::to_string(missed) + late);
}

void TCaptureMode::TogglePtz() {
    kept.bPTZMode = !kept.bPTZMode;
    view.ShowToggle(TMainAction::Ptz, kept.bPTZMode);
}

void TCaptureMode::ToggleMonitor() {
    bPlayAudio = !bPlayAudio;
    if (Director().MonitorAudio(int(nCurrentPort), bPlayAudio) == -1) {
        bPlayAudio = !bPlayAudio;
    }
    view.ShowToggle(TMainAction::MonitorAudio, bPlayAudio);
}

void TCaptureMode::StopRecordingAtLimit() {
    session.PreventCapture();
    view.ShowToggle(TMainAction::Record, false);
    TraceTicks("recording off");
}

void TCaptureMode::CombineRecent(int n, bool fullScreen, bool swap) {
    TDirector director = Director();
    const std::vector<int32_t> list = ClickPorts.CombineRecent(n, swap, director.Shown());
    if (list.empty()) {
        return;
    }
    director.Combine(list, fullScreen);
    if (n == 1) {
        director.CentreView(int(nCurrentPort));
    }
}

int TCaptureMode::UseLayout(int ID) {
    const int count = Director().UseScene(ID);
    if (count >= 0 && count <= 4) {
        CombineRecent(count, false, true);
    }
    return count;
}

void TCaptureMode::FullPictureNoCut(int nChannel) {
    if (nChannel > 0) {
        Director().Uncut(nChannel);
    }
}

void TCaptureMode::ShowLayoutMenu(int count) {
    int32_t checked = -1;
    const TScreenLayout::rLayout* const* list = nullptr;
    TScreenLayout* scenes = session.Layout();
    const int n = scenes == nullptr ? 0 : scenes->GetListForThisRectCount(count, checked, list);
    if (n <= 0) {
        CombineRecent(count, false, true);
        return;
    }
    view.ClickOpensModal();
    QMenu& menu = view.NewMenu("LayoutMenu");
    for (int i = 0; i < n; ++i) {
        const TScreenLayout::rLayout* scene = list[i];
        QAction* a = menu.addAction(QString::fromStdString(scene->name));
        a->setCheckable(true);
        a->setChecked(scene->id == checked);
        const int id = scene->id;
        connect(a, &QAction::triggered, this, [this, id] {
            const int c = Director().UseScene(id);
            if (c >= 0 && c <= 4) {
                CombineRecent(c, false, true);
            }
        });
    }
    menu.popup(QCursor::pos());
}

void TCaptureMode::ShowChannelMenu(int nChannel, QPoint global) {
    TDirector director = Director();
    TClientInfo own;
    director.Info(nChannel, own);
    QMenu& menu = view.NewMenu("ChannelMenu");
    for (const TActionEntry& e : MainActionTable()) {
        if (e.bar != TBar::ChannelMenu || !ChannelItemApplies(e.action, nChannel, own)) {
            continue;
        }
        const bool off = e.action == TMainAction::AutoFocus && !kept.bAutoAdjust[size_t(nChannel)];
        QAction* a = menu.addAction(QString::fromUtf8(off ? e.captionOff : e.caption));
        const TMainAction action = e.action;
        // The play-position window is modal: it opens after the menu is done.
        connect(
            a, &QAction::triggered, this,
            [this, action, nChannel] { DoOnChannel(action, nChannel); },
            action == TMainAction::Mp4Position ? Qt::QueuedConnection : Qt::AutoConnection);
        if (e.separatorAfter) {
            menu.addSeparator();
            AddSourceItems(menu, nChannel);
        }
    }
    menu.popup(global);
}

void TCaptureMode::AddSourceItems(QMenu& menu, int nChannel) {
    TDirector director = Director();
    for (int i = 1; i <= director.ChannelCount(); ++i) {
        TClientInfo info;
        director.Info(i, info);
        TChannelMenuInfo c;
        c.nDeviceType = info.DeviceType;
        c.sIP = info.IP;
        c.sPix = director.Pix(i);
        if (info.DeviceType == kDeviceMp4) {
            director.Mp4Position(i, c.nPositionSec, c.nLengthSec);
        }
        const std::string caption = ChannelItemCaption(c);
        const int charge = IsNetworkDevice(info.DeviceType) && info.DeviceType != kDeviceDesktop
                               ? info.nCharge
                               : -1;
        QAction* a = AddChannelMenuItem(menu, ChannelItemText(caption, i == nChannel), charge);
        connect(a, &QAction::triggered, this, [this, i, nChannel] {
            if (i == nChannel) {
                Director().Reconnect(i);
            } else {
                Director().Swap(i, nChannel);
            }
        });
    }
}

bool TCaptureMode::ChannelItemApplies(TMainAction action, int nChannel, const TClientInfo& own) {
    switch (action) {
    case TMainAction::WideAngle:
        return Director().HasWideAngle(nChannel);
    case TMainAction::AutoFocus:
        return own.DeviceType == kDevicePhone || own.DeviceType == kDevicePhoneAlt;
    case TMainAction::AudioChannel:
        return own.DeviceType != kDeviceNone;
    case TMainAction::Mp4Position:
        return own.DeviceType == kDeviceMp4;
    default:
        return true;
    }
}

void TCaptureMode::DoOnChannel(TMainAction action, int nChannel) {
    switch (action) {
    case TMainAction::FullNoCut:
        FullPictureNoCut(nChannel);
        break;
    case TMainAction::ClearChannel:
        Director().ClearChannel(nChannel);
        break;
    case TMainAction::NoReconnect:
        Director().NoReconnect(nChannel);
        view.RepaintPaneFrame(int(nCurrentPort));
        break;
    case TMainAction::WideAngle:
        Director().WideAngle(nChannel);
        break;
    case TMainAction::AutoFocus: {
        const bool now = !kept.bAutoAdjust[size_t(nChannel)];
        kept.bAutoAdjust[size_t(nChannel)] = now;
        Director().AutoFocus(nChannel, now);
        break;
    }
    case TMainAction::AudioChannel:
        Director().Audio(nChannel);
        break;
    case TMainAction::Mp4Position:
        view.OpenMp4Position(nChannel);
        break;
    default:
        break;
    }
}

// --- pane gestures -------------------------------------------------------------

void TCaptureMode::SelectPane(int i) {
    view.RepaintPaneFrame(int(nCurrentPort));
    nCurrentPort = uint32_t(i);
    view.RepaintPaneFrame(int(nCurrentPort));
}

void TCaptureMode::PaneClicked(int tag) {
    SelectPane(tag);
    view.FollowChannelWindow(tag);
    ClickPorts.PushClickedChannel(tag);
    Director().MonitorAudio(tag, bPlayAudio);
}

void TCaptureMode::PanePressed(const TPaneInput& in) {
    const int tag = in.tag;
    if (in.bRight) {
        SelectPane(tag);
        if (tag > 0) {
            ClickPorts.PushClickedChannel(tag);
            ShowChannelMenu(tag, in.global);
        }
        return;
    }
    if (!in.bLeft) {
        return;
    }
    programmeDragFrom.reset();
    bProgrammeDragged = false;
    if (kept.bPTZMode && tag > 0) {
        int x = 0;
        int y = 0;
        PtzPoint(in.pos.x(), in.pos.y(), in.paneW, in.paneH, x, y);
        Director().PtzPoint(tag, x, y);
        return;
    }
    if (tag > 0) {
        xStart = in.pos.x();
        yStart = in.pos.y();
        bCtrlAtPress = in.bCtrl;
    } else if (nDispMode == 0 && !bAfterDBDone) {
        programmeDragFrom = in.pos;
    }
    view.RepaintPaneFrame(int(nCurrentPort));
}

void TCaptureMode::PaneMoved(const TPaneInput& in) {
    if (!in.bLeftHeld) {
        return;
    }
    if (in.tag == 0) {
        if (programmeDragFrom &&
            (std::abs(in.pos.x() - programmeDragFrom->x()) >= kProgrammeDragThreshold ||
             std::abs(in.pos.y() - programmeDragFrom->y()) >= kProgrammeDragThreshold)) {
            programmeDragFrom.reset();
            bProgrammeDragged = true;
            bDraggingProgramme = true;
            view.DragPane(0);
            bDraggingProgramme = false;
        }
        return;
    }
    if (bAfterDBDone || kept.bPTZMode) {
        return;
    }
    const TPermilleRect r =
        PermilleRect(xStart, yStart, in.pos.x(), in.pos.y(), in.paneW, in.paneH);
    if (TrialRectWanted(r)) {
        Director().CutTrial(in.tag, r.xStart, r.yStart, r.xEnd, r.yEnd);
    }
}

void TCaptureMode::PaneReleased(const TPaneInput& in) {
    if (!in.bLeft) {
        return;
    }
    const int tag = in.tag;
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
    TDirector director = Director();
    if (bAfterDBDone) {
        bAfterDBDone = false;
        director.CutClearTrial(tag);
        director.CutCommit(tag);
        return;
    }
    if (kept.bPTZMode) {
        return;
    }
    const TPermilleRect r =
        PermilleRect(xStart, yStart, in.pos.x(), in.pos.y(), in.paneW, in.paneH);
    if (!ReleaseRectAccepted(r)) {
        // The trial drawn while dragging goes too, or a later Ctrl release
        // would make the slip real.
        director.CutClearTrial(tag);
        return;
    }
    if (director.CutTrial(tag, r.xStart, r.yStart, r.xEnd, r.yEnd) < 0) {
        return;
    }
    if (!bCtrlAtPress) {
        director.CutStop();
        director.CutCommit(tag);
    }
}

void TCaptureMode::PaneDoubleClicked(const TPaneInput& in) {
    if (!in.bLeft) {
        return;
    }
    bAfterDBDone = true;
    if (nDispMode == 0) {
        SelectPane(in.tag);
        nDispMode = 1;
        view.ShowOnePane(in.tag);
    } else {
        nDispMode = 0;
        view.ShowAllPanes(in.tag);
    }
}

// --- remembered connections ----------------------------------------------------

rLastState TCaptureMode::TakeConnections() {
    const TDirector director = Director();
    const int nChannels = director.ChannelCount();
    rLastState now;
    now.CHLastStateArr.assign(size_t(nChannels), {});
    for (int i = 1; i <= nChannels; ++i) {
        TClientInfo info;
        if (!director.Info(i, info)) {
            continue;
        }
        CHLastState& s = now.CHLastStateArr[size_t(i) - 1];
        s.sIP = info.IP;
        s.Mp3Name = info.Mp3Name;
        s.AudioDeviceName = info.AudioDeviceName;
        s.nChannel = i;
        s.nDeviceType = info.DeviceType;
        s.bConnectOK = info.bConnectOK;
        s.bCycle = info.DeviceType == kDeviceMp4 && director.Looping(i);
    }
    now.CombineportsArr = director.Shown();
    return now;
}

bool TCaptureMode::Do(TMainAction action) {
    switch (action) {
    case TMainAction::LayoutOne:
    case TMainAction::LayoutTwo:
    case TMainAction::LayoutThree:
    case TMainAction::LayoutFour:
        ShowLayoutMenu(LayoutCount(action));
        return true;
    case TMainAction::Record:
        ToggleRecording();
        return true;
    case TMainAction::Ptz:
        TogglePtz();
        return true;
    case TMainAction::MonitorAudio:
        ToggleMonitor();
        return true;
    default:
        return false;
    }
}

void TCaptureMode::Key(int key, bool shift, bool repeat) {
    const TKeyCommand c = DoRealKeyCommand(key, shift);
    // Held keys repeat only the movement of the cut area; a held digit must
    // not mark the recording thirty times.
    if (repeat && c.action != TMainAction::MoveCut) {
        return;
    }
    TDirector director = Director();
    const int selected = int(nCurrentPort);
    switch (c.action) {
    case TMainAction::PreviousProgramme:
        director.Esc();
        break;
    case TMainAction::RecentFullScreen:
        CombineRecent(1, true, true);
        break;
    case TMainAction::RecentTwo:
        CombineRecent(2, false, true);
        break;
    case TMainAction::LayoutThree:
    case TMainAction::LayoutFour:
        Do(c.action);
        break;
    case TMainAction::FullNoCut:
        FullPictureNoCut(selected);
        break;
    case TMainAction::Pause:
        director.Pause(selected);
        break;
    case TMainAction::ErrorMark:
        if (session.MarkError(c.digit) != 0) {
            view.ErrorMarked(c.digit);
        }
        break;
    case TMainAction::MoveCut:
        director.CutMove(selected, c.dx, c.dy);
        break;
    default:
        break;
    }
}

void TCaptureMode::KeyUp(int key) {
    TDirector director = Director();
    director.CutStop();
    if (key != Qt::Key_Control) {
        return;
    }
    director.CutCommitAll(TrialRectConversionOrder(director.ChannelCount(), int(nCurrentPort)));
}

void TCaptureMode::Wheel(bool up) {
    if (kept.bPTZMode && nCurrentPort > 0) {
        Director().FocusStep(int(nCurrentPort), up);
    }
}

void TCaptureMode::StartDiscovery() {
    if (TCaptureSession::DiscoveryDisabledByEnv()) {
        Trace("device discovery is off (TAVRIN_NO_DISCOVERY)");
        return;
    }
    // Later probes would find the same fault.
    if (const int r = session.Discover(); r < 0 && !kept.bDiscoveryFailureShown) {
        kept.bDiscoveryFailureShown = true;
        ShowMessage("启用设备发现功能失败，您将不能再使用发现功能！\n\r错误原因：" +
                        TDiscovery::GetErrorByID(r),
                    TMsgIcon::Warning);
    }
}

void TCaptureMode::RememberConnections() {
    if (HasManager()) {
        kept.connections.Remember(TakeConnections());
    }
}

void TCaptureMode::RestoreConnections() {
    Reconnect(kept.connections.Remembered());
}

void TCaptureMode::KeepConnections() {
    if (kept.connections.Keeping()) {
        kept.connections.Keep(TakeConnections());
    }
}

void TCaptureMode::OfferLastConnections() {
    std::optional<rLastState> saved = kept.connections.TakeUncleanRun();
    if (!saved || ShowMessage(kReconnectQuestion, TMsgIcon::Question, TMsgButtons::YesNo) !=
                      TMsgAnswer::Yes) {
        return;
    }
    Trace("connecting the channels of the last run again");
    kept.connections.Remember(std::move(*saved));
    RestoreConnections();
}

void TCaptureMode::Reconnect(const rLastState& last) {
    TDirector director = Director();
    for (const CHLastState& s : last.CHLastStateArr) {
        std::string text;
        int type = 0;
        if (s.nChannel >= 1 && RestoreTarget(s, text, type)) {
            director.Connect(text, s.nChannel, type, s.bCycle);
        }
    }
    if (!last.CombineportsArr.empty()) {
        director.Combine(last.CombineportsArr);
    }
}

} // namespace tavrin
