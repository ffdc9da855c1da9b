// The capture-mode hub between the main window and the sources: a fixed set
// of channel slots (connection record, socket and parser, local source
// runner, channel worker), the display ports, the monitor wave player and
// the programme output pipeline. Everything is addressed by channel number;
// the manager finds the slot that carries it. All calls run on the thread
// that owns the Qt event loop, which also delivers the socket events.
#pragma once

#include "base/LessionInfo.h"
#include "decode/Display.h"
#include "sources/AVMaker.h"
#include "sources/ActionForESC.h"
#include "sources/ClientInfo.h"
#include "sources/ClientThread.h"
#include "sources/PhoneConnection.h"

#include <SDL2/SDL_rect.h>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tavrin {

class TCombineOut;
class TCombineOutLink;
class TDispManager;
class TDispManagerLink;
class TRtmpSend;
class TSaveAV;
class TWavePlayer;
class TWavePlayerLink;
class TWorkerFrameSink;

// One channel slot; it owns everything that serves its channel.
struct TClient {
    TClient();
    ~TClient();
    TClient(const TClient&) = delete;
    TClient& operator=(const TClient&) = delete;

    TClientInfo info;
    std::unique_ptr<TClientThread> ClientThread;
    std::unique_ptr<TWorkerFrameSink> Sink;
    std::unique_ptr<TPhoneConnection> CMDParse; // the socket and its parser
    std::unique_ptr<TAVMaker> AVMaker;          // only while a local source runs
};

class TCManager {
public:
    TCManager();
    ~TCManager();
    TCManager(const TCManager&) = delete;
    TCManager& operator=(const TCManager&) = delete;

    // Live push and lesson recorder of the programme (either may be null);
    // both outlive the manager. Call before initialize.
    void SetOutputs(TRtmpSend* sender, TSaveAV* recorder);
    // Whether anybody sees the panes (default true). Without a display the
    // channels make no previews and the programme has no preview port; the
    // ports still exist for the calls that name them. Call before initialize.
    void SetPreviewShown(bool bShown) { bPreviewShown = bShown; }
    // Preview pictures the channels have scaled so far.
    uint64_t PreviewsScaled() const;

    // One slot per entry of portsTagArr (its channel number); a window
    // handle of 0, or a missing one, gives an offscreen port. 0, or -1 when
    // a step failed (what was made is freed by Destroy).
    int initialize(TNativeWindow xHandle, int nYUVWidth, int nYUVHeight, int64_t nBitrate,
                   const SDL_Rect& xr, int nChannel, const std::vector<int>& portsTagArr,
                   const std::vector<TNativeWindow>& portsHandleArr,
                   const std::vector<SDL_Rect>& portsRectArr, const TLessionInfo* l);
    void Destroy();

    // Connections.
    // Points channel nChannel at a source of kind nType (a local camera or
    // picture may carry its microphone or MP3 after a '|') and starts the
    // connection; how it goes shows in the slot's TClientInfo, never in the
    // result. Returns -1 (also for an unknown channel or an empty address),
    // except while an earlier attempt on the channel is still running: then
    // nothing changes and the slot's index is returned.
    int ConnectThis(const std::string& sIP, int nChannel, int nType);
    int FindThisClient(const std::string& sIP, int nType, const std::string& sID);
    bool reConnectThis(int nChannel);
    bool ClearThisChannel(int nChannel);
    bool ChangeCH(int nFirstChannel, int nSecondChannel);
    bool GetConInfo(int nChannel, TClientInfo& PC) const;
    // The operator's "no automatic reconnection this time" for a channel.
    bool SetDontReconnect(int nChannel);
    // One tick of the one-second status timer for a channel: a lost
    // connection's notice counts down (the code is cleared at 0). True when
    // the channel should be reconnected now: every sixth tick of the
    // countdown, 0 included, unless reconnection is suppressed.
    bool TickLostNotice(int nChannel);
    // The "connection back" (or "slides on the sound channel") notice has
    // been shown: the code and its count are cleared. False when the channel
    // has no such notice.
    bool ClearNotice(int nChannel);
    int GetAVCounterThisperiod(int nChannel, uint32_t& VCount, uint32_t& ACount, int& nType,
                               bool& VideoOK, bool& AudioOK);
    std::string GetPIX(int nChannel) const;

    // Programme and sound.
    int SetCombinePorts(const int32_t* portsArr, int nPortCounts, bool bFullScreen);
    int SetCombinePorts(const std::vector<int32_t>& ports, bool bFullScreen) {
        return SetCombinePorts(ports.data(), int(ports.size()), bFullScreen);
    }
    int GetCombinePorts(std::vector<int32_t>& portsArr);
    bool StartCapture(bool bc);
    int SetMainPortForAudio(int nChannel);
    int GetMainPortForAudio_DeviceType() const;
    int PlayAudio(int nChannel, bool bPlay);
    int LoadYUVBikImage(const std::string& sFile);
    const std::string& GetYUVBikImage() const { return YUVBikImageFileName; }
    int ResizeMain(const SDL_Rect& xr);
    int ResizeClient(int nChannel, const SDL_Rect& xr);

    // Cut.
    bool SetInCut(int nChannel, bool bEnable);
    bool GetIfInCut(int nChannel) const;
    bool SetClipArea(int nChannel, int xStart, int yStart, int xEnd, int yEnd, int& xMiddleFocusPos,
                     int& yMiddleFocusPos, bool bTestDraw);
    bool ConvertTestRectToReal(int nChannel);
    bool MoveCutArea(int nChannel, int incream_H, int incream_V);
    void StopMove();
    void ESCToPreCombine();

    // Phone camera commands: bytes sent, or -1.
    int SetAdjustFocus(int nChannel, int xPos, int yPos, bool bByAuto);
    int SetCanAutoAdjust(int nChannel, bool bCan);
    bool GetCanAutoAdjust(int nChannel) const;
    int SetFocusValue(int nChannel, int nCurrentFoucsValue);
    int IncreamFocusValue(int nChannel, bool bIncream);
    int GetFocusValue(int nChannel, int& nMaxFoucsScale, int& nCurrentFoucsValue) const;
    bool GetIfHasWideAngle(int nChannel) const;
    int ConvertWideAngle(int nChannel);

    // Playback of an MP4 channel.
    bool GetCycle(int nChannel) const;
    bool SetCycle(int nChannel, bool bCycle);
    bool GetCurrentPos(int nChannel, int& CurrentSec, int& TotalSec);
    bool SetCurrentPos(int nChannel, int nSec);
    bool setPause(int nChannel);

    // Read-only views for callers and tests.
    int ChannelCount() const { return int(Client.size()); }
    TCombineOut* Programme() { return CombineOut.get(); }
    // The programme's ticks so far and those it missed; false without one.
    bool GetProgrammeTicks(uint64_t& ticks, uint64_t& missed);
    // Lateness (ms) of the programme's ticks from tick number nFromTick on,
    // as far as they are kept: the 99th percentile and the largest; false
    // without a programme or without such ticks.
    bool GetProgrammeLateness(uint64_t nFromTick, uint32_t& p99, uint32_t& most);
    // The same figures out of the lateness the pipeline kept of its last
    // ticks (oldest first; ticks is the count of all ticks so far).
    static bool LatenessFrom(const std::vector<uint16_t>& lateness, uint64_t ticks,
                             uint64_t nFromTick, uint32_t& p99, uint32_t& most);
    TDispManager* Displays() { return DispManager.get(); }
    int MainDispPort() const { return nMainDispPort; }
    int MainChannel() const { return nMainChannel; }
    const std::string& PixLabel() const { return sPixA; }
    const TActionForESC& ActionForESC() const { return rLastActionForESC; }
    // The channel whose sound the programme carries, 0 when none.
    int MainAudioChannel() const;
    bool IsPlayingAudio(int nChannel) const;
    // The worker of a channel (null when no slot has it).
    const TClientThread* Worker(int nChannel) const;
    // Where the channel's network parser reports frames and losses.
    const TWorkerFrameSink* FrameSink(int nChannel) const;
    bool HasRunner(int nChannel) const;
    // What the local source of a channel answered when it was opened: 0, or
    // its producer's failure code (a file that cannot be played).
    int SourceResult(int nChannel) const;

    // The programme label: "720P", "1080P", "4K" or W x H, with the bit rate.
    static std::string MakePixLabel(int nWidth, int nHeight, int64_t nBitrate);

private:
    TClient* Find(int nChannel);
    const TClient* Find(int nChannel) const;
    int IndexOf(const TClient* c) const;
    // The phone slot of a channel (types 2 and 3), or null.
    TClient* FindPhone(int nChannel);
    void StopRunner(TClient& c);
    void StartRunner(TClient& c);
    void OpenNetwork(TClient& c, const std::string& sIP);
    void RecordCut(int nChannel, int xStart, int yStart, int xEnd, int yEnd);

    std::vector<std::unique_ptr<TClient>> Client;
    std::vector<bool> bAutoAdjust; // by channel number; entry 0 unused
    int32_t nMainChannel = 0;
    int32_t nMainDispPort = -1;
    bool bPreviewShown = true;
    TActionForESC rLastActionForESC;
    std::string YUVBikImageFileName;
    std::string sPixA;

    TRtmpSend* Sender = nullptr;
    TSaveAV* Recorder = nullptr;
    std::unique_ptr<TDispManager> DispManager;
    std::unique_ptr<TWavePlayer> WavePlayer;
    std::unique_ptr<TCombineOut> CombineOut;
    std::unique_ptr<TCombineOutLink> ProgrammeLink;
    std::unique_ptr<TDispManagerLink> PreviewLink;
    std::unique_ptr<TWavePlayerLink> MonitorLink;
};

} // namespace tavrin
