#include "app/ReplayMode.h"

#include "base/Message.h"

namespace tavrin {

TReplayMode::TReplayMode(const TGetLessionInfo& paths)
    : worker(std::make_unique<TReplayClientThread>(paths)) {}

TReplayMode::~TReplayMode() {
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

} // namespace tavrin
