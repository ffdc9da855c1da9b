// The platform's answers for one lesson, as the MP4 dialog takes them.
#pragma once

#include "mp4/UploadTarget.h"

#include <cstdint>

namespace tavrin {

class TvoServer;

TUploadTarget UploadTargetOf(const TvoServer& server, int32_t nLession);

} // namespace tavrin
