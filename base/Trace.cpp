#include "base/Trace.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace tavrin {

namespace {

constexpr std::string_view kTracePrefix = "----ss---";

std::mutex gTraceLock;
TraceSink gTraceSink;
std::atomic<bool> gHaveSink{false};

bool TraceToStderr() {
    static const bool enabled = [] {
        const char* v = std::getenv("TAVRIN_TRACE");
        return v != nullptr && std::strcmp(v, "1") == 0;
    }();
    return enabled;
}

} // namespace

void Trace(std::string_view text) {
    const bool toStderr = TraceToStderr();
    if (!toStderr && !gHaveSink.load(std::memory_order_acquire)) {
        return;
    }
    std::string line;
    line.reserve(kTracePrefix.size() + text.size());
    line.append(kTracePrefix).append(text);
    std::lock_guard<std::mutex> lock(gTraceLock);
    if (gTraceSink) {
        gTraceSink(line);
    } else if (toStderr) {
        std::fprintf(stderr, "%s\n", line.c_str());
    }
}

TraceSink SetTraceSink(TraceSink sink) {
    std::lock_guard<std::mutex> lock(gTraceLock);
    TraceSink previous = std::move(gTraceSink);
    gTraceSink = std::move(sink);
    gHaveSink.store(bool(gTraceSink), std::memory_order_release);
    return previous;
}

struct TTraceCapture::Store {
    mutable std::mutex lock;
    std::vector<std::string> lines;
};

TTraceCapture::TTraceCapture() : store_(std::make_shared<Store>()) {
    auto store = store_;
    previous_ = SetTraceSink([store](const std::string& line) {
        std::lock_guard<std::mutex> lock(store->lock);
        store->lines.push_back(line);
    });
}

TTraceCapture::~TTraceCapture() {
    SetTraceSink(std::move(previous_));
}

std::vector<std::string> TTraceCapture::Lines() const {
    std::lock_guard<std::mutex> lock(store_->lock);
    return store_->lines;
}

bool TTraceCapture::Contains(std::string_view line) const {
    std::lock_guard<std::mutex> lock(store_->lock);
    return std::find(store_->lines.begin(), store_->lines.end(), line) != store_->lines.end();
}

} // namespace tavrin
