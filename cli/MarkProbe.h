// Latency probe of the recorder: phones started with --mark-period send a
// plain white picture now and then and log when; this notes, by the wall
// clock, each tick at which such a picture first shows in one of the four
// quadrants of the programme, so a script can match sightings with sends.
#pragma once

#include "compose/CombineOut.h"

#include <mutex>
#include <string>
#include <vector>

namespace tavrin::cli {

class TMarkProbe {
public:
    static constexpr int kSlots = 4;

    explicit TMarkProbe(TCombineOut& programme);
    ~TMarkProbe();
    TMarkProbe(const TMarkProbe&) = delete;
    TMarkProbe& operator=(const TMarkProbe&) = delete;

    // Lines "seen SLOT SECONDS" (wall clock, oldest first); false when the
    // file cannot be written.
    bool Write(const std::string& path);

    // Whether a 32 x 32 luma patch around the centre of quadrant slot (1..4)
    // is plain white.
    static bool QuadrantIsWhite(const AVFrame* picture, int slot);

private:
    void OnTick(const AVFrame* picture);

    TCombineOut& Programme;
    std::mutex FLock;
    bool bWhite[kSlots + 1] = {};
    std::vector<std::pair<int, double>> Seen; // reserved up front: no growth per tick
};

} // namespace tavrin::cli
