#include "sources/Director.h"

#include "compose/ScreenLayout.h"
#include "sources/CManager.h"

#include <algorithm>

namespace tavrin {

namespace {

// The centre of a channel's 1280 x 720 view.
constexpr int kViewCentreX = 640;
constexpr int kViewCentreY = 360;

} // namespace

int TDirector::Combine(const std::vector<int32_t>& channels, bool bFullScreen) {
    const int accepted = manager_.SetCombinePorts(channels, bFullScreen);
    return accepted > 0 ? accepted : -1;
}

int TDirector::FullScreen(int nChannel) {
    const int accepted = manager_.SetCombinePorts({nChannel}, true);
    return accepted > 0 ? accepted : -1;
}

int TDirector::Swap(int nFirst, int nSecond) {
    return manager_.ChangeCH(nFirst, nSecond) ? 1 : -1;
}

int TDirector::Audio(int nChannel) {
    return manager_.SetMainPortForAudio(nChannel) == nChannel ? nChannel : -1;
}

int TDirector::Cut(int nChannel, int xStart, int yStart, int xEnd, int yEnd) {
    // The area applies to the picture the channel shows; cut mode on.
    int x = 0;
    int y = 0;
    if (!manager_.SetClipArea(nChannel, xStart, yStart, xEnd, yEnd, x, y, false)) {
        return -1;
    }
    return manager_.SetInCut(nChannel, true) ? 1 : -1;
}

int TDirector::Uncut(int nChannel) {
    return manager_.SetInCut(nChannel, false) ? 1 : -1;
}

int TDirector::Scene(int nSceneID) {
    const int count = layout_ == nullptr ? -1 : layout_->UseThisLayout(nSceneID);
    if (count >= 0) {
        CombineForScene(count);
    }
    return count;
}

int TDirector::UseScene(int nSceneID) {
    return layout_ == nullptr ? -1 : layout_->UseThisLayout(nSceneID);
}

int TDirector::FullPicture(int nChannel) {
    CentreView(nChannel);
    return manager_.SetInCut(nChannel, false) ? 1 : -1;
}

int TDirector::CentreView(int nChannel) {
    return manager_.SetAdjustFocus(nChannel, kViewCentreX, kViewCentreY, true);
}

int TDirector::Esc() {
    manager_.ESCToPreCombine();
    std::vector<int32_t> shown;
    return manager_.GetCombinePorts(shown);
}

int TDirector::Focus(int nChannel, int nValue) {
    return manager_.SetFocusValue(nChannel, nValue);
}

void TDirector::CombineForScene(int count) {
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

} // namespace tavrin
