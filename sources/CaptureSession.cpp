#include "sources/CaptureSession.h"

#include "base/Trace.h"
#include "compose/ScreenLayout.h"
#include "decode/DispManager.h"
#include "output/RtmpSend.h"
#include "output/SaveAV.h"
#include "sources/CManager.h"
#include "sources/Discovery.h"

#include <cstdlib>
#include <cstring>

namespace tavrin {

namespace {

// The sound of a phone arrives later than its pictures: the live push holds
// it back by this many AAC frames.
constexpr int kPhoneAudioDelay = 12;

bool IsPhone(int nType) {
    return nType == kDevicePhone || nType == kDevicePhoneAlt;
}

} // namespace

TCaptureSession::TCaptureSession() = default;

TCaptureSession::~TCaptureSession() {
    Stop();
}

bool TCaptureSession::DiscoveryDisabledByEnv() {
    const char* off = std::getenv("TAVRIN_NO_DISCOVERY");
    return off != nullptr && std::strcmp(off, "1") == 0;
}

int TCaptureSession::Start(const TCaptureSessionConfig& cfg) {
    if (Running()) {
        return kRunning;
    }
    Cfg = cfg;
    bRecording = false;
    bPrevented = false;
    nDiscoveryResult = 0;

    pSender = std::make_unique<TRtmpSend>();
    pSender->initialize(Cfg.nYUVWidth, Cfg.nYUVHeight, Cfg.nAudioDelay);
    if (!Cfg.rtmpURL.empty()) {
        pSender->refreshURL(Cfg.rtmpURL);
        pSender->SetPause(false);
    }
    pSender->Start();

    pRecorder = std::make_unique<TSaveAV>();
    pRecorder->Create(Cfg.paths);
    if (Cfg.prepareProgress) {
        pRecorder->SetPrepareProgress(Cfg.prepareProgress);
    }
    if (const int r = pRecorder->NewLession(Cfg.lesson.LessionID, Cfg.nYUVWidth, Cfg.nYUVHeight);
        r != TSaveAV::kNewOK) {
        Stop();
        return r;
    }

    pManager = std::make_unique<TCManager>();
    pManager->SetOutputs(pSender.get(), pRecorder.get());
    pManager->SetPreviewShown(Cfg.bPreviewShown);
    std::vector<int> tags;
    std::vector<TNativeWindow> handles;
    std::vector<SDL_Rect> rects;
    for (int ch = 1; ch <= Cfg.nChannels; ++ch) {
        const TCapturePane pane =
            size_t(ch) <= Cfg.panes.size() ? Cfg.panes[size_t(ch - 1)] : TCapturePane();
        tags.push_back(ch);
        handles.push_back(pane.hWnd);
        rects.push_back(pane.rect);
    }
    if (pManager->initialize(Cfg.programme.hWnd, Cfg.nYUVWidth, Cfg.nYUVHeight, Cfg.nBitrate,
                             Cfg.programme.rect, 0, tags, handles, rects, &Cfg.lesson) != 0) {
        Stop();
        return kNoProgramme;
    }
    for (int ch = 1; ch <= Cfg.nChannels; ++ch) {
        const bool can = size_t(ch) >= Cfg.autoAdjust.size() || Cfg.autoAdjust[size_t(ch)];
        pManager->SetCanAutoAdjust(ch, can);
    }
    pManager->SetMainPortForAudio(Cfg.nAudioChannel);
    bShownConnected.assign(size_t(Cfg.nChannels) + 1, false);

    if (Cfg.layout != nullptr) {
        Cfg.layout->SetOutput(pManager->Programme());
        Cfg.layout->relaodProject(true);
    }
    if (Cfg.bDiscovery && DiscoveryDisabledByEnv()) {
        Trace("capture: discovery is off (TAVRIN_NO_DISCOVERY=1)");
    }
    return kStartOK;
}

void TCaptureSession::Stop() {
    if (pRecorder) {
        pRecorder->SetCaptureState(false);
    }
    bRecording = false;
    // Discovery hands its answers to the manager: it goes first.
    pDiscovery.reset();
    if (Cfg.layout != nullptr) {
        Cfg.layout->SetOutput(nullptr);
    }
    // The workers and the programme pipeline write into the recorder and
    // the sender until the manager has stopped them.
    pManager.reset();
    if (pRecorder) {
        pRecorder->EndLession();
        pRecorder.reset();
    }
    if (pSender) {
        pSender->Destroy();
        pSender.reset();
    }
}

std::string TCaptureSession::CaptureDir() const {
    std::string dir;
    Cfg.paths.Get_CaptureDir(Cfg.lesson.LessionID, dir);
    return dir;
}

bool TCaptureSession::SetRecording(bool on) {
    if (!pManager) {
        return false;
    }
    bRecording = on && !bPrevented;
    pManager->StartCapture(bRecording);
    return bRecording;
}

void TCaptureSession::PreventCapture() {
    if (!pRecorder) {
        return;
    }
    bPrevented = true;
    SetRecording(false);
    pRecorder->PreventCapture();
}

int TCaptureSession::MarkError(int digit) {
    return pRecorder && pManager ? pRecorder->SetThisPortInError(0, digit) : 0;
}

bool TCaptureSession::RecordTotals(int& seconds, int& mbytes) const {
    seconds = 0;
    mbytes = 0;
    return pRecorder && pRecorder->Get_TotalCaptureSeconds(seconds, mbytes);
}

bool TCaptureSession::RecordedFrames(int& pictures, int& audioFrames) const {
    pictures = 0;
    audioFrames = 0;
    if (!pRecorder) {
        return false;
    }
    pRecorder->GetRecordedFrames(pictures, audioFrames);
    return true;
}

int TCaptureSession::SetRtmpUrl(const std::string& url) {
    if (!pSender) {
        return -1;
    }
    Cfg.rtmpURL = url;
    if (url.empty()) {
        return pSender->SetPause(true);
    }
    pSender->refreshURL(url);
    return pSender->SetPause(false);
}

int TCaptureSession::SetPushAddress(const std::string& url) {
    if (!pSender) {
        return -1;
    }
    Cfg.rtmpURL = url;
    return pSender->refreshURL(url);
}

int TCaptureSession::SetPushPaused(bool bPause) {
    return pSender ? pSender->SetPause(bPause) : -1;
}

void TCaptureSession::RedrawPane(TNativeWindow window) {
    if (pManager && pManager->Displays() != nullptr) {
        pManager->Displays()->RedrawWindow(window);
    }
}

bool TCaptureSession::ProgrammeTicks(uint64_t& ticks, uint64_t& missed) {
    return pManager && pManager->GetProgrammeTicks(ticks, missed);
}

bool TCaptureSession::ProgrammeLateness(uint64_t fromTick, uint32_t& p99, uint32_t& most) {
    return pManager && pManager->GetProgrammeLateness(fromTick, p99, most);
}

bool TCaptureSession::SenderInfo(TClientSendInfo& info) const {
    return pSender && pSender->GetClientInfo(info) == 0;
}

void TCaptureSession::Relayout(const TCapturePane& programme,
                               const std::vector<TCapturePane>& panes) {
    if (!pManager) {
        return;
    }
    Cfg.programme.rect = programme.rect;
    pManager->ResizeMain(programme.rect);
    for (size_t k = 0; k < panes.size() && int(k) < Cfg.nChannels; ++k) {
        if (k < Cfg.panes.size()) {
            Cfg.panes[k].rect = panes[k].rect;
        }
        pManager->ResizeClient(int(k) + 1, panes[k].rect);
    }
}

bool TCaptureSession::DiscoveryOn() const {
    return pDiscovery != nullptr && pDiscovery->GetIfHasCapility();
}

int TCaptureSession::Discover() {
    if (!pManager || !Cfg.bDiscovery || DiscoveryDisabledByEnv()) {
        return 1;
    }
    if (!pDiscovery) {
        pDiscovery = std::make_unique<TDiscovery>();
        TCManager* manager = pManager.get();
        pDiscovery->SetFindThisClient(
            [manager](const std::string& ip, uint8_t type, const std::string& id) {
                return manager->FindThisClient(ip, type, id);
            });
        nDiscoveryResult = pDiscovery->initialize();
        // Without its socket the thread has nothing to hand over, but a
        // later probe finds it in place.
        pDiscovery->Start();
        if (nDiscoveryResult != 0) {
            Trace("capture: discovery is not available: " +
                  TDiscovery::GetErrorByID(nDiscoveryResult));
            return nDiscoveryResult;
        }
    }
    if (!pDiscovery->GetIfHasCapility()) {
        return nDiscoveryResult;
    }
    return pDiscovery->DoDiscovery();
}

int TCaptureSession::Counters(int nChannel, TChannelCounters& c) {
    c = TChannelCounters();
    if (!pManager) {
        return -1;
    }
    return pManager->GetAVCounterThisperiod(nChannel, c.nVideo, c.nAudio, c.nType, c.bVideoOK,
                                            c.bAudioOK);
}

void TCaptureSession::PollConnections(std::vector<TChannelEvent>& events) {
    if (!pManager) {
        return;
    }
    for (int ch = 1; ch <= Cfg.nChannels; ++ch) {
        TClientInfo info;
        if (!pManager->GetConInfo(ch, info)) {
            continue;
        }
        const bool connected = ShowsConnected(info);
        std::vector<bool>::reference was = bShownConnected[size_t(ch)];
        if (connected && !was) {
            events.push_back({TChannelEvent::kConnected, ch, true, info});
        } else if (!info.bConnectOK && was) {
            events.push_back({TChannelEvent::kLost, ch, false, info});
        }
        was = connected || (was && info.bConnectOK);
    }
}

void TCaptureSession::Tick(std::vector<TChannelEvent>& events) {
    if (!pManager) {
        return;
    }
    pSender->SetAudioDelay(IsPhone(pManager->GetMainPortForAudio_DeviceType()) ? kPhoneAudioDelay
                                                                               : 0);
    for (int ch = 1; ch <= Cfg.nChannels; ++ch) {
        TClientInfo info;
        if (!pManager->GetConInfo(ch, info)) {
            continue;
        }
        if (info.nErrorCode == kConnectLost && !info.bDontReconnect) {
            events.push_back({TChannelEvent::kBlink, ch, info.nErrorDispTimes % 2 == 1, info});
        }
        if (pManager->TickLostNotice(ch) && pManager->reConnectThis(ch)) {
            events.push_back({TChannelEvent::kReconnecting, ch, false, info});
        }
        // A connection counts as back once the source described itself.
        if (info.nErrorCode == kConnectMade && ShowsConnected(info) && pManager->ClearNotice(ch)) {
            events.push_back({TChannelEvent::kBack, ch, false, info});
        }
        if (info.nErrorCode == kSlidesOnSoundChannel && pManager->ClearNotice(ch)) {
            events.push_back({TChannelEvent::kSlidesOnSound, ch, false, info});
        }
    }
}

} // namespace tavrin
