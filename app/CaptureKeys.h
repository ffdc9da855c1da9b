// The console's keys as commands: the action a key stands for in capture
// and replay mode (from the action table) with its parameters, and the order
// in which trial cut rectangles become real.
#pragma once

#include "app/MainActions.h"

#include <vector>

namespace tavrin {

struct TKeyCommand {
    TMainAction action = TMainAction::None;
    int dx = 0; // MoveCut: source pixels per composed picture
    int dy = 0;
    int digit = 0; // ErrorMark
};

// Steps of the cut area per composed picture, with and without Shift.
inline constexpr int kCutStep = 5;
inline constexpr int kCutStepShift = 8;

// key is a Qt::Key value; the action is None for a key without a command.
TKeyCommand DoRealKeyCommand(int key, bool shift);
TKeyCommand DoReplayKeyCommand(int key);

// Order in which the channels' trial cut rectangles become real when Ctrl is
// released: the other channels 1 ... nChannels in order, then the selected
// one (if it is a channel at all), so the selected channel's cut wins.
std::vector<int> TrialRectConversionOrder(int nChannels, int selected);

} // namespace tavrin
