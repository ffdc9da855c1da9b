// Plays a lesson script: each action, once its time has come, becomes the
// director's verb the window's buttons would call, and its outcome is
// reported as one line.
#pragma once

#include "cli/LessonScript.h"
#include "sources/Director.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tavrin::cli {

class TScriptDirector {
public:
    // The director of a running capture session; without an activity plan
    // its scene actions fail.
    TScriptDirector(TDirector director, std::vector<TScriptAction> actions)
        : director_(director), actions_(std::move(actions)) {}

    // Carries out every action due at elapsedMs; one line per action,
    // "script 12s: combine 1,2 -> 2" or "... failed".
    std::vector<std::string> RunDue(uint32_t elapsedMs);
    // The outcome of one action: the call's result, or a negative number
    // when it failed.
    int Apply(const TScriptAction& action);
    bool Done() const { return next_ >= actions_.size(); }

private:
    TDirector director_;
    std::vector<TScriptAction> actions_;
    size_t next_ = 0;
};

} // namespace tavrin::cli
