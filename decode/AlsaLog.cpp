#include "decode/AlsaLog.h"

#include "base/Trace.h"

#include <alsa/asoundlib.h>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace tavrin {

namespace {

void AlsaErrorToTrace(const char* file, int line, const char* function, int err, const char* fmt,
                      ...) {
    char text[512];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(text, sizeof text, fmt, args);
    va_end(args);
    std::string message = std::string("alsa: ") + (file != nullptr ? file : "?") + ":" +
                          std::to_string(line) + ":(" + (function != nullptr ? function : "?") +
                          ") " + text;
    if (err != 0) {
        message += std::string(": ") + snd_strerror(err);
    }
    Trace(message);
}

} // namespace

void RouteAlsaLogToTrace() {
    static std::once_flag routed;
    std::call_once(routed, [] { snd_lib_error_set_handler(&AlsaErrorToTrace); });
}

bool ReportNoSoundOutput(const std::string& reason) {
    static std::atomic<bool> reported{false};
    if (reported.exchange(true)) {
        return false;
    }
    const std::string line = "no sound output device (" + reason + "): playing without sound";
    Trace(line);
    std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, line.c_str());
    std::fflush(stderr);
    return true;
}

} // namespace tavrin
