#include "sources/ui/ChannelAccess.h"

#include "output/RtmpSend.h"
#include "sources/CManager.h"
#include "sources/CaptureSession.h"

#include <memory>

namespace tavrin {

int TManagerAccess::ConnectThis(const std::string& sIP, int nChannel, int nType) {
    return Manager ? Manager->ConnectThis(sIP, nChannel, nType) : -1;
}

bool TManagerAccess::GetConInfo(int nChannel, TClientInfo& PC) {
    return Manager && Manager->GetConInfo(nChannel, PC);
}

bool TManagerAccess::GetCycle(int nChannel) {
    return Manager && Manager->GetCycle(nChannel);
}

bool TManagerAccess::SetCycle(int nChannel, bool bCycle) {
    return Manager && Manager->SetCycle(nChannel, bCycle);
}

bool TManagerAccess::GetCurrentPos(int nChannel, int& CurrentSec, int& TotalSec) {
    if (!Manager) {
        CurrentSec = TotalSec = 0;
        return false;
    }
    return Manager->GetCurrentPos(nChannel, CurrentSec, TotalSec);
}

bool TManagerAccess::SetCurrentPos(int nChannel, int nSec) {
    return Manager && Manager->SetCurrentPos(nChannel, nSec);
}

bool TManagerAccess::setPause(int nChannel) {
    return Manager && Manager->setPause(nChannel);
}

bool TManagerAccess::GetSendInfo(TClientSendInfo& info) {
    if (!Sender) {
        return false;
    }
    Sender->GetClientInfo(info);
    return true;
}

void TManagerAccess::refreshURL(const std::string& url) {
    if (Sender) {
        Sender->refreshURL(url);
    }
}

void TManagerAccess::SetSendPause(bool bPause) {
    if (Sender) {
        Sender->SetPause(bPause);
    }
}

namespace {

// Forwards every call to the manager and sender of the moment.
class TLiveAccess final : public IChannelAccess {
public:
    TLiveAccess(std::function<TCManager*()> manager, std::function<TRtmpSend*()> sender)
        : Manager(std::move(manager)), Sender(std::move(sender)) {}

    TCManager* CurrentManager() const { return Manager ? Manager() : nullptr; }

    int ConnectThis(const std::string& sIP, int nChannel, int nType) override {
        return Now().ConnectThis(sIP, nChannel, nType);
    }
    bool GetConInfo(int nChannel, TClientInfo& PC) override {
        return Now().GetConInfo(nChannel, PC);
    }
    bool GetCycle(int nChannel) override { return Now().GetCycle(nChannel); }
    bool SetCycle(int nChannel, bool bCycle) override { return Now().SetCycle(nChannel, bCycle); }
    bool GetCurrentPos(int nChannel, int& CurrentSec, int& TotalSec) override {
        return Now().GetCurrentPos(nChannel, CurrentSec, TotalSec);
    }
    bool SetCurrentPos(int nChannel, int nSec) override {
        return Now().SetCurrentPos(nChannel, nSec);
    }
    bool setPause(int nChannel) override { return Now().setPause(nChannel); }
    bool GetSendInfo(TClientSendInfo& info) override { return Now().GetSendInfo(info); }
    void refreshURL(const std::string& url) override { Now().refreshURL(url); }
    void SetSendPause(bool bPause) override { Now().SetSendPause(bPause); }

private:
    TManagerAccess Now() const {
        return TManagerAccess(CurrentManager(), Sender ? Sender() : nullptr);
    }

    std::function<TCManager*()> Manager;
    std::function<TRtmpSend*()> Sender;
};

// Forwards every call to the running session's director and sender.
class TSessionAccess final : public IChannelAccess {
public:
    explicit TSessionAccess(std::function<TCaptureSession*()> session)
        : Session(std::move(session)) {}

    TCaptureSession* Running() const {
        TCaptureSession* s = Session ? Session() : nullptr;
        return s != nullptr && s->Running() ? s : nullptr;
    }

    int ConnectThis(const std::string& sIP, int nChannel, int nType) override {
        TCaptureSession* s = Running();
        return s != nullptr ? s->Director().Connect(sIP, nChannel, nType) : -1;
    }
    bool GetConInfo(int nChannel, TClientInfo& PC) override {
        TCaptureSession* s = Running();
        return s != nullptr && s->Director().Info(nChannel, PC);
    }
    bool GetCycle(int nChannel) override {
        TCaptureSession* s = Running();
        return s != nullptr && s->Director().Looping(nChannel);
    }
    bool SetCycle(int nChannel, bool bCycle) override {
        TCaptureSession* s = Running();
        return s != nullptr && s->Director().Loop(nChannel, bCycle) > 0;
    }
    bool GetCurrentPos(int nChannel, int& CurrentSec, int& TotalSec) override {
        CurrentSec = TotalSec = 0;
        TCaptureSession* s = Running();
        return s != nullptr && s->Director().Mp4Position(nChannel, CurrentSec, TotalSec);
    }
    bool SetCurrentPos(int nChannel, int nSec) override {
        TCaptureSession* s = Running();
        return s != nullptr && s->Director().Seek(nChannel, nSec) > 0;
    }
    bool setPause(int nChannel) override {
        TCaptureSession* s = Running();
        return s != nullptr && s->Director().Pause(nChannel) > 0;
    }
    bool GetSendInfo(TClientSendInfo& info) override {
        TCaptureSession* s = Running();
        return s != nullptr && s->SenderInfo(info);
    }
    void refreshURL(const std::string& url) override {
        if (TCaptureSession* s = Running()) {
            s->SetPushAddress(url);
        }
    }
    void SetSendPause(bool bPause) override {
        if (TCaptureSession* s = Running()) {
            s->SetPushPaused(bPause);
        }
    }

private:
    std::function<TCaptureSession*()> Session;
};

} // namespace

TChannelAccessor MakeSessionAccessor(std::function<TCaptureSession*()> session) {
    auto access = std::make_shared<TSessionAccess>(std::move(session));
    return [access]() -> IChannelAccess* {
        return access->Running() != nullptr ? access.get() : nullptr;
    };
}

TChannelAccessor MakeChannelAccessor(std::function<TCManager*()> manager,
                                     std::function<TRtmpSend*()> sender) {
    auto access = std::make_shared<TLiveAccess>(std::move(manager), std::move(sender));
    return [access]() -> IChannelAccess* {
        return access->CurrentManager() != nullptr ? access.get() : nullptr;
    };
}

} // namespace tavrin
