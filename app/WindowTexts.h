// Texts the main window shows: its caption, the replay bar's audio offset
// entries, the clear-marks question and the captions of the channel menu.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavrin {

struct TLessionInfo;

// Application title + four blanks + teacher + five blanks + lesson name.
std::string MainCaption(const TLessionInfo& lesson);

// The audio offset box of the replay bar: 100 entries, entry k is offset
// k - 49 ("-49 提前音频" ... "0 标准音频" ... "50 延后音频").
inline constexpr int kAudioOffsetEntries = 100;
std::vector<std::string> AudioOffsetEntries();
inline int AudioOffsetOfEntry(int k) {
    return k - 49;
}
// The entry shown for a stored audio delay: its own, or that of offset 11
// when the delay lies outside -48 ... 48.
int AudioOffsetEntryFor(int nAudioDelay);

// The confirmation of "clear all delete marks" for the seconds they cover;
// the minutes are left out below one minute.
std::string ClearMarksQuestion(int seconds);

// What the channel menu knows of one channel slot.
struct TChannelMenuInfo {
    int32_t nDeviceType = 0;
    std::string sIP;  // address, file path or device name
    std::string sPix; // the channel's picture text
    int nPositionSec = 0;
    int nLengthSec = 0;
};

// The caption of a channel's item by its device type.
std::string ChannelItemCaption(const TChannelMenuInfo& c);
// Percent played of an MP4 channel, rounded; 0 without a length.
int PercentPlayed(int positionSec, int lengthSec);
// The drawn text: "√ " + caption for the selected channel, else three blanks.
std::string ChannelItemText(const std::string& caption, bool selected);
// "电量 NN%" for a known level (>= 0), empty otherwise.
std::string BatteryText(int charge);
// Battery levels below this are drawn in red.
inline constexpr int kLowBattery = 30;

} // namespace tavrin
