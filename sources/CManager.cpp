#include "sources/CManager.h"

#include "base/Trace.h"
#include "compose/CombineOut.h"
#include "decode/DispManager.h"
#include "decode/WavePlayer.h"
#include "sources/CombineOutLink.h"
#include "sources/DeviceLinks.h"
#include "sources/NetMessage.h"
#include "sources/WorkerFrameSink.h"

#include <algorithm>
#include <cstdio>
#include <exception>

namespace tavrin {

namespace {

// Channel previews are decoded at this size whatever the programme is.
constexpr int kPreviewWidth = 1280;
constexpr int kPreviewHeight = 720;
// Rectangle of a preview port that the caller did not place.
constexpr SDL_Rect kDefaultPortRect{0, 0, 320, 180};

// Index into the per-channel history, or -1 outside 1..10.
int HistoryIndex(int nChannel) {
    return nChannel >= 1 && nChannel <= TActionForESC::kMaxEntries ? nChannel - 1 : -1;
}

bool IsPhone(uint8_t nType) {
    return nType == kDevicePhone || nType == kDevicePhoneAlt;
}

} // namespace

TClient::TClient() = default;
TClient::~TClient() = default;

TCManager::TCManager() = default;

TCManager::~TCManager() {
    Destroy();
}

void TCManager::SetOutputs(TRtmpSend* sender, TSaveAV* recorder) {
    Sender = sender;
    Recorder = recorder;
}

std::string TCManager::MakePixLabel(int nWidth, int nHeight, int64_t nBitrate) {
    std::string label;
    switch (nWidth) {
    case 1280:
        label = "720P";
        break;
    case 1920:
        label = "1080P";
        break;
    case 3840:
        label = "4K";
        break;
    default:
        label = std::to_string(nWidth) + "x" + std::to_string(nHeight);
    }
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.1f", double(nBitrate) / 1024.0 / 1024.0);
    return label + ", " + rate + "Mbps";
}

uint64_t TCManager::PreviewsScaled() const {
    uint64_t total = 0;
    for (const auto& c : Client) {
        if (c->ClientThread) {
            total += c->ClientThread->PreviewsScaled();
        }
    }
    return total;
}

int TCManager::initialize(TNativeWindow xHandle, int nYUVWidth, int nYUVHeight, int64_t nBitrate,
                          const SDL_Rect& xr, int nChannel, const std::vector<int>& portsTagArr,
                          const std::vector<TNativeWindow>& portsHandleArr,
                          const std::vector<SDL_Rect>& portsRectArr, const TLessionInfo* l) {
    Destroy();
    try {
        YUVBikImageFileName.clear();
        rLastActionForESC = TActionForESC();

        DispManager = std::make_unique<TDispManager>();
        DispManager->initialize();
        WavePlayer = std::make_unique<TWavePlayer>();
        WavePlayer->Create(25);
        // Without a sound device monitoring stays silent; capture goes on.
        if (!WavePlayer->OpenWaveDev(2, 16, 48000, 1024)) {
            Trace("channel manager: no monitor sound device");
        }

        nMainChannel = nChannel;
        sPixA = MakePixLabel(nYUVWidth, nYUVHeight, nBitrate);

        CombineOut = std::make_unique<TCombineOut>();
        CombineOut->SetOutputs(Sender, Recorder);
        nMainDispPort = CombineOut->initialize(bPreviewShown ? DispManager.get() : nullptr, xHandle,
                                               nYUVWidth, nYUVHeight, nBitrate, xr, l);
        if (nMainDispPort == TCombineOut::kNoPipeline || (bPreviewShown && nMainDispPort < 0)) {
            Trace("channel manager: no programme pipeline");
            return -1;
        }
        CombineOut->Start();

        ProgrammeLink = std::make_unique<TCombineOutLink>(CombineOut.get());
        PreviewLink = std::make_unique<TDispManagerLink>(DispManager.get());
        MonitorLink =
            std::make_unique<TWavePlayerLink>(WavePlayer->IsOpen() ? WavePlayer.get() : nullptr);

        const size_t count = std::min<size_t>(portsTagArr.size(), TActionForESC::kMaxEntries);
        bAutoAdjust.assign(count + 1, true);
        for (size_t k = 0; k < count; ++k) {
            auto slot = std::make_unique<TClient>();
            TClient& c = *slot;
            Client.push_back(std::move(slot));
            c.info = TClientInfo();
            c.info.nChannel = portsTagArr[k];
            c.info.nCharge = -1;
            const TNativeWindow handle = k < portsHandleArr.size() ? portsHandleArr[k] : 0;
            const SDL_Rect rect = k < portsRectArr.size() ? portsRectArr[k] : kDefaultPortRect;
            c.info.nDispPort =
                DispManager->createNewPort(handle, kPreviewWidth, kPreviewHeight, rect);

            c.ClientThread = std::make_unique<TClientThread>();
            if (c.ClientThread->initialize(c.info.nChannel, c.info.nDispPort, nYUVWidth,
                                           nYUVHeight) != 0) {
                Trace("channel manager: no decoder for channel " + std::to_string(c.info.nChannel));
                return -1;
            }
            c.ClientThread->SetLinks(ProgrammeLink.get(),
                                     bPreviewShown ? PreviewLink.get() : nullptr,
                                     WavePlayer->IsOpen() ? MonitorLink.get() : nullptr);
            c.ClientThread->Start();

            c.Sink =
                std::make_unique<TWorkerFrameSink>(c.ClientThread.get(), CombineOut.get(), &c.info);
            c.CMDParse = std::make_unique<TPhoneConnection>();
            c.CMDParse->initialize(c.Sink.get(), &c.info);
        }
        return 0;
    } catch (const std::exception& e) {
        Trace(std::string("channel manager: initialize failed: ") + e.what());
        return -1;
    }
}

void TCManager::Destroy() {
    for (auto& slot : Client) {
        TClient& c = *slot;
        c.CMDParse.reset(); // closes the socket quietly
        StopRunner(c);
        if (c.ClientThread) {
            c.ClientThread->Destroy();
        }
        c.Sink.reset();
        c.ClientThread.reset();
    }
    Client.clear();
    bAutoAdjust.clear();
    if (CombineOut) {
        CombineOut->Terminate();
        CombineOut->WaitFor();
        CombineOut.reset();
    }
    ProgrammeLink.reset();
    PreviewLink.reset();
    MonitorLink.reset();
    WavePlayer.reset();
    DispManager.reset();
    nMainDispPort = -1;
}

TClient* TCManager::Find(int nChannel) {
    for (auto& c : Client) {
        if (c->info.nChannel == nChannel) {
            return c.get();
        }
    }
    return nullptr;
}

const TClient* TCManager::Find(int nChannel) const {
    return const_cast<TCManager*>(this)->Find(nChannel);
}

int TCManager::IndexOf(const TClient* c) const {
    for (size_t i = 0; i < Client.size(); ++i) {
        if (Client[i].get() == c) {
            return int(i);
        }
    }
    return -1;
}

TClient* TCManager::FindPhone(int nChannel) {
    TClient* c = Find(nChannel);
    return c != nullptr && IsPhone(c->info.DeviceType) ? c : nullptr;
}

void TCManager::StopRunner(TClient& c) {
    if (c.AVMaker) {
        c.AVMaker->SetDisconnect();
        c.AVMaker->Terminate();
        c.AVMaker->WaitFor();
        c.AVMaker.reset();
    }
}

void TCManager::StartRunner(TClient& c) {
    c.ClientThread->SetLiveSource(false);
    c.AVMaker = std::make_unique<TAVMaker>();
    c.AVMaker->initialize(c.ClientThread.get(), &c.info, ProgrammeLink.get());
    if (c.AVMaker->SourceResult() != 0) {
        Trace("channel " + std::to_string(c.info.nChannel) + ": source " + c.info.IP +
              " not opened: " + std::to_string(c.AVMaker->SourceResult()));
    }
    c.AVMaker->Start();
}

void TCManager::OpenNetwork(TClient& c, const std::string& sIP) {
    c.info.bDontReconnect = true;
    c.CMDParse->Close();
    StopRunner(c);
    c.info.bConnectOK = false;
    c.info.bInOpen = true;
    c.info.DeviceType = kDeviceNone;
    c.info.IP = sIP;
    c.info.bDontReconnect = false;
    c.ClientThread->SetLiveSource(true);
    c.CMDParse->ConnectTo(sIP, kNetSourcePort);
    Trace(sIP);
}

int TCManager::ConnectThis(const std::string& sIP, int nChannel, int nType) {
    TClient* target = Find(nChannel);
    if (target == nullptr) {
        return -1;
    }
    std::string address = sIP;
    std::string second;
    if (nType == kDeviceImage || nType == kDeviceCamera) {
        const size_t bar = sIP.find('|');
        if (bar != std::string::npos) {
            if (bar + 1 == sIP.size()) {
                return -1;
            }
            address = sIP.substr(0, bar);
            second = sIP.substr(bar + 1);
        }
    }
    if (address.empty()) {
        return -1; // nothing to connect to; idle slots must not be "released"
    }
    if (target->info.bInOpen) {
        return IndexOf(target); // the running attempt decides
    }

    // One source feeds one channel: take it away from any other slot.
    for (auto& slot : Client) {
        TClient& c = *slot;
        if (c.info.IP != address || c.info.bInOpen) {
            continue;
        }
        c.info.bDontReconnect = true;
        c.info.IP.clear();
        c.info.ID.clear();
        c.info.DeviceType = kDeviceNone;
        StopRunner(c);
        c.CMDParse->Close();
        c.info.bConnectOK = false;
        c.info.bInOpen = false;
    }

    TClient& c = *target;
    c.info.bConnectOK = false;
    if (IsLocalDevice(nType)) {
        c.info.bDontReconnect = true;
        c.CMDParse->Close();
        StopRunner(c);
        c.info.DeviceType = uint8_t(nType);
        c.info.IP = address;
        c.info.Mp3Name = nType == kDeviceImage ? second : std::string();
        c.info.AudioDeviceName = nType == kDeviceCamera ? second : std::string();
        StartRunner(c);
    } else {
        c.info.bDontReconnect = false;
        c.CMDParse->Close();
        StopRunner(c);
        c.info.DeviceType = uint8_t(nType);
        c.info.IP = address;
        c.info.bInOpen = true;
        c.ClientThread->SetLiveSource(true);
        c.CMDParse->ConnectTo(address, kNetSourcePort);
    }
    return -1;
}

int TCManager::FindThisClient(const std::string& sIP, int /*nType*/, const std::string& sID) {
    if (sIP.empty()) {
        return -1;
    }
    for (auto& slot : Client) {
        TClient& c = *slot;
        if ((!sID.empty() && c.info.ID == sID) || c.info.IP == sIP) {
            if (!c.info.bConnectOK && !c.info.bInOpen) {
                OpenNetwork(c, sIP);
            }
            return IndexOf(&c);
        }
    }
    for (auto& slot : Client) {
        TClient& c = *slot;
        if (!c.info.bConnectOK && !c.info.bInOpen && !IsLocalDevice(c.info.DeviceType)) {
            OpenNetwork(c, sIP);
            return IndexOf(&c);
        }
    }
    return -1;
}

bool TCManager::reConnectThis(int nChannel) {
    TClient* c = Find(nChannel);
    if (c == nullptr || c->info.IP.empty()) {
        return false; // released or cleared: nothing to go back to
    }
    std::string address = c->info.IP;
    if (c->info.DeviceType == kDeviceImage && !c->info.Mp3Name.empty()) {
        address += "|" + c->info.Mp3Name;
    } else if (c->info.DeviceType == kDeviceCamera && !c->info.AudioDeviceName.empty()) {
        address += "|" + c->info.AudioDeviceName;
    }
    ConnectThis(address, nChannel, c->info.DeviceType);
    return c->info.bInOpen || c->AVMaker != nullptr;
}

bool TCManager::SetDontReconnect(int nChannel) {
    TClient* c = Find(nChannel);
    if (c == nullptr) {
        return false;
    }
    c->info.bDontReconnect = true;
    return true;
}

bool TCManager::ClearThisChannel(int nChannel) {
    TClient* c = Find(nChannel);
    if (c == nullptr) {
        return false;
    }
    StopRunner(*c);
    c->info.bDontReconnect = true;
    c->info.bConnectOK = false;
    c->info.bInOpen = false;
    c->info.ID.clear();
    c->info.IP.clear();
    c->info.Mp3Name.clear();
    c->info.AudioDeviceName.clear();
    c->info.DeviceType = kDeviceNone;
    c->CMDParse->Close();
    return true;
}

bool TCManager::ChangeCH(int nFirstChannel, int nSecondChannel) {
    const int count = ChannelCount();
    if (nFirstChannel < 1 || nFirstChannel > count || nSecondChannel < 1 ||
        nSecondChannel > count || nFirstChannel == nSecondChannel) {
        return false;
    }
    TClient* a = Find(nFirstChannel);
    TClient* b = Find(nSecondChannel);
    if (a == nullptr || b == nullptr) {
        return false;
    }
    std::swap(a->info.nDispPort, b->info.nDispPort);
    a->info.nChannel = nSecondChannel;
    b->info.nChannel = nFirstChannel;
    a->ClientThread->SetDispPortAndCH(a->info.nChannel, a->info.nDispPort);
    b->ClientThread->SetDispPortAndCH(b->info.nChannel, b->info.nDispPort);
    if (a->ClientThread->GetIsAudioMainPort()) {
        SetMainPortForAudio(a->info.nChannel);
    } else if (b->ClientThread->GetIsAudioMainPort()) {
        SetMainPortForAudio(b->info.nChannel);
    }
    return true;
}

bool TCManager::GetConInfo(int nChannel, TClientInfo& PC) const {
    const TClient* c = Find(nChannel);
    if (c == nullptr) {
        return false;
    }
    PC = c->info;
    return true;
}

bool TCManager::TickLostNotice(int nChannel) {
    TClient* c = Find(nChannel);
    if (c == nullptr || c->info.nErrorCode != kConnectLost || c->info.bDontReconnect) {
        return false;
    }
    if (c->info.nErrorDispTimes > 0) {
        --c->info.nErrorDispTimes;
    }
    if (c->info.nErrorDispTimes == 0) {
        c->info.nErrorCode = 0;
    }
    return c->info.nErrorDispTimes % 6 == 0;
}

bool TCManager::ClearNotice(int nChannel) {
    TClient* c = Find(nChannel);
    if (c == nullptr ||
        (c->info.nErrorCode != kConnectMade && c->info.nErrorCode != kSlidesOnSoundChannel)) {
        return false;
    }
    c->info.nErrorCode = 0;
    c->info.nErrorDispTimes = 0;
    return true;
}

int TCManager::GetAVCounterThisperiod(int nChannel, uint32_t& VCount, uint32_t& ACount, int& nType,
                                      bool& VideoOK, bool& AudioOK) {
    VCount = ACount = 0;
    VideoOK = AudioOK = false;
    nType = 0;
    if (nChannel == 0) {
        return CombineOut ? CombineOut->GetAVCounterThisperiod(VCount, ACount, VideoOK, AudioOK)
                          : -1;
    }
    TClient* c = Find(nChannel);
    if (c == nullptr) {
        return -1;
    }
    if (IsLocalDevice(c->info.DeviceType) && c->AVMaker) {
        int v = 0;
        int a = 0;
        c->AVMaker->GetAVCounterThisperiod(v, a);
        VCount = uint32_t(std::max(v, 0));
        ACount = uint32_t(std::max(a, 0));
    } else {
        c->CMDParse->Parser().GetAVCounterThisperiod(VCount, ACount);
    }
    nType = c->info.DeviceType;
    VideoOK = VCount != 0;
    AudioOK = !(c->info.AudioType != 0 && ACount == 0);
    return nType;
}

std::string TCManager::GetPIX(int nChannel) const {
    if (nChannel == 0) {
        return sPixA;
    }
    const TClient* c = Find(nChannel);
    return c != nullptr ? c->ClientThread->GetPIX() : std::string();
}

int TCManager::SetCombinePorts(const int32_t* portsArr, int nPortCounts, bool bFullScreen) {
    if (!CombineOut) {
        return -1;
    }
    const int accepted = CombineOut->SetCombinePorts(portsArr, nPortCounts);
    CombineOut->SetOneCHFullScreen(bFullScreen);
    TActionForESC& h = rLastActionForESC;
    if (accepted > 0 && !h.bActionLock) {
        const int n = std::min(nPortCounts, TActionForESC::kMaxEntries);
        h.nActionType = kActionCombine;
        h.nPreCombineCount = h.nLastCombineCount;
        std::copy(std::begin(h.aLastCombine), std::end(h.aLastCombine), h.aPreCombine);
        h.nLastCombineCount = n;
        std::fill(std::begin(h.aLastCombine), std::end(h.aLastCombine), 0);
        std::copy(portsArr, portsArr + n, h.aLastCombine);
    }
    return accepted;
}

int TCManager::GetCombinePorts(std::vector<int32_t>& portsArr) {
    if (!CombineOut) {
        portsArr.clear();
        return 0;
    }
    return CombineOut->GetCombinePorts(portsArr);
}

bool TCManager::StartCapture(bool bc) {
    return CombineOut ? CombineOut->SetCaptureState(bc) : false;
}

int TCManager::SetMainPortForAudio(int nChannel) {
    if (Find(nChannel) == nullptr) {
        return -1;
    }
    for (auto& c : Client) {
        c->ClientThread->SetIsAudioMainPort(c->info.nChannel == nChannel);
    }
    if (CombineOut) {
        CombineOut->SetMainPortForAudio(nChannel);
    }
    return nChannel;
}

int TCManager::MainAudioChannel() const {
    for (const auto& c : Client) {
        if (c->ClientThread->GetIsAudioMainPort()) {
            return c->info.nChannel;
        }
    }
    return 0;
}

int TCManager::GetMainPortForAudio_DeviceType() const {
    for (const auto& c : Client) {
        if (c->ClientThread->GetIsAudioMainPort()) {
            return c->info.DeviceType;
        }
    }
    return -1;
}

int TCManager::PlayAudio(int nChannel, bool bPlay) {
    TClient* target = nChannel == 0 ? Find(MainAudioChannel()) : Find(nChannel);
    if (target == nullptr) {
        return -1;
    }
    if (bPlay) {
        for (auto& c : Client) {
            if (c.get() == target) {
                c->ClientThread->EnablePlayAudio();
            } else {
                c->ClientThread->DisablePlayAudio();
            }
        }
    } else {
        target->ClientThread->DisablePlayAudio();
    }
    return IndexOf(target);
}

bool TCManager::IsPlayingAudio(int nChannel) const {
    const TClient* c = Find(nChannel);
    return c != nullptr && c->ClientThread->IsPlayingAudio();
}

int TCManager::LoadYUVBikImage(const std::string& sFile) {
    YUVBikImageFileName = sFile;
    return CombineOut ? CombineOut->LoadYUVBikImage(sFile) : -1;
}

int TCManager::ResizeMain(const SDL_Rect& xr) {
    return DispManager && nMainDispPort >= 0 ? DispManager->ResizeTo(nMainDispPort, xr) : -1;
}

int TCManager::ResizeClient(int nChannel, const SDL_Rect& xr) {
    const TClient* c = Find(nChannel);
    return c != nullptr && DispManager ? DispManager->ResizeTo(c->info.nDispPort, xr) : -1;
}

bool TCManager::SetInCut(int nChannel, bool bEnable) {
    TClient* c = Find(nChannel);
    if (c == nullptr) {
        return false;
    }
    c->ClientThread->SetInCut(bEnable);
    TActionForESC& h = rLastActionForESC;
    const int i = HistoryIndex(nChannel);
    if (!h.bActionLock && i >= 0) {
        h.nActionType = kActionCut;
        h.nLastCH = nChannel;
        h.bInCut = bEnable;
        h.rPreCHInfo[i].bChanged = true;
        h.rLastCHInfo[i].bChanged = true;
        if (!bEnable) {
            h.rPreCHInfo[i] = h.rLastCHInfo[i];
            h.rLastCHInfo[i].bInCut = false;
        }
    }
    return true;
}

bool TCManager::GetIfInCut(int nChannel) const {
    const TClient* c = Find(nChannel);
    return c != nullptr && c->ClientThread->GetIfInCut();
}

void TCManager::RecordCut(int nChannel, int xStart, int yStart, int xEnd, int yEnd) {
    TActionForESC& h = rLastActionForESC;
    const int i = HistoryIndex(nChannel);
    if (h.bActionLock || i < 0) {
        return;
    }
    h.nActionType = kActionCut;
    h.nLastCH = nChannel;
    h.rPreCHInfo[i] = h.rLastCHInfo[i];
    h.rPreCHInfo[i].bChanged = true;
    h.rLastCHInfo[i] = CutHistoryEntry{true, true, xStart, yStart, xEnd, yEnd};
}

bool TCManager::SetClipArea(int nChannel, int xStart, int yStart, int xEnd, int yEnd,
                            int& xMiddleFocusPos, int& yMiddleFocusPos, bool bTestDraw) {
    TClient* c = Find(nChannel);
    if (c == nullptr || !c->ClientThread->SetClipArea(xStart, yStart, xEnd, yEnd, xMiddleFocusPos,
                                                      yMiddleFocusPos, bTestDraw)) {
        return false;
    }
    const int i = HistoryIndex(nChannel);
    if (bTestDraw) {
        if (i >= 0) {
            CutHistoryEntry& t = rLastActionForESC.rTestDrawCHInfo[i];
            t.xStart = xStart;
            t.yStart = yStart;
            t.xEnd = xEnd;
            t.yEnd = yEnd;
        }
    } else {
        RecordCut(nChannel, xStart, yStart, xEnd, yEnd);
    }
    return true;
}

bool TCManager::ConvertTestRectToReal(int nChannel) {
    TClient* c = Find(nChannel);
    int x = 0;
    int y = 0;
    if (c == nullptr || !c->ClientThread->ConvertTestRectToReal(x, y)) {
        return false;
    }
    SetAdjustFocus(nChannel, x, y, true);
    const int i = HistoryIndex(nChannel);
    if (i >= 0) {
        const CutHistoryEntry t = rLastActionForESC.rTestDrawCHInfo[i];
        RecordCut(nChannel, t.xStart, t.yStart, t.xEnd, t.yEnd);
    }
    SetInCut(nChannel, true);
    return true;
}

bool TCManager::MoveCutArea(int nChannel, int incream_H, int incream_V) {
    TClient* c = Find(nChannel);
    if (c == nullptr) {
        return false;
    }
    c->ClientThread->MoveCutArea(incream_H, incream_V);
    return true;
}

void TCManager::StopMove() {
    for (auto& c : Client) {
        c->ClientThread->StopMove();
    }
}

void TCManager::ESCToPreCombine() {
    TActionForESC& h = rLastActionForESC;
    if (h.nActionType == kActionCombine) {
        // The first combination has nothing before it to go back to.
        if (h.nPreCombineCount > 0) {
            int32_t pre[TActionForESC::kMaxEntries];
            std::copy(std::begin(h.aPreCombine), std::end(h.aPreCombine), pre);
            SetCombinePorts(pre, h.nPreCombineCount, false);
        }
        h.nPreCombineCount = 0;
        h.nActionType = kActionNone;
    } else if (h.nActionType == kActionCut) {
        h.bActionLock = true;
        const int ch = h.nLastCH;
        const int i = HistoryIndex(ch);
        if (i >= 0) {
            const CutHistoryEntry pre = h.rPreCHInfo[i];
            if (pre.bInCut) {
                if (pre.bChanged) {
                    int x = 0;
                    int y = 0;
                    SetClipArea(ch, pre.xStart, pre.yStart, pre.xEnd, pre.yEnd, x, y, false);
                }
                h.rLastCHInfo[i] = pre;
                SetInCut(ch, true);
            } else {
                SetInCut(ch, false);
            }
            h.rPreCHInfo[i].bChanged = false;
            h.rLastCHInfo[i].bChanged = true;
        }
        h.nActionType = kActionNone;
        h.bActionLock = false;
    }
}

int TCManager::SetAdjustFocus(int nChannel, int xPos, int yPos, bool bByAuto) {
    TClient* c = FindPhone(nChannel);
    if (c == nullptr || !c->info.bConnectOK) {
        return -1;
    }
    if (bByAuto && !GetCanAutoAdjust(nChannel)) {
        return -1;
    }
    const auto clampTo = [](int v, int hi) { return uint16_t(std::clamp(v, 0, hi)); };
    return c->CMDParse->Send(
        MakeFocusAtPoint(clampTo(xPos, kPreviewWidth - 1), clampTo(yPos, kPreviewHeight - 1)));
}

int TCManager::SetCanAutoAdjust(int nChannel, bool bCan) {
    if (nChannel < 1 || nChannel > ChannelCount()) {
        return -1;
    }
    bAutoAdjust[size_t(nChannel)] = bCan;
    return nChannel;
}

bool TCManager::GetCanAutoAdjust(int nChannel) const {
    return nChannel >= 1 && nChannel <= ChannelCount() && bAutoAdjust[size_t(nChannel)];
}

int TCManager::SetFocusValue(int nChannel, int nCurrentFoucsValue) {
    TClient* c = FindPhone(nChannel);
    if (c == nullptr || !c->info.bConnectOK) {
        return -1;
    }
    const int value = std::clamp(nCurrentFoucsValue, 0, 0xFFFF);
    if (value == c->info.nFocusValue) {
        return 0; // the camera is there already
    }
    return c->CMDParse->Send(MakeSetFocusValue(uint16_t(value)));
}

int TCManager::IncreamFocusValue(int nChannel, bool bIncream) {
    TClient* c = FindPhone(nChannel);
    if (c == nullptr) {
        return -1;
    }
    const int maxValue = std::max(c->info.MaxFoucsScale, 0);
    const int step = maxValue / 20;
    const int value = std::clamp(c->info.nFocusValue + (bIncream ? step : -step), 0, maxValue);
    SetFocusValue(nChannel, value);
    return value;
}

int TCManager::GetFocusValue(int nChannel, int& nMaxFoucsScale, int& nCurrentFoucsValue) const {
    const TClient* c = const_cast<TCManager*>(this)->FindPhone(nChannel);
    if (c == nullptr) {
        return -1;
    }
    nMaxFoucsScale = c->info.MaxFoucsScale;
    nCurrentFoucsValue = c->info.nFocusValue;
    return IndexOf(c);
}

bool TCManager::GetIfHasWideAngle(int nChannel) const {
    const TClient* c = Find(nChannel);
    return c != nullptr && c->info.WideAngle != 0;
}

int TCManager::ConvertWideAngle(int nChannel) {
    TClient* c = FindPhone(nChannel);
    if (c == nullptr || !c->info.bConnectOK || c->info.WideAngle == 0) {
        return -1;
    }
    return c->CMDParse->Send(MakeSwitchWideAngle());
}

namespace {

TAVMaker* Mp4Runner(TClient* c) {
    return c != nullptr && c->info.DeviceType == kDeviceMp4 ? c->AVMaker.get() : nullptr;
}

} // namespace

bool TCManager::GetCycle(int nChannel) const {
    const TAVMaker* m = Mp4Runner(const_cast<TCManager*>(this)->Find(nChannel));
    return m != nullptr && m->GetCycle();
}

bool TCManager::SetCycle(int nChannel, bool bCycle) {
    TAVMaker* m = Mp4Runner(Find(nChannel));
    return m != nullptr && m->SetCycle(bCycle);
}

bool TCManager::GetCurrentPos(int nChannel, int& CurrentSec, int& TotalSec) {
    TAVMaker* m = Mp4Runner(Find(nChannel));
    if (m == nullptr) {
        CurrentSec = TotalSec = 0;
        return false;
    }
    m->GetCurrentPos(CurrentSec, TotalSec);
    return true;
}

bool TCManager::SetCurrentPos(int nChannel, int nSec) {
    TAVMaker* m = Mp4Runner(Find(nChannel));
    if (m == nullptr) {
        return false;
    }
    m->SetCurrentPos(nSec);
    return true;
}

bool TCManager::setPause(int nChannel) {
    TAVMaker* m = Mp4Runner(Find(nChannel));
    return m != nullptr && m->setPause();
}

const TClientThread* TCManager::Worker(int nChannel) const {
    const TClient* c = Find(nChannel);
    return c != nullptr ? c->ClientThread.get() : nullptr;
}

const TWorkerFrameSink* TCManager::FrameSink(int nChannel) const {
    const TClient* c = Find(nChannel);
    return c != nullptr ? c->Sink.get() : nullptr;
}

bool TCManager::HasRunner(int nChannel) const {
    const TClient* c = Find(nChannel);
    return c != nullptr && c->AVMaker != nullptr;
}

int TCManager::SourceResult(int nChannel) const {
    const TClient* c = Find(nChannel);
    return c != nullptr && c->AVMaker ? c->AVMaker->SourceResult() : 0;
}

bool TCManager::GetProgrammeTicks(uint64_t& ticks, uint64_t& missed) {
    if (!CombineOut) {
        return false;
    }
    TCombineOut::TTickStats t;
    CombineOut->GetTickStats(t);
    ticks = t.ticks;
    missed = t.missed;
    return true;
}

bool TCManager::GetProgrammeLateness(uint64_t nFromTick, uint32_t& p99, uint32_t& most) {
    if (!CombineOut) {
        return false;
    }
    TCombineOut::TTickStats t;
    CombineOut->GetTickStats(t);
    return LatenessFrom(t.lateness, t.ticks, nFromTick, p99, most);
}

bool TCManager::LatenessFrom(const std::vector<uint16_t>& lateness, uint64_t ticks,
                             uint64_t nFromTick, uint32_t& p99, uint32_t& most) {
    const uint64_t firstKept = ticks - lateness.size();
    const size_t skip = size_t(
        std::min<uint64_t>(lateness.size(), nFromTick > firstKept ? nFromTick - firstKept : 0));
    std::vector<uint16_t> late(lateness.begin() + std::ptrdiff_t(skip), lateness.end());
    if (late.empty()) {
        return false;
    }
    std::sort(late.begin(), late.end());
    p99 = late[std::min(late.size() - 1, late.size() * 99 / 100)];
    most = late.back();
    return true;
}

} // namespace tavrin
