#include "app/CaptureMode.h"

#include "base/Message.h"
#include "base/Trace.h"
#include "output/RtmpSend.h"
#include "output/SaveAV.h"

namespace tavrin {

TCaptureMode::TCaptureMode(const TGetLessionInfo& p) : paths(p) {}

TCaptureMode::~TCaptureMode() {
    FreeManager();
    if (recorder) {
        recorder->EndLession();
        recorder.reset();
    }
    if (sender) {
        sender->Destroy();
        sender.reset();
    }
}

void TCaptureMode::FreeManager() {
    if (recorder) {
        recorder->SetCaptureState(false);
    }
    if (manager) {
        manager->Destroy();
        manager.reset();
    }
}

int TCaptureMode::OpenStore(const TCaptureConfig& config) {
    sender = std::make_unique<TRtmpSend>();
    sender->initialize(config.nYUVWidth, config.nYUVHeight, config.nAudioDelay);
    sender->Start();

    recorder = std::make_unique<TSaveAV>();
    recorder->Create(paths);
    std::string dir;
    paths.Get_CaptureDir(config.nLession, dir);
    const int r = recorder->NewLession(config.nLession, config.nYUVWidth, config.nYUVHeight);
    switch (r) {
    case TSaveAV::kNewOK:
        return 0;
    case TSaveAV::kDataFailed:
        ShowMessage("录像数据文件打不开,请考虑退出本软件,或重启电脑,或者等几秒再试",
                    TMsgIcon::Error);
        break;
    case TSaveAV::kIndexFailed:
        ShowMessage("录像索引文件打不开,请考虑退出本软件,或重启电脑,或者等几秒再试",
                    TMsgIcon::Error);
        break;
    default:
        ShowMessage("无法生成录课文件目录,请查看一下路径是否合法：" + dir, TMsgIcon::Error);
        break;
    }
    recorder.reset();
    return r < 0 ? r : -1;
}

int TCaptureMode::StartChannels(const TCaptureConfig& config) {
    manager = std::make_unique<TCManager>();
    manager->SetOutputs(sender.get(), recorder.get());
    const int r = manager->initialize(config.programmeWindow, config.nYUVWidth, config.nYUVHeight,
                                      int64_t(config.videobitrate) * 1024, config.programmeRect, 0,
                                      config.channelTags, config.channelWindows,
                                      config.channelRects, &config.lesson);
    if (r != 0) {
        Trace("capture: the programme output cannot be opened");
        manager->Destroy();
        manager.reset();
        return kManagerFailed;
    }
    for (int ch : config.channelTags) {
        const bool can =
            size_t(ch) < config.autoAdjust.size() ? config.autoAdjust[size_t(ch)] : true;
        manager->SetCanAutoAdjust(ch, can);
    }
    manager->SetMainPortForAudio(1);
    return 0;
}

bool TCaptureMode::StartCapture(bool on) {
    return manager && manager->StartCapture(on);
}

} // namespace tavrin
