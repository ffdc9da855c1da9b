#include "app/ClickHistory.h"

#include <algorithm>

namespace tavrin {

void TClickHistory::Clear() {
    std::fill(ClickPorts.begin(), ClickPorts.end(), 0);
}

void TClickHistory::PushClickedChannel(int32_t c) {
    if (c < 1 || ClickPorts.empty() || ClickPorts.front() == c) {
        return;
    }
    std::copy_backward(ClickPorts.begin(), ClickPorts.end() - 1, ClickPorts.end());
    ClickPorts.front() = c;
}

void TClickHistory::Assign(const std::vector<int32_t>& ports) {
    for (size_t i = 0; i < ClickPorts.size(); ++i) {
        ClickPorts[i] = i < ports.size() ? ports[i] : 0;
    }
}

std::vector<int32_t>
TClickHistory::CombineRecent(int n, bool swap, const std::vector<int32_t>& currentProgramme) const {
    n = std::clamp(n, 0, int(ClickPorts.size()));
    std::vector<int32_t> list;
    for (int32_t c : ClickPorts) {
        if (c == 0 || int(list.size()) >= n) {
            break;
        }
        if (std::find(list.begin(), list.end(), c) == list.end()) {
            list.push_back(c);
        }
    }
    std::reverse(list.begin(), list.end());
    if (swap && list.size() == 2 && currentProgramme == list) {
        std::swap(list[0], list[1]);
    }
    return list;
}

} // namespace tavrin
