#include "sources/ui/ChannelAccess.h"

#include "output/RtmpSend.h"
#include "sources/CManager.h"

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

} // namespace tavrin
