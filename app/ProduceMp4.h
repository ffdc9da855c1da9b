// "Produce an MP4" from replay: the stream settings dialog over the store's
// totals, then the production dialog with the platform's data for the lesson.
#pragma once

#include "base/GetLessionInfo.h"
#include "base/LessionInfo.h"

#include <functional>

class QWidget;

namespace tavrin {

class TReplayClientThread;
class TvoServer;

// The cut edits are saved first. replayRunning tells the production dialog
// whether replay still runs when the MP4 is started.
void ProduceMp4(QWidget* parent, TReplayClientThread& worker, const TGetLessionInfo& paths,
                const TvoServer& server, const TLessionInfo& lesson, int nAudioOffset,
                std::function<bool()> replayRunning);

} // namespace tavrin
