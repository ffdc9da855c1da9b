// The console's keyboard map: which director's action each key stands for
// in capture and replay mode. The window looks the key up here and carries
// the action out, so buttons, menus and keys share one set of actions.
#pragma once

#include <vector>

namespace tavrin {

enum class TKeyAction {
    None,
    PreviousProgramme, // back to the programme before the last change
    RecentFullScreen,  // the most recently selected channel alone
    RecentTwo,         // the two most recently selected channels
    ThreeVideos,       // as the three-video layout button
    FourVideos,        // as the four-video layout button
    FullNoCut,         // the selected channel's whole picture, no cut
    Pause,             // pause the selected channel
    ErrorMark,         // mark an error in the recording (digit)
    MoveCut,           // move the selected channel's cut area (dx, dy)
    // Replay mode.
    DeleteMarkMode,
    PausePlay,
    PreviousPage,
    NextPage,
};

struct TKeyCommand {
    TKeyAction action = TKeyAction::None;
    int dx = 0; // MoveCut: source pixels per composed picture
    int dy = 0;
    int digit = 0; // ErrorMark
};

// Steps of the cut area per composed picture, with and without Shift.
inline constexpr int kCutStep = 5;
inline constexpr int kCutStepShift = 8;

// key is a Qt::Key value.
TKeyCommand DoRealKeyCommand(int key, bool shift);
TKeyCommand DoReplayKeyCommand(int key);

// Order in which the channels' trial cut rectangles become real when Ctrl is
// released: the other channels 1 ... nChannels in order, then the selected
// one (if it is a channel at all), so the selected channel's cut wins.
std::vector<int> TrialRectConversionOrder(int nChannels, int selected);

} // namespace tavrin
