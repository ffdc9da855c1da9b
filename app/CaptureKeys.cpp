#include "app/CaptureKeys.h"

namespace tavrin {

TKeyCommand DoRealKeyCommand(int key, bool shift) {
    const TActionEntry* e = EntryOfKey(TBar::CaptureKeys, key);
    if (e == nullptr) {
        return {};
    }
    const int step = shift ? kCutStepShift : kCutStep;
    return {e->action, e->dx * step, e->dy * step, e->digit};
}

TKeyCommand DoReplayKeyCommand(int key) {
    const TActionEntry* e = EntryOfKey(TBar::ReplayKeys, key);
    return e != nullptr ? TKeyCommand{e->action} : TKeyCommand{};
}

std::vector<int> TrialRectConversionOrder(int nChannels, int selected) {
    std::vector<int> order;
    for (int ch = 1; ch <= nChannels; ++ch) {
        if (ch != selected) {
            order.push_back(ch);
        }
    }
    if (selected >= 1 && selected <= nChannels) {
        order.push_back(selected);
    }
    return order;
}

} // namespace tavrin
