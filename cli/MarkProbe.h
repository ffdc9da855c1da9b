// Latency probe of the recorder: phones started with --mark-period send a
// plain white picture now and then and log when; this notes, by the wall
// clock, each tick at which such a picture first shows in one of the four
// quadrants of the programme, so a script can match sightings with sends.
// It also notes when each picture of the shown channels reached the
// channel's queue and when it was taken from it (by the picture's stamp,
// the phone's send time), which splits that latency into the network's
// part, the wait in the queue and the rest of the console's.
#pragma once

#include "compose/CombineOut.h"
#include "sources/ClientThread.h"

#include <mutex>
#include <string>
#include <vector>

namespace tavrin::cli {

class TMarkProbe {
public:
    static constexpr int kSlots = 4;

    // workers[i] is the channel shown in quadrant i + 1 (may be null).
    TMarkProbe(TCombineOut& programme, std::vector<const TClientThread*> workers);
    ~TMarkProbe();
    TMarkProbe(const TMarkProbe&) = delete;
    TMarkProbe& operator=(const TMarkProbe&) = delete;

    // Lines "seen SLOT SECONDS" (wall clock, oldest first), then lines
    // "queued SLOT STAMP SECONDS" and "played SLOT STAMP SECONDS" (stamp
    // and time, both wall clock); false when the file cannot be written.
    bool Write(const std::string& path);

    // Whether a 32 x 32 luma patch around the centre of quadrant slot (1..4)
    // is plain white.
    static bool QuadrantIsWhite(const AVFrame* picture, int slot);

private:
    void OnTick(const AVFrame* picture);
    void Stop();

    TCombineOut& Programme;
    std::mutex FLock;
    bool bWhite[kSlots + 1] = {};
    std::vector<std::pair<int, double>> Seen; // reserved up front: no growth per tick
    struct TQueued {
        int slot;
        bool played;   // taken from the queue for decoding, else queued
        int64_t stamp; // microseconds
        double at;
    };
    std::vector<const TClientThread*> Workers;
    std::mutex FQueuedLock;
    std::vector<TQueued> Queued; // reserved up front; later pictures are not noted
};

} // namespace tavrin::cli
