// Diagnostic trace: every line is "----ss---" followed by the text. The sink
// is stderr when TAVRIN_TRACE=1 and nothing otherwise; tests capture it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

using TraceSink = std::function<void(const std::string& line)>;

void Trace(std::string_view text);

// Replaces the sink (an empty function restores the environment's choice).
// Returns the previous sink.
TraceSink SetTraceSink(TraceSink sink);

// Captures every trace line while it lives; used by tests.
class TTraceCapture {
public:
    TTraceCapture();
    ~TTraceCapture();
    TTraceCapture(const TTraceCapture&) = delete;
    TTraceCapture& operator=(const TTraceCapture&) = delete;

    std::vector<std::string> Lines() const;
    bool Contains(std::string_view line) const;

private:
    TraceSink previous_;
    struct Store;
    std::shared_ptr<Store> store_;
};

} // namespace tavrin
