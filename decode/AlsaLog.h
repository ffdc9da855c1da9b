// The sound library's own complaints ("cannot find card '0'" on a machine
// without a sound card, eight of them for one device opened) belong to the
// diagnostic trace, not to the operator's terminal, as FFmpeg's log does.
// Every owner of a libasound call routes them first; the first call wins and
// the rest cost nothing.
#pragma once

#include <string>

namespace tavrin {

// Sends every libasound error line to Trace as "alsa: FILE:LINE:(FUNCTION) TEXT".
void RouteAlsaLogToTrace();

// The one line that says sound output is off for this process, on stderr
// (and in the trace) the first time a sound device cannot be opened.
// Returns whether this call printed it.
bool ReportNoSoundOutput(const std::string& reason);

} // namespace tavrin
