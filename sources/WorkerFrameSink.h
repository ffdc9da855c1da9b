// Where a network slot's parser delivers: media frames go into the slot's
// channel worker, a lost source marks the slot's picture in the programme.
#pragma once

#include "compose/CombineOut.h"
#include "sources/ClientInfo.h"
#include "sources/ClientThread.h"
#include "sources/NetFrameSink.h"

#include <atomic>
#include <string>

namespace tavrin {

class TWorkerFrameSink : public TNetFrameSink {
public:
    TWorkerFrameSink(TClientThread* worker, TCombineOut* programme, const TClientInfo* info)
        : worker_(worker), programme_(programme), info_(info) {}

    void PushFrame(const uint8_t* pFrame, size_t /*nSize*/) override {
        if (worker_ != nullptr) {
            worker_->PushFrame(pFrame);
        }
    }
    void SetThisPortInError(int nDispPort) override {
        ++nPortErrors;
        nLastErrorPort = nDispPort;
        nLastProgrammeSlot = programme_ != nullptr ? programme_->SetThisPortInError(nDispPort) : 0;
    }
    std::string WorkerIdText() const override {
        return info_ != nullptr ? std::to_string(info_->nChannel) : std::string();
    }

    // How often the slot's picture was marked lost, and the last port marked.
    int PortErrors() const { return nPortErrors; }
    int LastErrorPort() const { return nLastErrorPort; }
    // The programme's answer to the last mark: the picture's place in the
    // programme (1-based), or 0 when it was not on the programme.
    int LastProgrammeSlot() const { return nLastProgrammeSlot; }

private:
    TClientThread* worker_;
    TCombineOut* programme_;
    const TClientInfo* info_;
    std::atomic<int> nPortErrors{0};
    std::atomic<int> nLastErrorPort{-1};
    std::atomic<int> nLastProgrammeSlot{0};
};

} // namespace tavrin
