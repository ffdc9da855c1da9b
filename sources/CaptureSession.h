// Everything capture mode runs, made in one place for every front end (the
// console window and tavrin-cli record): the live sender (paused until it
// has an address), the lesson recorder with its open lesson, the channel
// manager with the programme pipeline, the scene runtime's output, and
// optionally device discovery. Starting makes them in that order; stopping
// ends recording, frees discovery and the manager (its workers still write
// into the recorder and the sender), ends the lesson and only then stops the
// sender. The destructor stops, so the owner's reset is the leave.
//
// All calls run on the thread that owns the Qt event loop: the sockets of
// network sources and of discovery deliver their events there.
#pragma once

#include "base/GetLessionInfo.h"
#include "base/LessionInfo.h"
#include "decode/Display.h"
#include "output/ClientSendInfo.h"
#include "output/StoreFile.h"
#include "sources/ClientInfo.h"
#include "sources/Director.h"

#include <SDL2/SDL_rect.h>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tavrin {

class TCManager;
class TDiscovery;
class TRtmpSend;
class TSaveAV;
class TScreenLayout;

// One display pane: a native window (0: an offscreen port) and its size.
struct TCapturePane {
    TNativeWindow hWnd = 0;
    SDL_Rect rect{0, 0, 320, 180};
};

struct TCaptureSessionConfig {
    TGetLessionInfo paths; // where the lesson's store lies
    TLessionInfo lesson;   // LessionID is the lesson recorded; the rest feeds the caption
    int nYUVWidth = 1280;
    int nYUVHeight = 720;
    int64_t nBitrate = int64_t{2048} * 1024; // programme video, bit/s
    int nAudioDelay = 0;                     // the sender's initial audio delay, in AAC frames
    std::string rtmpURL;                     // empty: the sender waits, paused, for SetRtmpUrl
    int nChannels = 3;                       // channel slots 1..nChannels
    TCapturePane programme;                  // pane 0
    std::vector<TCapturePane> panes;         // channels 1..nChannels; missing ones offscreen
    // False when no pane is ever seen (no display): then no preview is made.
    bool bPreviewShown = true;
    // Automatic focus of phone channels, by channel number (entry 0 unused);
    // channels without an entry keep it on.
    std::vector<bool> autoAdjust;
    int nAudioChannel = 1;           // the channel whose sound the programme carries
    TScreenLayout* layout = nullptr; // the scene runtime, owned by the caller, or null
    // Multicast discovery of streaming apps; TAVRIN_NO_DISCOVERY=1 switches it off.
    bool bDiscovery = false;
    TPrepareProgress prepareProgress; // progress of preparing a new av.dat, or empty
};

// What changed on a channel, for the status lines.
struct TChannelEvent {
    enum TKind {
        kConnected,     // a network source connected and described itself (info filled)
        kLost,          // its connection ended
        kReconnecting,  // the lost-connection countdown reconnected it
        kBlink,         // lost-notice tick: frame on (bOn) or off
        kBack,          // a connection is back: the lost notice ends
        kSlidesOnSound, // slides were refused on the sound channel (notice cleared)
    };
    TKind kind;
    int nChannel = 0;
    bool bOn = false;
    TClientInfo info;
};

// The frame counters of one channel (0: the programme) over the last period.
struct TChannelCounters {
    uint32_t nVideo = 0;
    uint32_t nAudio = 0;
    bool bVideoOK = false;
    bool bAudioOK = false;
    int nType = 0;
};

class TCaptureSession {
public:
    // Start results: the recorder's NewLession codes and one of our own.
    enum {
        kStartOK = 0,
        kNoFolder = -1,    // the capture folder cannot be made
        kNoIndex = -2,     // index.dat cannot be opened
        kNoData = -3,      // av.dat cannot be opened
        kNoProgramme = -4, // the programme pipeline (its encoder) cannot be opened
        kRunning = -5,     // Start on a session that already runs
    };

    TCaptureSession();
    ~TCaptureSession();
    TCaptureSession(const TCaptureSession&) = delete;
    TCaptureSession& operator=(const TCaptureSession&) = delete;

    // Enters capture mode for cfg.lesson. On failure everything made is
    // freed again and the session stays stopped.
    int Start(const TCaptureSessionConfig& cfg);
    // Leaves capture mode; harmless when stopped. The destructor calls it.
    void Stop();
    bool Running() const { return pManager != nullptr; }

    // The channel manager for connections, cuts and dialogs; null when stopped.
    TCManager* Manager() { return pManager.get(); }
    const TCManager* Manager() const { return pManager.get(); }
    // The live sender, for the channel dialogs' push settings; null when stopped.
    TRtmpSend* Sender() { return pSender.get(); }
    TScreenLayout* Layout() { return Cfg.layout; }
    // The director's verbs on this session's channels and scenes; only
    // while running.
    TDirector Director() { return TDirector(*pManager, Cfg.layout, &directorLog); }
    // Hears every director verb called on this session from now on (empty:
    // none).
    void SetDirectorLog(TDirectorLog log) { directorLog = std::move(log); }
    const TCaptureSessionConfig& Config() const { return Cfg; }
    std::string CaptureDir() const;

    // Recording on or off (the record button); false when stopped.
    bool SetRecording(bool on);
    bool Recording() const { return bRecording; }
    // The recording limits were reached: recording stays off for this lesson.
    void PreventCapture();
    bool Prevented() const { return bPrevented; }
    // Marks the recording at this moment with an error digit: the
    // recorder's answer (0 when it took no mark or the session is stopped).
    int MarkError(int digit);
    // Recorded seconds and MiB of av.dat in use; false when the recorder
    // cannot answer.
    bool RecordTotals(int& seconds, int& mbytes) const;
    // Pictures and audio frames written to the lesson's store so far (earlier
    // runs included); false when stopped.
    bool RecordedFrames(int& pictures, int& audioFrames) const;

    // The push address; the sender starts pushing once it has one, an
    // empty one pauses it. -1 when stopped.
    int SetRtmpUrl(const std::string& url);
    bool SenderInfo(TClientSendInfo& info) const;
    // Only changes the push address (the channel window's "use" button):
    // a paused push stays paused. -1 when stopped.
    int SetPushAddress(const std::string& url);
    // Pauses or resumes the push at its address: -1 when stopped.
    int SetPushPaused(bool bPause);

    // Draws the pane's last picture again (after it was uncovered).
    void RedrawPane(TNativeWindow window);
    // The programme's ticks so far and those it missed; false when stopped.
    bool ProgrammeTicks(uint64_t& ticks, uint64_t& missed);
    // The ticks' lateness from tick fromTick on (p99 and the largest, ms).
    bool ProgrammeLateness(uint64_t fromTick, uint32_t& p99, uint32_t& most);

    // The panes moved or changed size: each port follows its pane.
    void Relayout(const TCapturePane& programme, const std::vector<TCapturePane>& panes);

    // Starts discovery on first use (when the config allows it) and sends
    // a probe. 0, the discovery's failure code (see TDiscovery::GetErrorByID)
    // when its socket cannot be opened (once, at its first use), or 1 when
    // discovery is switched off.
    int Discover();
    bool DiscoveryOn() const;

    // Frame counters of channel 0..N for the last period (a new one
    // starts); the manager's result (the device type, -1 no such channel,
    // the programme's own result for 0).
    int Counters(int nChannel, TChannelCounters& c);

    // Connection changes since the last call: a channel counts as connected
    // once its source described itself on the new connection. Cheap; call
    // as often as the caller likes.
    void PollConnections(std::vector<TChannelEvent>& events);
    // The one-second tick of capture mode: the sender's audio delay follows
    // the audio channel's device, the lost-connection countdown runs and
    // reconnects lost channels, connection notices are cleared (also the
    // notice that slides were refused on the sound channel).
    void Tick(std::vector<TChannelEvent>& events);

    // Discovery is off for this process: TAVRIN_NO_DISCOVERY=1.
    static bool DiscoveryDisabledByEnv();

private:
    // Declared in start order, so that plain destruction would also free the
    // later ones first; Stop makes the order explicit.
    TCaptureSessionConfig Cfg;
    std::unique_ptr<TRtmpSend> pSender;
    std::unique_ptr<TSaveAV> pRecorder;
    std::unique_ptr<TCManager> pManager;
    std::unique_ptr<TDiscovery> pDiscovery;
    int nDiscoveryResult = 0; // what opening the discovery socket answered
    bool bRecording = false;
    bool bPrevented = false;
    std::vector<bool> bShownConnected; // by channel number, entry 0 unused
    TDirectorLog directorLog;
};

} // namespace tavrin
