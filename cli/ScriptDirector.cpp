#include "cli/ScriptDirector.h"

#include <cstdio>

namespace tavrin::cli {

namespace {

std::string SecondsText(uint32_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%gs", double(ms) / 1000.0);
    return text;
}

} // namespace

int TScriptDirector::Apply(const TScriptAction& action) {
    const std::vector<int32_t>& a = action.args;
    switch (action.verb) {
    case TScriptVerb::Combine:
        return director_.Combine(a);
    case TScriptVerb::FullScreen:
        return director_.FullScreen(a[0]);
    case TScriptVerb::Swap:
        return director_.Swap(a[0], a[1]);
    case TScriptVerb::Audio:
        return director_.Audio(a[0]);
    case TScriptVerb::Cut:
        return director_.Cut(a[0], a[1], a[2], a[3], a[4]);
    case TScriptVerb::Uncut:
        return director_.Uncut(a[0]);
    case TScriptVerb::Scene:
        return director_.Scene(a[0]);
    case TScriptVerb::Esc:
        return director_.Esc();
    case TScriptVerb::Focus:
        return director_.Focus(a[0], a[1]);
    }
    return -1;
}

std::vector<std::string> TScriptDirector::RunDue(uint32_t elapsedMs) {
    std::vector<std::string> lines;
    while (next_ < actions_.size() && actions_[next_].atMs <= elapsedMs) {
        const TScriptAction& action = actions_[next_++];
        const int result = Apply(action);
        lines.push_back("script " + SecondsText(action.atMs) + ": " + DescribeAction(action) +
                        (result < 0 ? " failed" : " -> " + std::to_string(result)));
    }
    return lines;
}

} // namespace tavrin::cli
