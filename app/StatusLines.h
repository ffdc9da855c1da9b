// The texts the main window's one-second tick draws in capture mode: where
// each goes, what it says and in which colour. Pure, so every rule is tested
// without a window; the window only paints what these return.
#pragma once

#include "output/ClientSendInfo.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tavrin {

struct TStatusColour {
    int r, g, b;
    friend bool operator==(const TStatusColour&, const TStatusColour&) = default;
};

inline constexpr TStatusColour kNormalColour{10, 90, 10};
inline constexpr TStatusColour kIdleColour{176, 176, 0};
inline constexpr TStatusColour kAlertColour{255, 0, 0};

// One line of status text; (x, y) is where the text starts, in window pixels.
struct TStatusText {
    int x = 0;
    int y = 0;
    std::string text;
    TStatusColour colour = kNormalColour;
};

// Row of the lines drawn above the panes.
inline constexpr int kStatusTop = 15;
// Rows below the programme are drawn this far under its bottom edge.
inline constexpr int kStatusBelowProgramme = 15;

// Recorded time and size of the lesson, or the notice that the limits
// stopped recording. T in seconds, L in MiB, pix the programme's picture text.
TStatusText RecordingLine(bool bPreventCapture, bool bRecording, int T, int L,
                          const std::string& pix);

// The caption in front of the frame counters.
TStatusText FrameCounterLabel();

// The frame counters form a row: the programme's at 770, channel i's one
// pitch further per channel.
inline constexpr int kProgrammeCounterX = 770;
inline constexpr int kCounterPitch = 120;
// Room kept between the last counter and the window's right edge.
inline constexpr int kCounterRightMargin = 8;

// The pitch of the counter row in a window clientWidth wide: 120 where the
// last of nChannels counters fits, else as much as lets it end inside the
// window, but never less than counterWidth (the drawn width of one counter)
// so neighbours do not run into each other.
int CounterPitch(int clientWidth, int nChannels, int counterWidth);

// Programme counters (channel 0); result is the channel manager's answer.
// Nothing is drawn for results other than 0, -1 and -2.
std::optional<TStatusText> ProgrammeCounter(int result, uint32_t video, uint32_t audio,
                                            bool selected, bool videoOk, bool audioOk);

// Counters of channel 1 ... N: the last two digits of each count, or blanks
// when the channel has nothing to count.
TStatusText ChannelCounter(int nChannel, int result, uint32_t video, uint32_t audio, bool selected,
                           bool videoOk, bool audioOk, int pitch = kCounterPitch);

// The live-push line; nothing without a push address.
std::optional<TStatusText> LiveLine(const TClientSendInfo& info, int programmeBottom);

// The error-mark notice while its countdown runs; its last tick writes blanks.
std::optional<TStatusText> ErrorMarkNotice(int nDecCount, int nErrorCode, int programmeBottom);

// A lost channel's pane frame blinks with its countdown: red and erased by
// turns.
enum class TLostFrame { None, Red, Erase };

} // namespace tavrin
