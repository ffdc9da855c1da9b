#include "app/ReplayMode.h"

#include "app/CaptureKeys.h"
#include "app/WindowTexts.h"
#include "base/Message.h"

namespace tavrin {

TReplayMode::TReplayMode(const TGetLessionInfo& paths, IMainView& v)
    : view(v), worker(std::make_unique<TReplayClientThread>(paths)) {
    ShowToggles();
}

TReplayMode::~TReplayMode() {
    bPause = bSoundOff = bDeleteMode = false;
    ShowToggles();
    if (bStarted) {
        worker->Terminate();
        worker->WaitFor();
    }
    worker->Destroy();
}

int TReplayMode::Open(int32_t nLession, TNativeWindow pane, const TPaneRect& paneRect,
                      const TPaneRect& rulerRect, QObject* gui,
                      std::function<void()> onRulerDrawn) {
    worker->SetGuiContext(gui, std::move(onRulerDrawn));
    const int r = worker->initialize(nLession, pane, SDL_Rect{0, 0, paneRect.w, paneRect.h},
                                     rulerRect.x, rulerRect.y, rulerRect.w, rulerRect.h);
    switch (r) {
    case 0:
        return 0;
    case -4:
        ShowMessage("本课程录像长度为0,请重新选择", TMsgIcon::Information);
        break;
    case -3:
        ShowMessage("回放数据文件打不开,请考虑退出本软件,或重启电脑,或者等几秒再试",
                    TMsgIcon::Error);
        break;
    case -2:
        ShowMessage("回放索引文件打不开,请考虑退出本软件,或重启电脑,或者等几秒再试",
                    TMsgIcon::Error);
        break;
    default:
        ShowMessage("本课程未生成录像,或从未录制过,请重新选择", TMsgIcon::Information);
        break;
    }
    return r < 0 ? r : -1;
}

void TReplayMode::Start(int nAudioDelayFrames) {
    worker->SetAudioDelayFrameCount(nAudioDelayFrames);
    worker->Start();
    bStarted = true;
}

void TReplayMode::Resize(const TPaneRect& paneRect, const TPaneRect& rulerRect) {
    worker->Resize_disp(SDL_Rect{0, 0, paneRect.w, paneRect.h});
    worker->Resize_ruler(rulerRect.x, rulerRect.y, rulerRect.w, rulerRect.h);
}

void TReplayMode::RedrawPane(TNativeWindow window) {
    TDispManager& displays = worker->DispManager();
    displays.RedrawWindow(window);
}

void TReplayMode::ShowToggles() {
    view.ShowToggle(TMainAction::ReplayPause, !bPause);
    view.ShowToggle(TMainAction::ReplayAudio, !bSoundOff);
    view.ShowToggle(TMainAction::DeleteMarkMode, bDeleteMode);
}

bool TReplayMode::Do(TMainAction action) {
    switch (action) {
    case TMainAction::ReplayPause:
        TogglePause();
        return true;
    case TMainAction::ReplayAudio:
        ToggleSound();
        return true;
    case TMainAction::DeleteMarkMode:
        ToggleDeleteMode();
        return true;
    case TMainAction::SaveCuts:
        SaveCuts();
        return true;
    case TMainAction::ClearMarks:
        ClearMarks();
        return true;
    default:
        return false;
    }
}

void TReplayMode::TogglePause() {
    bPause = !bPause;
    worker->Pause(bPause);
    view.ShowToggle(TMainAction::ReplayPause, !bPause);
}

void TReplayMode::ToggleSound() {
    bSoundOff = !bSoundOff;
    if (bSoundOff) {
        worker->DisablePlayAudio();
    } else {
        worker->EnablePlayAudio();
    }
    view.ShowToggle(TMainAction::ReplayAudio, !bSoundOff);
}

void TReplayMode::ToggleDeleteMode() {
    bDeleteMode = !bDeleteMode;
    view.ShowToggle(TMainAction::DeleteMarkMode, bDeleteMode);
}

void TReplayMode::SaveCuts() {
    worker->Save();
}

void TReplayMode::ClearMarks() {
    const int seconds = worker->QueryDeletedBlockSeconds();
    if (seconds <= 0) {
        return;
    }
    view.ClickOpensModal();
    if (ShowMessage(ClearMarksQuestion(seconds), TMsgIcon::Question, TMsgButtons::OkCancel) ==
        TMsgAnswer::Ok) {
        worker->RecoveryAllDeleteIBlock();
        view.RepaintRuler();
    }
}

void TReplayMode::SetAudioOffset(int nAudioDelayFrames) {
    worker->SetAudioDelayFrameCount(nAudioDelayFrames);
}

void TReplayMode::ProduceMp4(const std::function<void(TReplayClientThread&, int)>& produce,
                             int nAudioOffset) {
    view.ClickOpensModal();
    if (!bPause) {
        TogglePause();
    }
    produce(*worker, nAudioOffset);
}

void TReplayMode::Pressed(QPoint p) {
    if (bDeleteMode) {
        delStart = p;
    }
}

void TReplayMode::Released(QPoint p) {
    if (bDeleteMode) {
        worker->SetDropIblock_EX(delStart.x(), delStart.y(), p.x(), p.y());
    } else if (worker->MoveTo(p.x(), p.y()) == 1 && bPause) {
        TogglePause();
    }
    view.RepaintRuler();
}

bool TReplayMode::Key(int key) {
    switch (DoReplayKeyCommand(key).action) {
    case TMainAction::DeleteMarkMode:
        ToggleDeleteMode();
        break;
    case TMainAction::ReplayPause:
        TogglePause();
        break;
    case TMainAction::PreviousPage:
        worker->_ChangePage(true);
        break;
    case TMainAction::NextPage:
        worker->_ChangePage(false);
        break;
    default:
        return false;
    }
    view.RepaintRuler();
    return true;
}

} // namespace tavrin
