#include "app/CaptureMode.h"

#include "base/Message.h"
#include "base/Trace.h"

namespace tavrin {

void TCaptureMode::ShowOpenFailure(int result, const std::string& dir) {
    switch (result) {
    case TCaptureSession::kNoData:
        ShowMessage("录像数据文件打不开,请考虑退出本软件,或重启电脑,或者等几秒再试",
                    TMsgIcon::Error);
        break;
    case TCaptureSession::kNoIndex:
        ShowMessage("录像索引文件打不开,请考虑退出本软件,或重启电脑,或者等几秒再试",
                    TMsgIcon::Error);
        break;
    case TCaptureSession::kNoFolder:
        ShowMessage("无法生成录课文件目录,请查看一下路径是否合法：" + dir, TMsgIcon::Error);
        break;
    case TCaptureSession::kNoProgramme:
        Trace("capture: the programme output cannot be opened");
        break;
    default:
        break;
    }
}

} // namespace tavrin
