// Hands the production dialog what the platform knows about a lesson.
#pragma once

#include "base/LessionInfo.h"
#include "mp4/Mp4Thread.h"

namespace tavrin {

class TF_DoMp4;
class TvoServer;

// Sets the media server's address and port, the lesson's token, the signed-in
// user and live type 1 for the upload, the conversion choice, the lesson with
// its date, and whether its MP4 may be uploaded. 0, or -1 when the lesson is
// not in the schedule (nothing can be uploaded then).
int SetPlatformInfo(TF_DoMp4& dialog, const TvoServer& server, const TLessionInfo& lesson,
                    const TConvertMode& mode);

} // namespace tavrin
