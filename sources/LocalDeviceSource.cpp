#include "sources/LocalDeviceSource.h"

#include "base/GloTimer.h"
#include "base/Trace.h"

namespace tavrin {

bool SplitDeviceConnection(const std::string& text, std::string& sCamera,
                           std::string& sMicrophone) {
    if (!text.empty() && text.back() == '|') {
        return false;
    }
    const size_t bar = text.find('|');
    sCamera = text.substr(0, bar);
    sMicrophone = bar == std::string::npos ? "" : text.substr(bar + 1);
    return true;
}

TLocalDeviceSource::TLocalDeviceSource(TNativeDevice& d) : devices(d) {}

TLocalDeviceSource::~TLocalDeviceSource() {
    Destroy();
}

int TLocalDeviceSource::initialize(const std::string& sCamera, const std::string& sMicrophone,
                                   ICaptureSink* TC, TForward fwd) {
    ClientThread = TC;
    forward = std::move(fwd);
    bHasCamera = devices.GetVideoInfoByName(sCamera, pV) >= 0 && !pV.aPixInfo.empty();
    bHasMicrophone = devices.GetAudioInfoByName(sMicrophone, pA) >= 0;
    nVTime = nATime = GetGlobeCount();
    int started = 0;
    if (bHasMicrophone) {
        RestartAudioClient();
        nAudioRestarts = 0;
        ++started;
    }
    if (bHasCamera) {
        RestartVideoClient();
        nVideoRestarts = 0;
        ++started;
    }
    return started;
}

void TLocalDeviceSource::RestartVideoClient() {
    if (!bHasCamera) {
        return;
    }
    if (VideoClient) {
        Trace("clear V");
        VideoClient->Destroy();
        VideoClient.reset();
    }
    const size_t pix =
        pV.nPixIndex >= 0 && size_t(pV.nPixIndex) < pV.aPixInfo.size() ? size_t(pV.nPixIndex) : 0;
    const TPixInfo& size = pV.aPixInfo[pix];
    VideoClient = std::make_unique<TVideoClient>();
    // An open failure leaves the thread idle; the next restart tries again.
    VideoClient->initialize(TVideoClient::kTypeChannel, 0, pV, size.width, size.height,
                            size.frameCount, kWantedFrameCount, 0, 0, 0, 0, ClientThread);
    VideoClient->Start();
    nVTime = GetGlobeCount();
    ++nVideoRestarts;
}

void TLocalDeviceSource::RestartAudioClient() {
    if (!bHasMicrophone) {
        return;
    }
    if (AudioClient) {
        Trace("clear A");
        AudioClient->Destroy();
        AudioClient.reset();
    }
    AudioClient = std::make_unique<TAudioClient>();
    AudioClient->initialize(TAudioClient::kTypeChannel, pA, ClientThread);
    AudioClient->Start();
    nATime = GetGlobeCount();
    ++nAudioRestarts;
}

bool TLocalDeviceSource::TakeVideo() {
    TZeroMediaFrameHead head{};
    if (!VideoClient || VideoClient->GetPackage(head) != 0) {
        return false;
    }
    uint8_t record[kMediaFrameHeadSize];
    WriteMediaFrameHead(head, record);
    if (forward) {
        forward(record);
    }
    VideoClient->DeleteHead();
    nVTime = GetGlobeCount();
    ++nVideoForwarded;
    return true;
}

bool TLocalDeviceSource::TakeAudio() {
    TZeroMediaFrameHead head{};
    if (!AudioClient || AudioClient->GetPackage(head) != 0) {
        return false;
    }
    uint8_t record[kMediaFrameHeadSize];
    WriteMediaFrameHead(head, record);
    if (forward) {
        forward(record);
    }
    AudioClient->DeleteHead();
    nATime = GetGlobeCount();
    ++nAudioForwarded;
    return true;
}

void TLocalDeviceSource::Step() {
    const uint32_t now = GetGlobeCount();
    if (bHasCamera && now - nVTime > kRestartAfterMs) {
        RestartVideoClient();
    }
    if (bHasMicrophone && now - nATime > kRestartAfterMs) {
        RestartAudioClient();
    }
    TakeAudio();
    TakeAudio();
    TakeVideo();
}

void TLocalDeviceSource::Destroy() {
    if (VideoClient) {
        Trace("clear V");
        VideoClient->Destroy();
        VideoClient.reset();
    }
    if (AudioClient) {
        Trace("clear A");
        AudioClient->Destroy();
        AudioClient.reset();
    }
}

} // namespace tavrin
