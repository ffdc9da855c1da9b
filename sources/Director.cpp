#include "sources/Director.h"

#include "compose/ScreenLayout.h"
#include "sources/CManager.h"

#include <algorithm>

namespace tavrin {

namespace {

// The centre of a channel's 1280 x 720 view.
constexpr int kViewCentreX = 640;
constexpr int kViewCentreY = 360;

std::string Args(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) {
        s += ' ' + std::to_string(v);
    }
    return s;
}

} // namespace

void TDirector::Log(const std::string& call) const {
    if (log_ != nullptr && *log_) {
        (*log_)(call);
    }
}

int TDirector::Combine(const std::vector<int32_t>& channels, bool bFullScreen) {
    std::string list;
    for (int32_t c : channels) {
        list += (list.empty() ? " " : ",") + std::to_string(c);
    }
    Log("combine" + list + (bFullScreen ? " full" : ""));
    const int accepted = manager_.SetCombinePorts(channels, bFullScreen);
    return accepted > 0 ? accepted : -1;
}

int TDirector::FullScreen(int nChannel) {
    const int shown = Combine({nChannel}, true);
    CentreView(nChannel);
    return shown;
}

int TDirector::Swap(int nFirst, int nSecond) {
    Log("swap" + Args({nFirst, nSecond}));
    return manager_.ChangeCH(nFirst, nSecond) ? 1 : -1;
}

int TDirector::Audio(int nChannel) {
    Log("audio" + Args({nChannel}));
    return manager_.SetMainPortForAudio(nChannel) == nChannel ? nChannel : -1;
}

int TDirector::Scene(int nSceneID) {
    Log("scene" + Args({nSceneID}));
    const int count = layout_ == nullptr ? -1 : layout_->UseThisLayout(nSceneID);
    if (count >= 0) {
        CombineForScene(count);
    }
    return count;
}

int TDirector::UseScene(int nSceneID) {
    Log("use-scene" + Args({nSceneID}));
    return layout_ == nullptr ? -1 : layout_->UseThisLayout(nSceneID);
}

int TDirector::Esc() {
    Log("esc");
    manager_.ESCToPreCombine();
    std::vector<int32_t> shown;
    return manager_.GetCombinePorts(shown);
}

int TDirector::CutTrial(int nChannel, int xStart, int yStart, int xEnd, int yEnd) {
    Log("cut-trial" + Args({nChannel, xStart, yStart, xEnd, yEnd}));
    int x = 0;
    int y = 0;
    return manager_.SetClipArea(nChannel, xStart, yStart, xEnd, yEnd, x, y, true) ? 1 : -1;
}

int TDirector::CutClearTrial(int nChannel) {
    return CutTrial(nChannel, 0, 0, 0, 0);
}

int TDirector::CutCommit(int nChannel) {
    Log("cut-commit" + Args({nChannel}));
    return manager_.ConvertTestRectToReal(nChannel) ? 1 : -1;
}

int TDirector::CutCommitAll(const std::vector<int>& order) {
    int made = 0;
    for (int ch : order) {
        made += CutCommit(ch) > 0 ? 1 : 0;
    }
    return made;
}

int TDirector::Cut(int nChannel, int xStart, int yStart, int xEnd, int yEnd) {
    if (CutTrial(nChannel, xStart, yStart, xEnd, yEnd) < 0) {
        return -1;
    }
    CutStop();
    return CutCommit(nChannel);
}

int TDirector::Uncut(int nChannel) {
    Log("uncut" + Args({nChannel}));
    manager_.SetAdjustFocus(nChannel, kViewCentreX, kViewCentreY, true);
    return manager_.SetInCut(nChannel, false) ? 1 : -1;
}

int TDirector::CutMove(int nChannel, int dx, int dy) {
    Log("cut-move" + Args({nChannel, dx, dy}));
    return manager_.MoveCutArea(nChannel, dx, dy) ? 1 : -1;
}

void TDirector::CutStop() {
    Log("cut-stop");
    manager_.StopMove();
}

int TDirector::Connect(const std::string& sSource, int nChannel, int nType,
                       std::optional<bool> bLoop) {
    Log("connect" + Args({nChannel, nType}) + " " + sSource);
    const int r = manager_.ConnectThis(sSource, nChannel, nType);
    if (bLoop && nType == kDeviceMp4) {
        Loop(nChannel, *bLoop);
    }
    return r;
}

int TDirector::Loop(int nChannel, bool bLoop) {
    Log("loop" + Args({nChannel}) + (bLoop ? " on" : " off"));
    return manager_.SetCycle(nChannel, bLoop) ? 1 : -1;
}

int TDirector::Seek(int nChannel, int nSec) {
    Log("seek" + Args({nChannel, nSec}));
    return manager_.SetCurrentPos(nChannel, nSec) ? 1 : -1;
}

int TDirector::Reconnect(int nChannel) {
    Log("reconnect" + Args({nChannel}));
    return manager_.reConnectThis(nChannel) ? 1 : -1;
}

int TDirector::ClearChannel(int nChannel) {
    Log("clear" + Args({nChannel}));
    return manager_.ClearThisChannel(nChannel) ? 1 : -1;
}

int TDirector::NoReconnect(int nChannel) {
    Log("no-reconnect" + Args({nChannel}));
    return manager_.SetDontReconnect(nChannel) ? 1 : -1;
}

int TDirector::Pause(int nChannel) {
    Log("pause" + Args({nChannel}));
    return manager_.setPause(nChannel) ? 1 : -1;
}

int TDirector::MonitorAudio(int nChannel, bool bPlay) {
    Log("monitor" + Args({nChannel}) + (bPlay ? " on" : " off"));
    return manager_.PlayAudio(nChannel, bPlay);
}

int TDirector::CentreView(int nChannel) {
    Log("centre" + Args({nChannel}));
    return manager_.SetAdjustFocus(nChannel, kViewCentreX, kViewCentreY, true);
}

int TDirector::Focus(int nChannel, int nValue) {
    Log("focus" + Args({nChannel, nValue}));
    return manager_.SetFocusValue(nChannel, nValue);
}

int TDirector::FocusStep(int nChannel, bool bUp) {
    Log("focus-step" + Args({nChannel}) + (bUp ? " up" : " down"));
    return manager_.IncreamFocusValue(nChannel, bUp);
}

int TDirector::PtzPoint(int nChannel, int x, int y) {
    Log("ptz" + Args({nChannel, x, y}));
    return manager_.SetAdjustFocus(nChannel, x, y, false);
}

int TDirector::AutoFocus(int nChannel, bool bOn) {
    Log("auto-focus" + Args({nChannel}) + (bOn ? " on" : " off"));
    return manager_.SetCanAutoAdjust(nChannel, bOn);
}

int TDirector::WideAngle(int nChannel) {
    Log("wide-angle" + Args({nChannel}));
    const int r = manager_.ConvertWideAngle(nChannel);
    manager_.SetAdjustFocus(nChannel, kViewCentreX, kViewCentreY, true);
    return r;
}

int TDirector::ChannelCount() const {
    return manager_.ChannelCount();
}

std::vector<int32_t> TDirector::Shown() const {
    std::vector<int32_t> shown;
    manager_.GetCombinePorts(shown);
    return shown;
}

bool TDirector::Info(int nChannel, TClientInfo& info) const {
    return manager_.GetConInfo(nChannel, info);
}

std::string TDirector::Pix(int nChannel) const {
    return manager_.GetPIX(nChannel);
}

bool TDirector::Looping(int nChannel) const {
    return manager_.GetCycle(nChannel);
}

bool TDirector::HasWideAngle(int nChannel) const {
    return manager_.GetIfHasWideAngle(nChannel);
}

bool TDirector::Mp4Position(int nChannel, int& nSec, int& nTotalSec) const {
    return manager_.GetCurrentPos(nChannel, nSec, nTotalSec);
}

void TDirector::CombineForScene(int count) {
    std::vector<int32_t> shown = Shown();
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
