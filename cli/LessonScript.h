// A lesson script: timed director actions that drive a recording without
// the window. One action per line, "SECONDS ACTION ARGUMENTS", times in
// seconds from the start (decimals allowed) and never decreasing; "#"
// starts a comment. Actions:
//   combine 1,2,3        show these channels on the programme (1 to 4)
//   fullscreen 2         show one channel over the whole programme
//   swap 1 3             exchange two channels
//   audio 2              take the programme sound from channel 2
//   cut 2 0 0 500 500    cut channel 2 to an area in permille (x1 y1 x2 y2)
//   uncut 2              show channel 2 whole again
//   scene 1              use scene 1 of the activity plan, showing as many
//                        channels as it has rectangles
//   esc                  undo the last programme or cut change
//   focus 2 60           set the camera focus of channel 2
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavrin::cli {

enum class TScriptVerb {
    Combine,
    FullScreen,
    Swap,
    Audio,
    Cut,
    Uncut,
    Scene,
    Esc,
    Focus,
};

struct TScriptAction {
    uint32_t atMs = 0;
    TScriptVerb verb = TScriptVerb::Esc;
    std::vector<int32_t> args;
    int line = 0; // 1-based, for messages
};

// Parses a whole script. Channel numbers must lie in 1..nChannels. False
// with error ("line N: ...") on the first bad line.
bool ParseLessonScript(const std::string& text, int nChannels, std::vector<TScriptAction>& actions,
                       std::string& error);

// The action as it would be written in a script, for the progress lines.
std::string DescribeAction(const TScriptAction& action);

} // namespace tavrin::cli
