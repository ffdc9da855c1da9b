#include "compose/RecordAudioPacer.h"

#include <algorithm>
#include <cstring>

namespace tavrin {

TRecordAudioPacer::TRecordAudioPacer(TSink sink) : Sink(std::move(sink)) {}

void TRecordAudioPacer::Start() {
    std::lock_guard lock(FLock);
    head = 0;
    count = 0;
    nComposed = 0;
    nBase = 0;
    nDone = 0;
    nReleased = 0;
}

void TRecordAudioPacer::TakeFormatLocked(const TAdtsFormat& f) {
    if (bFormatKnown && f == format) {
        return;
    }
    if (bFormatKnown) {
        // Frames of the old format cannot join the new ones, and the count
        // of frames due starts again at this rate.
        stats.nDropped += count;
        head = 0;
        count = 0;
        nBase = nDone;
        nReleased = 0;
    }
    format = f;
    bFormatKnown = true;
}

void TRecordAudioPacer::NoteFormat(const uint8_t* data, int size) {
    TAdtsFormat f;
    if (size <= 0 || !ReadAdtsFormat(data, size_t(size), f)) {
        return;
    }
    std::lock_guard lock(FLock);
    TakeFormatLocked(f);
}

void TRecordAudioPacer::Push(const uint8_t* data, int size) {
    TAdtsFormat f;
    std::lock_guard lock(FLock);
    if (size <= 0 || size_t(size) > kSlotBytes || !ReadAdtsFormat(data, size_t(size), f)) {
        ++stats.nDropped;
        return;
    }
    TakeFormatLocked(f);
    if (count == kSlots) {
        PopFrontLocked(); // the oldest is the latest of all
        ++stats.nDropped;
    }
    const size_t at = (head + count) % kSlots;
    std::memcpy(slots.data() + at * kSlotBytes, data, size_t(size));
    sizes[at] = uint32_t(size);
    stamps[at] = nComposed;
    ++count;
}

void TRecordAudioPacer::PopFrontLocked() {
    head = (head + 1) % kSlots;
    --count;
}

bool TRecordAudioPacer::FormatKnown() const {
    std::lock_guard lock(FLock);
    return bFormatKnown;
}

TAdtsFormat TRecordAudioPacer::Format() const {
    std::lock_guard lock(FLock);
    return format;
}

void TRecordAudioPacer::Composed(uint32_t nPictures) {
    std::lock_guard lock(FLock);
    nComposed = nPictures;
}

void TRecordAudioPacer::Spread(uint32_t nRepeats) {
    std::lock_guard lock(FLock);
    size_t from = 0;
    while (from < count && stamps[(head + from) % kSlots] != nComposed) {
        ++from;
    }
    const uint64_t arrived = count - from;
    for (uint64_t i = 0; i < arrived; ++i) {
        // Rounded down, so each picture has at least its share by its end.
        stamps[(head + from + i) % kSlots] =
            nComposed + uint32_t(i * (uint64_t(nRepeats) + 1) / arrived);
    }
}

const std::vector<uint8_t>& TRecordAudioPacer::SilenceFor(const TAdtsFormat& f) {
    for (const TSilence& s : silences) {
        if (s.format == f) {
            return s.frame;
        }
    }
    TSilence made{f, {}};
    MakeSilentAacFrame(f, made.frame); // empty when the format cannot be encoded
    silences.push_back(std::move(made));
    return silences.back().frame;
}

int TRecordAudioPacer::Release(uint32_t n) {
    std::unique_lock lock(FLock);
    if (!bFormatKnown || n + 1 <= nBase) {
        return 0;
    }
    nDone = std::max(nDone, n + 1);
    const uint64_t due = uint64_t(n + 1 - nBase) * uint64_t(format.nSampleRate) /
                         (uint64_t(kPicturesPerSecond) * kSamplesPerFrame);
    const uint64_t wanted = due > nReleased ? due - nReleased : 0;
    // Picture n lasts until picture n + 1 is composed: the sound that
    // arrived by then is its own. The queue is in arrival order, so those
    // frames are a prefix of it.
    size_t ready = 0;
    while (ready < count && int32_t(stamps[(head + ready) % kSlots] - (n + 1)) <= 0) {
        ++ready;
    }
    while (ready > wanted + kLateFrames) {
        PopFrontLocked();
        --ready;
        ++stats.nDropped;
    }
    int released = 0;
    for (uint64_t i = 0; i < wanted; ++i) {
        const uint8_t* data = nullptr;
        int size = 0;
        if (ready > 0) {
            size = int(sizes[head]);
            std::memcpy(scratch.data(), slots.data() + head * kSlotBytes, size_t(size));
            data = scratch.data();
            PopFrontLocked();
            --ready;
            ++stats.nReal;
        } else {
            const std::vector<uint8_t>& silence = SilenceFor(format);
            data = silence.data();
            size = int(silence.size());
            ++stats.nSilent;
        }
        ++nReleased;
        if (size <= 0) {
            continue;
        }
        ++released;
        // The sink writes to disk: the channel's thread must not wait for it.
        lock.unlock();
        if (Sink) {
            Sink(data, size);
        }
        lock.lock();
    }
    return released;
}

TRecordAudioPacer::TStats TRecordAudioPacer::Stats() const {
    std::lock_guard lock(FLock);
    return stats;
}

size_t TRecordAudioPacer::Queued() const {
    std::lock_guard lock(FLock);
    return count;
}

} // namespace tavrin
