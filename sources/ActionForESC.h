// The Esc key's undo history of the channel manager: the last programme
// combination change or the last cut change of one channel.
#pragma once

#include <cstdint>

namespace tavrin {

// A channel's cut as the history remembers it; the area is in per mille.
struct CutHistoryEntry {
    bool bInCut = false;
    bool bChanged = false;
    int32_t xStart = 0;
    int32_t yStart = 0;
    int32_t xEnd = 0;
    int32_t yEnd = 0;
};

enum : int32_t {
    kActionNone = 0,
    kActionCombine = 1, // the programme's channel list changed
    kActionCut = 2,     // a channel's cut changed
};

struct TActionForESC {
    static constexpr int kMaxEntries = 10;

    bool bActionLock = false; // an undo runs: its own changes are not recorded
    int32_t nActionType = kActionNone;
    int32_t nPreCombineCount = 0;
    int32_t nLastCombineCount = 0;
    int32_t aPreCombine[kMaxEntries] = {};
    int32_t aLastCombine[kMaxEntries] = {};
    bool bInCut = false;
    int32_t nLastCH = 0;
    // Indexed by channel number - 1.
    CutHistoryEntry rPreCHInfo[kMaxEntries];
    CutHistoryEntry rLastCHInfo[kMaxEntries];
    CutHistoryEntry rTestDrawCHInfo[kMaxEntries];
};

} // namespace tavrin
