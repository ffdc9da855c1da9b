#include "cli/ScriptDirector.h"

#include "compose/ScreenLayout.h"
#include "sources/CManager.h"

#include <algorithm>
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
    case TScriptVerb::Combine: {
        const int accepted = manager_.SetCombinePorts(a, false);
        return accepted > 0 ? accepted : -1;
    }
    case TScriptVerb::FullScreen: {
        const int accepted = manager_.SetCombinePorts({a[0]}, true);
        return accepted > 0 ? accepted : -1;
    }
    case TScriptVerb::Swap:
        return manager_.ChangeCH(a[0], a[1]) ? 1 : -1;
    case TScriptVerb::Audio:
        return manager_.SetMainPortForAudio(a[0]) == a[0] ? a[0] : -1;
    case TScriptVerb::Cut: {
        // The area applies to the picture the channel shows; cut mode on.
        int x = 0;
        int y = 0;
        if (!manager_.SetClipArea(a[0], a[1], a[2], a[3], a[4], x, y, false)) {
            return -1;
        }
        return manager_.SetInCut(a[0], true) ? 1 : -1;
    }
    case TScriptVerb::Uncut:
        return manager_.SetInCut(a[0], false) ? 1 : -1;
    case TScriptVerb::Scene: {
        const int count = layout_ == nullptr ? -1 : layout_->UseThisLayout(a[0]);
        if (count >= 0) {
            CombineForScene(count);
        }
        return count;
    }
    case TScriptVerb::Esc: {
        manager_.ESCToPreCombine();
        std::vector<int32_t> shown;
        return manager_.GetCombinePorts(shown);
    }
    case TScriptVerb::Focus:
        return manager_.SetFocusValue(a[0], a[1]);
    }
    return -1;
}

void TScriptDirector::CombineForScene(int count) {
    std::vector<int32_t> shown;
    manager_.GetCombinePorts(shown);
    if (int(shown.size()) > count) {
        shown.resize(size_t(count));
    }
    for (int ch = 1; ch <= manager_.ChannelCount() && int(shown.size()) < count; ++ch) {
        TClientInfo info;
        if (manager_.GetConInfo(ch, info) && info.DeviceType != kDeviceNone &&
            std::find(shown.begin(), shown.end(), ch) == shown.end()) {
            shown.push_back(ch);
        }
    }
    manager_.SetCombinePorts(shown, false);
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
