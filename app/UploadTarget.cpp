#include "app/UploadTarget.h"

#include "platform/voServer.h"

namespace tavrin {

TUploadTarget UploadTargetOf(const TvoServer& server, int32_t nLession) {
    TUploadTarget t;
    int32_t allowLive = 0;
    t.bScheduled =
        server.GetServerInfo(nLession, t.sServerIp, t.sLessonToken, allowLive, t.nServerPort) == 0;
    t.nUserID = server.GetUserID();
    if (TDateTime when; server.GetLessonTime(nLession, when) == 0) {
        t.lessonDate = QDate(when.year, when.month, when.day);
    }
    t.bAllowUpload = server.GetAllowUpload(nLession) == 1;
    return t;
}

} // namespace tavrin
