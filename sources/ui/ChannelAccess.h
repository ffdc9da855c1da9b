// What the channel dialogs ask of capture mode, and nothing more: connect a
// source, read a slot, steer an MP4 channel, set and pause the live push.
// The dialogs fetch it anew for every action, so none of them keeps a core
// object alive between calls; outside capture mode there is none.
#pragma once

#include "output/ClientSendInfo.h"
#include "sources/ClientInfo.h"

#include <functional>
#include <string>

namespace tavrin {

class TCaptureSession;
class TCManager;
class TRtmpSend;

class IChannelAccess {
public:
    virtual ~IChannelAccess() = default;

    virtual int ConnectThis(const std::string& sIP, int nChannel, int nType) = 0;
    virtual bool GetConInfo(int nChannel, TClientInfo& PC) = 0;

    virtual bool GetCycle(int nChannel) = 0;
    virtual bool SetCycle(int nChannel, bool bCycle) = 0;
    virtual bool GetCurrentPos(int nChannel, int& CurrentSec, int& TotalSec) = 0;
    virtual bool SetCurrentPos(int nChannel, int nSec) = 0;
    virtual bool setPause(int nChannel) = 0;

    // The live sender's status; false when there is no sender.
    virtual bool GetSendInfo(TClientSendInfo& info) = 0;
    virtual void refreshURL(const std::string& url) = 0;
    virtual void SetSendPause(bool bPause) = 0;
};

// Gives the access of the moment, or null outside capture mode.
using TChannelAccessor = std::function<IChannelAccess*()>;

// The access over a channel manager and a live sender (either may be null).
class TManagerAccess final : public IChannelAccess {
public:
    TManagerAccess(TCManager* manager, TRtmpSend* sender) : Manager(manager), Sender(sender) {}

    int ConnectThis(const std::string& sIP, int nChannel, int nType) override;
    bool GetConInfo(int nChannel, TClientInfo& PC) override;
    bool GetCycle(int nChannel) override;
    bool SetCycle(int nChannel, bool bCycle) override;
    bool GetCurrentPos(int nChannel, int& CurrentSec, int& TotalSec) override;
    bool SetCurrentPos(int nChannel, int nSec) override;
    bool setPause(int nChannel) override;
    bool GetSendInfo(TClientSendInfo& info) override;
    void refreshURL(const std::string& url) override;
    void SetSendPause(bool bPause) override;

private:
    TCManager* Manager;
    TRtmpSend* Sender;
};

// An accessor for a window that outlives capture mode: both getters are
// asked on every use, and without a manager there is no access. The sender
// getter may give null (no live push).
TChannelAccessor MakeChannelAccessor(std::function<TCManager*()> manager,
                                     std::function<TRtmpSend*()> sender);

// The console's accessor: every verb goes through the running capture
// session of the moment (its director and its push address), so the
// session always knows the address it pushes to. Without a running session
// there is no access.
TChannelAccessor MakeSessionAccessor(std::function<TCaptureSession*()> session);

} // namespace tavrin
