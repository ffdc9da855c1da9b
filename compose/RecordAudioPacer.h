// Paces the recorded sound on the programme's clock. The sound channel's
// AAC frames arrive on their own schedule (a phone on Wi-Fi stalls and then
// delivers seconds at once); the recorder must get, with every picture, just
// the sound that picture's duration calls for. Frames wait in a small
// preallocated queue and are released picture by picture; a gap is filled
// with silent frames of the channel's format, and sound that arrives later
// than a couple of frames beyond what is due is dropped, oldest first. So
// every second of pictures carries 46 or 47 frames (at 48 kHz) and the sound
// stays within a picture of the pictures.
//
// Pictures are counted from the start of a recording run. A frame that
// arrives while picture n is the last one composed belongs to picture n
// (which lasts until picture n + 1 is composed), even though picture n
// reaches the recorder only a few ticks later (the encoder's delay): the
// sound is held back by as much as the pictures are.
//
// Before the sound channel has delivered any frame its format is unknown
// and nothing can be released; the output pipeline does not record until
// then. Switching the sound channel needs nothing: the new channel's frames
// queue behind the old one's, and a new format starts a new count.
#pragma once

#include "output/SilentAac.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace tavrin {

class TRecordAudioPacer {
public:
    static constexpr uint32_t kPicturesPerSecond = 25;
    static constexpr uint32_t kSamplesPerFrame = 1024;
    // Frames the queue holds: a little more than the sound of the longest
    // stall of the programme's tick that the recording makes up (a second).
    static constexpr size_t kSlots = 56;
    // An ADTS frame is at most 8191 bytes long.
    static constexpr size_t kSlotBytes = 8192;
    // Sound beyond what is due by more than this many frames came too late
    // to be kept (about one picture at 48 kHz).
    static constexpr uint32_t kLateFrames = 2;

    // Where released frames go (the recorder); called on the releasing thread.
    using TSink = std::function<void(const uint8_t* data, int size)>;

    struct TStats {
        uint64_t nReal = 0;    // frames of the channel released
        uint64_t nSilent = 0;  // silent frames released in their place
        uint64_t nDropped = 0; // frames that came too late, or that were no AAC
    };

    explicit TRecordAudioPacer(TSink sink);
    TRecordAudioPacer(const TRecordAudioPacer&) = delete;
    TRecordAudioPacer& operator=(const TRecordAudioPacer&) = delete;

    // A recording run begins: counts start again and what was queued is
    // dropped. The channel's format stays known.
    void Start();

    // One AAC frame (ADTS header included) of the sound channel, to be
    // recorded. A frame in another format than the last one starts a new
    // count in that format; what was queued is dropped.
    void Push(const uint8_t* data, int size);
    // Learns the channel's format from a frame that is not recorded.
    void NoteFormat(const uint8_t* data, int size);
    // Whether the sound channel has delivered a frame, so that silence of
    // its format can be made. Recording waits for that.
    bool FormatKnown() const;
    TAdtsFormat Format() const;

    // nPictures pictures of the run have been composed; frames arriving from
    // now on belong to later pictures.
    void Composed(uint32_t nPictures);
    // The programme missed nRepeats ticks and is about to compose that many
    // stand-in pictures: the frames that arrived since the last picture was
    // composed came over the whole stall, so they are spread evenly over
    // that picture and the stand-ins (in arrival order, earlier ones first).
    void Spread(uint32_t nRepeats);
    // The recorder took picture n (0-based) of the run: hands the sink the
    // frames due by that picture's end. Returns how many.
    int Release(uint32_t n);

    TStats Stats() const;
    size_t Queued() const;

private:
    void TakeFormatLocked(const TAdtsFormat& format);
    void PopFrontLocked();
    const std::vector<uint8_t>& SilenceFor(const TAdtsFormat& format);

    TSink Sink;
    mutable std::mutex FLock;
    std::vector<uint8_t> slots = std::vector<uint8_t>(kSlots * kSlotBytes);
    std::vector<uint32_t> sizes = std::vector<uint32_t>(kSlots);
    std::vector<uint32_t> stamps = std::vector<uint32_t>(kSlots);
    size_t head = 0;
    size_t count = 0;
    bool bFormatKnown = false;
    TAdtsFormat format;
    uint32_t nComposed = 0; // stamp of frames arriving now
    uint32_t nBase = 0;     // pictures of the run before the count in this format began
    uint32_t nDone = 0;     // pictures of the run released so far
    uint64_t nReleased = 0; // frames released since nBase
    TStats stats;
    // Used by Release only (one thread): the frame being handed out and the
    // silent frames, made once per format.
    std::vector<uint8_t> scratch = std::vector<uint8_t>(kSlotBytes);
    struct TSilence {
        TAdtsFormat format;
        std::vector<uint8_t> frame;
    };
    std::vector<TSilence> silences;
};

} // namespace tavrin
