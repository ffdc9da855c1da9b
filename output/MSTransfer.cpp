#include "output/MSTransfer.h"

#include "base/GloTimer.h"
#include "base/MediaFrame.h"
#include "base/Trace.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

namespace tavrin {

namespace {

bool ResolveIPv4(const std::string& host, in_addr& addr) {
    if (IsDottedIPv4(host)) {
        return inet_pton(AF_INET, host.c_str(), &addr) == 1;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        return false;
    }
    addr = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
    return true;
}

} // namespace

bool IsDottedIPv4(const std::string& text) {
    int parts = 0;
    size_t i = 0;
    while (true) {
        size_t digits = 0;
        int value = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 4) {
            value = value * 10 + (text[i] - '0');
            ++digits;
            ++i;
        }
        if (digits == 0 || digits > 3 || value > 255) {
            return false;
        }
        ++parts;
        if (i == text.size()) {
            return parts == 4;
        }
        if (text[i] != '.' || parts == 4) {
            return false;
        }
        ++i;
    }
}

T_MSTransfer::~T_MSTransfer() {
    Destroy();
}

void T_MSTransfer::Destroy() {
    Terminate();
    WaitFor();
    // The thread closes its socket on the way out; this covers a transfer
    // whose thread never ran.
    if (MSSocket >= 0) {
        ::close(MSSocket);
        MSSocket = -1;
    }
}

int T_MSTransfer::initialize(const std::string& sIP, int nPort, int nLiveID, int nLiveType,
                             int nUserID, const std::string& sLiveToken, int AudioDelay) {
    bInitOK = false;
    if (sLiveToken.size() > kMSTokenField) {
        Trace("live token longer than " + std::to_string(kMSTokenField) + " bytes");
        return kTokenTooLong;
    }
    IP = sIP;
    Port = nPort;
    LiveID = nLiveID;
    LiveType = nLiveType;
    UserID = nUserID;
    LiveToken = sLiveToken;
    nAudioDelay = AudioDelay < 0 ? 0 : AudioDelay;
    nCloseState = 0;
    nConState = kMSNotLoggedIn;
    bNeedQuitNOWait = false;
    nErrorCode = 0;
    bInOpen = false;
    bHasOpen = false;
    nConnectCount = 0;
    {
        std::lock_guard<std::mutex> lock(FLock);
        Frame.Clear();
        Frame_DelayAudio.Clear();
    }
    nAcceptTotalFrames = 0;
    nHasSendFrames = 0;
    nThrowFrames = 0;
    CMDBuf.Clear();
    readBuf.assign(kMSReadLimit, 0);
    pendingOut.clear();
    pendingOff = 0;
    bInitOK = true;
    return kInitOK;
}

int T_MSTransfer::AddFrame(std::span<const uint8_t> frame) {
    if (nCloseState.load() > 0) {
        return -1;
    }
    const size_t length = CompleteMediaFrameLength(frame);
    if (length == 0) {
        return -1;
    }
    const uint8_t type = frame[0];
    std::lock_guard<std::mutex> lock(FLock);
    if (Frame.Size() > kQueueLimit) {
        return -1;
    }
    if (Frame.Size() > kKeyClearLimit && type == kFrameH264Key) {
        // The server is too far behind: restart the stream at this key frame.
        const size_t sendQueued = Frame.Size();
        nThrowFrames += uint32_t(sendQueued + Frame_DelayAudio.Size());
        Trace("clear all =" + std::to_string(sendQueued));
        Frame.Clear();
        Frame_DelayAudio.Clear();
    }
    try {
        const std::span<const uint8_t> record = frame.first(length);
        if (type == kFrameAAC) {
            Frame_DelayAudio.PushRecord(record);
            while (Frame_DelayAudio.Size() > size_t(nAudioDelay)) {
                Frame_DelayAudio.MoveFrontTo(Frame);
            }
        } else {
            Frame.PushRecord(record);
        }
    } catch (...) {
        return -1;
    }
    ++nAcceptTotalFrames;
    return 0;
}

bool T_MSTransfer::GetIfCanAddFrame() {
    std::lock_guard<std::mutex> lock(FLock);
    return Frame.Size() < kCanAddLimit;
}

int T_MSTransfer::endLive(bool bSendCompleteFlag) {
    nCloseState = bSendCompleteFlag ? 2 : 1;
    return nCloseState;
}

int T_MSTransfer::GetRemainFrameCount() {
    std::lock_guard<std::mutex> lock(FLock);
    return int(Frame.Size());
}

int T_MSTransfer::GetClientInfo(TClientSendInfo& info) {
    info = TClientSendInfo();
    info.rtmpURL = IP + ":" + std::to_string(Port);
    info.bSetURL = true;
    info.bPause = false;
    info.bConnectOK = nConState.load() == kMSLoggedIn && nErrorCode.load() == 0;
    info.nReconnectCount = uint32_t(nConnectCount.load());
    info.nAcceptTotalFrames = nAcceptTotalFrames;
    info.nHasSendFrames = nHasSendFrames;
    info.nThrowFrames = nThrowFrames;
    info.nRemainFrames = uint32_t(GetRemainFrameCount());
    return 0;
}

void T_MSTransfer::Connect() {
    if (MSSocket >= 0 || bInOpen) {
        return;
    }
    CloseSocket();
    bInOpen = true;
    nAttemptStart = GetGlobeCount();
    ++nConnectCount;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(uint16_t(Port));
    MSSocket = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (MSSocket < 0) {
        bInOpen = false;
        return;
    }
    if (!ResolveIPv4(IP, to.sin_addr)) {
        Trace("media server address not found: " + IP);
        CloseSocket();
        return;
    }
    const int one = 1;
    ::setsockopt(MSSocket, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
    if (::connect(MSSocket, reinterpret_cast<const sockaddr*>(&to), sizeof(to)) == 0) {
        OnConnected();
    } else if (errno != EINPROGRESS) {
        CloseSocket(); // a socket error: swallowed, the disconnect rule records it
    }
}

void T_MSTransfer::OnConnected() {
    bInOpen = false;
    bHasOpen = true;
    std::array<uint8_t, kMSLoginSize> login{};
    MakeLoginMessage(login, LiveID, UserID, LiveToken, LiveType);
    SendMessage(login, {}, true);
    nConState = kMSLoginSent;
}

void T_MSTransfer::CloseSocket() {
    if (MSSocket < 0) {
        return;
    }
    ::close(MSSocket);
    MSSocket = -1;
    pendingOut.clear();
    pendingOff = 0;
    CMDBuf.Clear();
    // The disconnect rule.
    if (nConState.load() != kMSFinished) {
        nErrorCode = kMSConnectionDropped;
    }
    if (nConState.load() == kMSRefused) {
        nErrorCode = kMSAlreadyExists;
    }
    bInOpen = false;
}

void T_MSTransfer::OnParseError(int code) {
    bNeedQuitNOWait = true;
    nErrorCode = code;
    CloseSocket();
}

void T_MSTransfer::OnRead() {
    size_t got = 0;
    bool closed = false;
    while (got < readBuf.size()) {
        const ssize_t n = ::recv(MSSocket, readBuf.data() + got, readBuf.size() - got, 0);
        if (n > 0) {
            got += size_t(n);
            continue;
        }
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            closed = true;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        break;
    }
    if (got > 0) {
        int state = nConState.load();
        const int error = CMDBuf.Receive(std::span<const uint8_t>(readBuf.data(), got), state);
        nConState = state;
        if (error != 0) {
            OnParseError(error);
            return;
        }
    }
    if (closed) {
        CloseSocket();
    }
}

void T_MSTransfer::ServiceSocket(int timeoutMs) {
    if (MSSocket < 0) {
        SleepMs(unsigned(timeoutMs));
        return;
    }
    pollfd p{MSSocket, short(POLLIN | (bInOpen || pendingOff < pendingOut.size() ? POLLOUT : 0)),
             0};
    if (::poll(&p, 1, timeoutMs) <= 0) {
        return;
    }
    if (bInOpen) {
        if ((p.revents & (POLLOUT | POLLERR | POLLHUP)) == 0) {
            return;
        }
        int error = 0;
        socklen_t len = sizeof(error);
        if (::getsockopt(MSSocket, SOL_SOCKET, SO_ERROR, &error, &len) != 0 || error != 0) {
            CloseSocket();
            return;
        }
        OnConnected();
        return;
    }
    if ((p.revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
        OnRead();
    }
    if (MSSocket >= 0 && (p.revents & POLLOUT) != 0) {
        FlushPending();
    }
}

bool T_MSTransfer::FlushPending() {
    while (pendingOff < pendingOut.size()) {
        const ssize_t n = ::send(MSSocket, pendingOut.data() + pendingOff,
                                 pendingOut.size() - pendingOff, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            pendingOff += size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            CloseSocket();
        }
        return false;
    }
    pendingOut.clear();
    pendingOff = 0;
    return true;
}

bool T_MSTransfer::SendMessage(std::span<const uint8_t> a, std::span<const uint8_t> b,
                               bool mustQueue) {
    if (MSSocket < 0) {
        return false;
    }
    const size_t total = a.size() + b.size();
    size_t sent = 0;
    if (FlushPending()) {
        iovec parts[2] = {{const_cast<uint8_t*>(a.data()), a.size()},
                          {const_cast<uint8_t*>(b.data()), b.size()}};
        msghdr msg{};
        msg.msg_iov = parts;
        msg.msg_iovlen = b.empty() ? 1 : 2;
        ssize_t n = -1;
        do {
            n = ::sendmsg(MSSocket, &msg, MSG_NOSIGNAL | MSG_DONTWAIT);
        } while (n < 0 && errno == EINTR);
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            CloseSocket();
            return false;
        }
        sent = n > 0 ? size_t(n) : 0;
    } else if (MSSocket < 0) {
        return false;
    }
    if (sent == 0 && !mustQueue) {
        return false; // nothing went out: the message is not sent
    }
    // Keep the rest; it goes out before any later message.
    if (sent < a.size()) {
        pendingOut.insert(pendingOut.end(), a.begin() + std::ptrdiff_t(sent), a.end());
        pendingOut.insert(pendingOut.end(), b.begin(), b.end());
    } else if (sent < total) {
        pendingOut.insert(pendingOut.end(), b.begin() + std::ptrdiff_t(sent - a.size()), b.end());
    }
    return true;
}

int T_MSTransfer::SendQueuedFrames() {
    std::array<uint8_t, kMSHeaderSize> header{};
    while (MSSocket >= 0 && !Frame.Empty()) {
        const std::vector<uint8_t>& block = Frame[0];
        MakeMediaFrameHeader(header, block.size());
        if (!SendMessage(header, block)) {
            break;
        }
        ++nHasSendFrames;
        Frame.Pop(sentBlock);
    }
    return int(Frame.Size());
}

void T_MSTransfer::Execute() {
    if (!bInitOK) {
        return;
    }
    Connect();
    uint32_t lastKeepAlive = GetGlobeCount();
    while (!Terminated()) {
        ServiceSocket(5);
        const int state = nConState.load();
        if (bNeedQuitNOWait || state == kMSFinished || state == kMSRefused || bInOpen) {
            continue;
        }
        // After an attempt the server gets time to answer the login before
        // frames follow it.
        if (state != kMSLoggedIn && state != kMSEndSent &&
            GlobeElapsed(nAttemptStart) < kConnectWaitMs) {
            continue;
        }
        if (MSSocket < 0) {
            if (LiveType == 1) {
                if (!bHasOpen) {
                    Connect(); // a dropped connection is not reopened
                }
                continue;
            }
            if (LiveType == 4) {
                Connect();
                continue;
            }
        }
        if (GlobeElapsed(lastKeepAlive) > kKeepAliveMs) {
            std::array<uint8_t, kMSHeaderSize> keepAlive{};
            MakeKeepAliveMessage(keepAlive);
            SendMessage(keepAlive);
            lastKeepAlive = GetGlobeCount();
        }
        switch (nCloseState.load()) {
        case 0: {
            std::lock_guard<std::mutex> lock(FLock);
            SendQueuedFrames();
            break;
        }
        case 1: {
            {
                std::lock_guard<std::mutex> lock(FLock);
                SendQueuedFrames();
            }
            nConState = kMSFinished;
            break;
        }
        default:
            if (nConState.load() == kMSLoggedIn) {
                int left = 0;
                {
                    std::lock_guard<std::mutex> lock(FLock);
                    left = SendQueuedFrames();
                }
                if (left == 0) {
                    std::array<uint8_t, kMSEndLiveSize> end{};
                    MakeEndLiveMessage(end);
                    if (SendMessage(end)) {
                        nConState = kMSEndSent;
                    }
                }
            }
            break;
        }
    }
    CloseSocket();
}

} // namespace tavrin
