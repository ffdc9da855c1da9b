#include "app/ProduceMp4.h"

#include "app/UploadTarget.h"
#include "mp4/ui/DoMp4Setup.h"
#include "mp4/ui/F_DoMp4.h"
#include "mp4/ui/F_PixSet.h"
#include "replay/ReplayClientThread.h"

namespace tavrin {

void ProduceMp4(QWidget* parent, TReplayClientThread& worker, const TGetLessionInfo& paths,
                const TvoServer& server, const TLessionInfo& lesson, int nAudioOffset,
                std::function<bool()> replayRunning) {
    TIndex_Head head{};
    worker.GetLessionInfo_struc(head);
    worker.Save();
    int mbytes = 0;
    int seconds = 0;
    int bitrate = 0;
    worker.Get_TotalFileInfo(mbytes, seconds, bitrate);

    TConvertMode mode;
    {
        TF_PixSet pixSet(parent);
        pixSet.SetServerInfo(mbytes, seconds, bitrate, head.videoWidth, head.videoHeight);
        pixSet.exec();
        if (!pixSet.IsOK()) {
            return;
        }
        mode = pixSet.GetConvertMode();
    }
    TF_DoMp4 doMp4(paths, parent);
    SetPlatformInfo(doMp4, UploadTargetOf(server, lesson.LessionID), lesson, mode);
    doMp4.SetAudioDelay(nAudioOffset);
    doMp4.SetReplayRunning(std::move(replayRunning));
    doMp4.exec();
}

} // namespace tavrin
