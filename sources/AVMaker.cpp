#include "sources/AVMaker.h"

#include "base/GloTimer.h"
#include "base/Trace.h"

namespace tavrin {

int TAVMaker::initialize(TClientThread* TC, TClientInfo* CI, IProgrammeLink* programme) {
    if (CI == nullptr || !IsLocalDevice(CI->DeviceType)) {
        return -1;
    }
    ClientThread = TC;
    PCInfo = CI;
    programme_ = programme;
    DeviceType = CI->DeviceType;
    bNeedIFrame = false;
    bNeedClear = false;
    nTimeCounterBegin = GetGlobeCount();
    nVideoCounter = nAudioCounter = 0;
    if (DeviceType == kDeviceMp4) {
        Native_Mp4 = std::make_unique<TNative_Mp4>();
        nSourceResult = Native_Mp4->initialize(CI->IP);
        if (nSourceResult != 0) {
            Trace("open mp4 failed: " + CI->IP + " ret= " + std::to_string(nSourceResult));
            Native_Mp4.reset(); // the channel shows nothing
        } else {
            Native_Mp4->Start();
        }
    } else if (DeviceType == kDeviceCamera) {
        // The camera and microphone are named by their listed names; a
        // missing one starts nothing for its kind.
        CaptureSink = std::make_unique<TClientThreadSink>(TC);
        LocalDevice = std::make_unique<TLocalDeviceSource>();
        const int started = LocalDevice->initialize(CI->IP, CI->AudioDeviceName, CaptureSink.get(),
                                                    [this](const uint8_t* p) { Forward(p); });
        nSourceResult = started > 0 ? 0 : -1;
    } else if (DeviceType == kDeviceImage) {
        Native_Image = std::make_unique<TNative_Image>();
        nSourceResult = Native_Image->initialize(CI->IP, CI->Mp3Name);
        Native_Image->Start();
    }
    return 0;
}

void TAVMaker::Execute() {
    while (!Terminated()) {
        SleepMs(5);
        RunTurn();
    }
}

void TAVMaker::RunTurn() {
    if (LocalDevice) {
        // Restarts a silent camera or microphone, then audio, audio, video.
        LocalDevice->Step();
        return;
    }
    const std::vector<uint8_t>* head = nullptr;
    if (Native_Mp4) {
        Native_Mp4->GetPackage(head);
    } else if (Native_Image) {
        Native_Image->GetPackage(head);
    }
    if (head == nullptr) {
        return;
    }
    Forward(head->data());
    if (Native_Mp4) {
        Native_Mp4->DeleteHead();
    } else {
        Native_Image->DeleteHead();
    }
}

void TAVMaker::Forward(const uint8_t* pData) {
    const uint8_t nType = pData[0];
    if (bNeedIFrame) {
        if (nType != kFrameH264Key) {
            return;
        }
        bNeedIFrame = false;
    }
    if (ClientThread == nullptr) {
        return;
    }
    ClientThread->PushFrame(pData);
    // Type 9 and above is video (H.264 units and the camera's markers).
    if (nType >= kFrameH264) {
        ++nVideoCounter;
        nVTime = std::time(nullptr);
    } else {
        ++nAudioCounter;
        nATime = std::time(nullptr);
    }
}

void TAVMaker::SetDisconnect() {
    bNeedClear = true;
    bNeedIFrame = true;
    if (PCInfo != nullptr) {
        PCInfo->bConnectOK = false;
        PCInfo->bInOpen = false;
        PCInfo->nErrorCode = kConnectLost;
        PCInfo->nErrorDispTimes = kLostNoticeTicks;
        if (programme_ != nullptr) {
            programme_->SetThisPortInError(PCInfo->nChannel);
        }
    }
}

int TAVMaker::GetAVCounterThisperiod(int& VCount, int& ACount) {
    const uint32_t now = GetGlobeCount();
    uint32_t elapsed = now - nTimeCounterBegin;
    if (elapsed == 0) {
        elapsed = 1;
    }
    VCount = int(uint64_t(nVideoCounter.exchange(0)) * 1000 / elapsed);
    ACount = int(uint64_t(nAudioCounter.exchange(0)) * 1000 / elapsed);
    nTimeCounterBegin = now;
    return VCount + ACount;
}

bool TAVMaker::GetCycle() const {
    return Native_Mp4 ? Native_Mp4->GetCycle() : false;
}

bool TAVMaker::SetCycle(bool bCycle) {
    return Native_Mp4 ? Native_Mp4->SetCycle(bCycle) : false;
}

void TAVMaker::GetCurrentPos(int& CurrentSec, int& TotalSec) {
    CurrentSec = TotalSec = 0;
    if (Native_Mp4) {
        Native_Mp4->GetCurrentPos(CurrentSec, TotalSec);
    }
}

void TAVMaker::SetCurrentPos(int nSec) {
    if (Native_Mp4) {
        Native_Mp4->SetCurrentPos(nSec);
    }
}

bool TAVMaker::setPause() {
    return Native_Mp4 ? Native_Mp4->SetPause() : false;
}

void TAVMaker::Destroy() {
    Terminate();
    WaitFor();
    if (LocalDevice) {
        LocalDevice->Destroy(); // "clear V", "clear A"
        LocalDevice.reset();
    }
    if (Native_Mp4) {
        Trace("clear Native_Mp4");
        Native_Mp4->Terminate();
        Native_Mp4->WaitFor();
        Native_Mp4.reset();
    }
    if (Native_Image) {
        Trace("clear Native_Image");
        Native_Image->Terminate();
        Native_Image->WaitFor();
        Native_Image.reset();
    }
}

} // namespace tavrin
