// The director's verbs in capture mode: what the window's split buttons,
// keys and channel menu do to the programme, and what a lesson script asks
// for. Each verb is one call on the channel manager (and the scene runtime)
// and answers with a count or id on success and a negative number when it
// was refused.
#pragma once

#include <cstdint>
#include <vector>

namespace tavrin {

class TCManager;
class TScreenLayout;

class TDirector {
public:
    // layout may be null (no activity plan): scenes are then refused.
    TDirector(TCManager& manager, TScreenLayout* layout) : manager_(manager), layout_(layout) {}

    // These channels on the programme (1 to 4), the first one over the
    // whole programme with bFullScreen: how many it shows.
    int Combine(const std::vector<int32_t>& channels, bool bFullScreen = false);
    // One channel over the whole programme: 1.
    int FullScreen(int nChannel);
    // Exchanges two channels (pictures, ports and programme places): 1.
    int Swap(int nFirst, int nSecond);
    // The programme's sound from this channel: the channel.
    int Audio(int nChannel);
    // Cuts the channel to an area in permille of its picture and shows the
    // cut: 1.
    int Cut(int nChannel, int xStart, int yStart, int xEnd, int yEnd);
    // The channel whole again: 1.
    int Uncut(int nChannel);
    // The full picture without cut: the phone's view back to its centre
    // and the cut left: 1.
    int FullPicture(int nChannel);
    // The phone's view back to its centre (automatic focus rules apply):
    // bytes sent, or -1.
    int CentreView(int nChannel);
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
    // The camera focus of a phone channel: bytes sent.
    int Focus(int nChannel, int nValue);

private:
    void CombineForScene(int count);

    TCManager& manager_;
    TScreenLayout* layout_;
};

} // namespace tavrin
