// The director's verbs in capture mode: everything the window's buttons,
// keys, pane gestures and channel menu, the plan editor and a lesson script
// do to a live lesson. Each verb is a call on the channel manager (and the
// scene runtime) and answers with a count or id on success and a negative
// number when it was refused. Every front end goes through these verbs, so
// a button, its key and a script line cannot drift apart.
#pragma once

#include "sources/ClientInfo.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tavrin {

class TCManager;
class TScreenLayout;

// Hears every verb as it is called, written as "verb arguments" (for
// whoever wants to know what was asked, such as a test comparing two front
// ends).
using TDirectorLog = std::function<void(const std::string& call)>;

class TDirector {
public:
    // layout may be null (no activity plan): scenes are then refused. log
    // may be null or empty.
    TDirector(TCManager& manager, TScreenLayout* layout, const TDirectorLog* log = nullptr)
        : manager_(manager), layout_(layout), log_(log) {}

    // --- the programme -------------------------------------------------
    // These channels on the programme (1 to 4), the first one over the
    // whole programme with bFullScreen: how many it shows.
    int Combine(const std::vector<int32_t>& channels, bool bFullScreen = false);
    // One channel over the whole programme, its view back to the centre: 1.
    int FullScreen(int nChannel);
    // Exchanges two channels (pictures, ports and programme places): 1.
    int Swap(int nFirst, int nSecond);
    // The programme's sound from this channel: the channel.
    int Audio(int nChannel);
    // Makes scene id of the activity plan current and fills its rectangles:
    // the programme keeps its first channels and, when it needs more, takes
    // the lowest channels with a source that it does not show yet. The
    // scene's rectangle count.
    int Scene(int nSceneID);
    // Only makes the scene current (the window fills it from the channels
    // selected most recently): its rectangle count.
    int UseScene(int nSceneID);
    // Undoes the last programme or cut change: how many channels the
    // programme shows afterwards.
    int Esc();

    // --- cutting ---------------------------------------------------------
    // There is one way to cut: a trial rectangle (permille of the channel's
    // picture) is drawn, then made real, which also points the phone's
    // focus at the cut's centre.
    // Draws the trial rectangle: 1, or -1 while the channel has no picture.
    int CutTrial(int nChannel, int xStart, int yStart, int xEnd, int yEnd);
    // Takes the trial rectangle away (an empty one).
    int CutClearTrial(int nChannel);
    // Makes the trial rectangle the real cut: 1, or -1 without one.
    int CutCommit(int nChannel);
    // The channels' trial rectangles become real in this order (the
    // selected channel last, so its cut wins): how many were made real.
    int CutCommitAll(const std::vector<int>& order);
    // Trial, stop, commit in one: the cut as a finished drag makes it: 1.
    int Cut(int nChannel, int xStart, int yStart, int xEnd, int yEnd);
    // The channel's whole picture, without cut, its view back to the
    // centre: 1.
    int Uncut(int nChannel);
    // Starts moving the channel's cut area by dx, dy per composed picture.
    int CutMove(int nChannel, int dx, int dy);
    // Every cut area stops moving.
    void CutStop();

    // --- channels ----------------------------------------------------------
    // Points a channel at a source of kind nType, as the channel manager's
    // ConnectThis takes it; an MP4 file's looping is set when bLoop is given.
    int Connect(const std::string& sSource, int nChannel, int nType,
                std::optional<bool> bLoop = std::nullopt);
    // Whether an MP4 channel starts again at its end.
    int Loop(int nChannel, bool bLoop);
    // Plays an MP4 channel from this second on.
    int Seek(int nChannel, int nSec);
    // Connects the channel's source again: 1.
    int Reconnect(int nChannel);
    // Forgets the channel's connection: 1.
    int ClearChannel(int nChannel);
    // No automatic reconnection of the channel this time: 1.
    int NoReconnect(int nChannel);
    // Pauses or resumes an MP4 channel: 1.
    int Pause(int nChannel);
    // Plays (or stops playing) the channel's sound on this PC.
    int MonitorAudio(int nChannel, bool bPlay);

    // --- phone cameras ---------------------------------------------------
    // The phone's view back to its centre (automatic focus rules apply):
    // bytes sent, or -1.
    int CentreView(int nChannel);
    // The camera focus value: bytes sent.
    int Focus(int nChannel, int nValue);
    // One focus step nearer (up: away from the user): bytes sent.
    int FocusStep(int nChannel, bool bUp);
    // Focus at a point of the 1280 x 720 view: bytes sent.
    int PtzPoint(int nChannel, int x, int y);
    // Whether the phone may focus by itself: bytes sent.
    int AutoFocus(int nChannel, bool bOn);
    // Switches the super wide angle and centres the view: bytes sent.
    int WideAngle(int nChannel);

    // --- what the director sees -------------------------------------------
    int ChannelCount() const;
    std::vector<int32_t> Shown() const;
    bool Info(int nChannel, TClientInfo& info) const;
    std::string Pix(int nChannel) const;
    bool Looping(int nChannel) const;
    bool HasWideAngle(int nChannel) const;
    bool Mp4Position(int nChannel, int& nSec, int& nTotalSec) const;

private:
    void CombineForScene(int count);
    void Log(const std::string& call) const;

    TCManager& manager_;
    TScreenLayout* layout_;
    const TDirectorLog* log_;
};

} // namespace tavrin
