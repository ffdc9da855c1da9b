// The source runner of a local slot: owns the slot's file (or image)
// producer, takes its finished media frames one per turn and hands them to
// the slot's channel worker, exactly as the network parser does for
// network sources.
#pragma once

#include "base/Thread.h"
#include "sources/ClientInfo.h"
#include "sources/ClientThread.h"
#include "sources/ClientThreadSink.h"
#include "sources/LocalDeviceSource.h"
#include "sources/Native_Image.h"
#include "sources/Native_Mp4.h"
#include "sources/SourceLinks.h"

#include <atomic>
#include <cstdint>
#include <ctime>
#include <memory>

namespace tavrin {

class TAVMaker : public TThread {
public:
    TAVMaker() = default;
    ~TAVMaker() override { Destroy(); }

    // Sets up the producer for CI.DeviceType and starts it. -1 when the type
    // is not local, else 0; the producer's own result (a file that cannot
    // be opened) is in SourceResult. programme, when given, hears of a
    // disconnect.
    int initialize(TClientThread* TC, TClientInfo* CI, IProgrammeLink* programme = nullptr);
    int SourceResult() const { return nSourceResult; }

    void SetDisconnect();
    // Frames per second forwarded since the previous call; starts a new period.
    int GetAVCounterThisperiod(int& VCount, int& ACount);

    bool GetCycle() const;
    bool SetCycle(bool bCycle);
    void GetCurrentPos(int& CurrentSec, int& TotalSec);
    void SetCurrentPos(int nSec);
    bool setPause();

    void Destroy();

    // One turn of the loop: forwards at most one record. Public for tests.
    void RunTurn();
    TNative_Mp4* Mp4() { return Native_Mp4.get(); }
    TNative_Image* Image() { return Native_Image.get(); }
    TLocalDeviceSource* LocalDevices() { return LocalDevice.get(); }

protected:
    void Execute() override;

private:
    // Gate, forward and count one record taken from a producer.
    void Forward(const uint8_t* pData);

    int32_t DeviceType = 0;
    uint32_t nTimeCounterBegin = 0;
    std::atomic<uint32_t> nVideoCounter{0};
    std::atomic<uint32_t> nAudioCounter{0};
    std::atomic<bool> bNeedIFrame{false};
    TClientInfo* PCInfo = nullptr;
    TClientThread* ClientThread = nullptr;
    std::atomic<bool> bNeedClear{false};
    std::unique_ptr<TNative_Mp4> Native_Mp4;
    std::unique_ptr<TNative_Image> Native_Image;
    std::unique_ptr<TClientThreadSink> CaptureSink;
    std::unique_ptr<TLocalDeviceSource> LocalDevice; // camera and microphone threads
    std::time_t nVTime = 0;
    std::time_t nATime = 0;
    IProgrammeLink* programme_ = nullptr;
    int nSourceResult = 0;
};

} // namespace tavrin
