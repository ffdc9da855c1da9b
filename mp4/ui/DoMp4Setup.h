// Hands the production dialog what the platform knows about a lesson. The
// platform's answers arrive as plain values, so the dialog needs nothing of
// the platform client.
#pragma once

#include "base/LessionInfo.h"
#include "mp4/Mp4Thread.h"
#include "mp4/UploadTarget.h"

namespace tavrin {

class TF_DoMp4;

// Sets the media server's address and port, the lesson's token, the signed-in
// user and live type 1 for the upload, the conversion choice, the lesson with
// its date, and whether its MP4 may be uploaded. 0, or -1 when the lesson is
// not in the schedule (nothing can be uploaded then).
int SetPlatformInfo(TF_DoMp4& dialog, const TUploadTarget& target, const TLessionInfo& lesson,
                    const TConvertMode& mode);

} // namespace tavrin
