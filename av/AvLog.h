// FFmpeg's own log lines (x264's statistics among them) belong to the
// diagnostic trace, not to the operator's terminal: with the callback
// installed they reach Trace, which prints them only when TAVRIN_TRACE=1.
#pragma once

#include "base/Trace.h"

extern "C" {
#include <libavutil/log.h>
}

#include <cstdarg>
#include <cstring>
#include <string>

namespace tavrin {

inline void AvLogToTrace(void* avcl, int level, const char* fmt, va_list vl) {
    if (level > av_log_get_level()) {
        return;
    }
    // A line may arrive in pieces; the prefix belongs to its first one.
    thread_local int printPrefix = 1;
    char line[1024];
    av_log_format_line2(avcl, level, fmt, vl, line, int(sizeof line), &printPrefix);
    size_t n = std::strlen(line);
    while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r')) {
        --n;
    }
    if (n > 0) {
        Trace("ffmpeg: " + std::string(line, n));
    }
}

inline void InstallAvLogToTrace() {
    av_log_set_callback(AvLogToTrace);
}

} // namespace tavrin
