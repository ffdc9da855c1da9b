// The CLI's line about the live stream: what the window's live line shows,
// plus the queue's bytes and the live delay, so a run can be judged from
// its output alone.
#pragma once

#include "output/ClientSendInfo.h"

#include <string>

namespace tavrin::cli {

std::string LiveLine(int second, const TClientSendInfo& info);

} // namespace tavrin::cli
