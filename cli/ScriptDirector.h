// Plays a lesson script against the channel manager and the scene runtime:
// each action, once its time has come, becomes the call the director's
// window would make, and its outcome is reported as one line.
#pragma once

#include "cli/LessonScript.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tavrin {
class TCManager;
class TScreenLayout;
} // namespace tavrin

namespace tavrin::cli {

class TScriptDirector {
public:
    // layout may be null (no activity plan): scene actions then fail.
    TScriptDirector(TCManager& manager, TScreenLayout* layout, std::vector<TScriptAction> actions)
        : manager_(manager), layout_(layout), actions_(std::move(actions)) {}

    // Carries out every action due at elapsedMs; one line per action,
    // "script 12s: combine 1,2 -> 2" or "... failed".
    std::vector<std::string> RunDue(uint32_t elapsedMs);
    // The outcome of one action: the call's result, or a negative number
    // when it failed.
    int Apply(const TScriptAction& action);
    bool Done() const { return next_ >= actions_.size(); }

private:
    // A scene shows as many channels as it has rectangles: the programme
    // keeps its first ones and, when it needs more, takes the lowest
    // channels with a source that it does not show yet. (The window takes
    // the channels the director selected most recently instead.)
    void CombineForScene(int count);

    TCManager& manager_;
    TScreenLayout* layout_;
    std::vector<TScriptAction> actions_;
    size_t next_ = 0;
};

} // namespace tavrin::cli
