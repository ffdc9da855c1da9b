#include "base/MediaFrame.h"

#include "base/LittleEndian.h"

#include <chrono>
#include <cstring>
#include <ctime>

namespace tavrin {

bool ReadMediaFrameHead(std::span<const uint8_t> bytes, TZeroMediaFrameHead& head) {
    if (bytes.size() < kMediaFrameHeadSize) {
        return false;
    }
    head.nFrameType = bytes[0];
    head.nFrameSize = ReadLE32(bytes.data() + 1);
    head.PTS = int64_t(ReadLE64(bytes.data() + 5));
    return true;
}

bool WriteMediaFrameHead(const TZeroMediaFrameHead& head, std::span<uint8_t> out) {
    if (out.size() < kMediaFrameHeadSize) {
        return false;
    }
    out[0] = head.nFrameType;
    WriteLE32(out.data() + 1, head.nFrameSize);
    WriteLE64(out.data() + 5, uint64_t(head.PTS));
    return true;
}

size_t CompleteMediaFrameLength(std::span<const uint8_t> bytes) {
    TZeroMediaFrameHead head{};
    if (!ReadMediaFrameHead(bytes, head)) {
        return 0;
    }
    const uint64_t total = uint64_t(kMediaFrameHeadSize) + head.nFrameSize;
    return total <= bytes.size() ? size_t(total) : 0;
}

void AssignMediaFrame(std::vector<uint8_t>& frame, uint8_t nFrameType, int64_t PTS,
                      std::span<const uint8_t> payload) {
    frame.resize(kMediaFrameHeadSize + payload.size());
    const TZeroMediaFrameHead head{nFrameType, uint32_t(payload.size()), PTS};
    WriteMediaFrameHead(head, frame);
    if (!payload.empty()) {
        std::memcpy(frame.data() + kMediaFrameHeadSize, payload.data(), payload.size());
    }
}

int64_t LocalWallClockMicros() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const int64_t utcMs = duration_cast<milliseconds>(now.time_since_epoch()).count();
    const time_t secs = system_clock::to_time_t(now);
    tm local{};
    localtime_r(&secs, &local);
    // tm_gmtoff is the local offset east of UTC, daylight saving included.
    return (utcMs + int64_t(local.tm_gmtoff) * 1000) * 1000;
}

} // namespace tavrin
