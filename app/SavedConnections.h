// The channels' connections kept in the settings file while capture runs, so
// a console that ended without closing (killed, crashed, the power gone) can
// offer them again on the next start instead of leaving the panes black.
// Whether the last run ended cleanly is told by a mark set when capture is
// entered and taken away when the window closes.
#pragma once

#include "app/ModeSwitch.h"

#include <string>

namespace tavrin {

inline constexpr char kReconnectQuestion[] =
    "上次录课没有正常结束。\n\r要重新连接当时各通道的信号源么？";

// Writes the channels and the programme's channel list; only the channels that
// differ from what the file holds are rewritten. False when the file cannot
// be written.
bool SaveConnections(const std::string& iniPath, const rLastState& s);
// What SaveConnections left, for nChannels channels (entries beyond what was
// saved stay empty).
rLastState LoadConnections(const std::string& iniPath, int nChannels);
// True when at least one channel has a source to connect again.
bool HasConnections(const rLastState& s);

// Set while capture runs; a set mark at start-up means the last run did not
// end through the window's close.
bool MarkCaptureRunning(const std::string& iniPath, bool running);
bool CaptureEndedUncleanly(const std::string& iniPath);

bool operator==(const CHLastState& a, const CHLastState& b);

} // namespace tavrin
