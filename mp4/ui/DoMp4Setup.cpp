#include "mp4/ui/DoMp4Setup.h"

#include "mp4/ui/F_DoMp4.h"

namespace tavrin {

int SetPlatformInfo(TF_DoMp4& dialog, const TUploadTarget& target, const TLessionInfo& lesson,
                    const TConvertMode& mode) {
    // The MP4 goes up as a live of this lesson.
    dialog.SetServerInfo(target.sServerIp, target.nServerPort, lesson.LessionID, 1, target.nUserID,
                         target.sLessonToken, mode);
    dialog.SetVOInfo(lesson, target.lessonDate, target.bScheduled && target.bAllowUpload);
    return target.bScheduled ? 0 : -1;
}

} // namespace tavrin
