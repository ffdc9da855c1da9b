#include "mp4/ui/DoMp4Setup.h"

#include "mp4/ui/F_DoMp4.h"
#include "platform/voServer.h"

namespace tavrin {

int SetPlatformInfo(TF_DoMp4& dialog, const TvoServer& server, const TLessionInfo& lesson,
                    const TConvertMode& mode) {
    std::string serverIp;
    std::string lessonToken;
    int32_t allowLive = 0;
    int32_t serverPort = 0;
    const int found =
        server.GetServerInfo(lesson.LessionID, serverIp, lessonToken, allowLive, serverPort);
    // The MP4 goes up as a live of this lesson.
    dialog.SetServerInfo(serverIp, serverPort, lesson.LessionID, 1, server.GetUserID(), lessonToken,
                         mode);
    TDateTime when;
    QDate date;
    if (server.GetLessonTime(lesson.LessionID, when) == 0) {
        date = QDate(when.year, when.month, when.day);
    }
    dialog.SetVOInfo(lesson, date, found == 0 && server.GetAllowUpload(lesson.LessionID) == 1);
    return found;
}

} // namespace tavrin
