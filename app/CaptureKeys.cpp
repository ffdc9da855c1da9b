#include "app/CaptureKeys.h"

#include <QtCore/qnamespace.h>

namespace tavrin {

TKeyCommand DoRealKeyCommand(int key, bool shift) {
    const int s = shift ? kCutStepShift : kCutStep;
    auto move = [](int dx, int dy) { return TKeyCommand{TKeyAction::MoveCut, dx, dy, 0}; };
    switch (key) {
    case Qt::Key_Escape:
        return {TKeyAction::PreviousProgramme};
    case Qt::Key_Space:
    case Qt::Key_G:
        return {TKeyAction::RecentFullScreen};
    case Qt::Key_F:
        return {TKeyAction::RecentTwo};
    case Qt::Key_D:
        return {TKeyAction::ThreeVideos};
    case Qt::Key_S:
        return {TKeyAction::FourVideos};
    case Qt::Key_A:
        return {TKeyAction::FullNoCut};
    case Qt::Key_P:
        return {TKeyAction::Pause};
    case Qt::Key_1:
    case Qt::Key_2:
    case Qt::Key_3:
    case Qt::Key_4:
    case Qt::Key_5:
        return {TKeyAction::ErrorMark, 0, 0, key - Qt::Key_0};
    case Qt::Key_Left:
        return move(-s, 0);
    case Qt::Key_Right:
        return move(s, 0);
    case Qt::Key_Up:
        return move(0, -s);
    case Qt::Key_Down:
        return move(0, s);
    case Qt::Key_M:
        return move(s, -s);
    case Qt::Key_N:
        return move(-s, s);
    case Qt::Key_Comma:
        return move(-s, -s);
    case Qt::Key_Period:
        return move(s, s);
    default:
        return {};
    }
}

TKeyCommand DoReplayKeyCommand(int key) {
    switch (key) {
    case Qt::Key_Escape:
        return {TKeyAction::DeleteMarkMode};
    case Qt::Key_Space:
        return {TKeyAction::PausePlay};
    case Qt::Key_PageUp:
    case Qt::Key_Left:
    case Qt::Key_Up:
        return {TKeyAction::PreviousPage};
    case Qt::Key_PageDown:
    case Qt::Key_Right:
    case Qt::Key_Down:
        return {TKeyAction::NextPage};
    default:
        return {};
    }
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
