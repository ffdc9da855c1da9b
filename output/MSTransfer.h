// Sends media frames to the platform's media server as a live stream: logs in
// for a live ID with the user's token, streams the queued frames, keeps the
// connection alive and ends the live, either at once or after everything was
// sent and the server confirmed.
//
// The thread owns its socket and services it itself with poll(): the frames
// are written from this thread, and a socket that one thread writes while
// another owns its events would need a lock around every send.
#pragma once

#include "base/FrameQueue.h"
#include "base/Thread.h"
#include "output/ClientSendInfo.h"
#include "output/MSProtocol.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace tavrin {

// True for a dotted IPv4 address: four decimal parts 0 ... 255.
bool IsDottedIPv4(const std::string& text);

class T_MSTransfer : public TThread {
public:
    enum : int {
        kInitOK = 0,
        kTokenTooLong = -1, // the login message has room for 100 bytes
    };
    static constexpr size_t kCanAddLimit = 200; // GetIfCanAddFrame below this
    static constexpr size_t kKeyClearLimit = 200;
    static constexpr size_t kQueueLimit = 1000;
    static constexpr uint32_t kConnectWaitMs = 2000;
    static constexpr uint32_t kKeepAliveMs = 3000;

    T_MSTransfer() = default;
    ~T_MSTransfer() override;

    // Stores the login data and the audio delay (in audio frames) and clears
    // every state. The thread is started afterwards with Start().
    int initialize(const std::string& sIP, int nPort, int nLiveID, int nLiveType, int nUserID,
                   const std::string& sLiveToken, int AudioDelay);

    // Queues a copy of one frame block (13-byte head + payload). 0, or -1
    // when an end was requested, the queue is over its limit or the block is
    // incomplete.
    int AddFrame(std::span<const uint8_t> frame);
    bool GetIfCanAddFrame();
    // Returns the new close state: 2 with the complete flag, else 1.
    int endLive(bool bSendCompleteFlag);
    bool GetIfCanLeave() const { return nConState.load() == kMSFinished; }
    int GetRemainFrameCount();
    int GetLastError() const { return nErrorCode.load(); }
    int GetConState() const { return nConState.load(); }
    int GetConnectCount() const { return nConnectCount.load(); }
    int GetClientInfo(TClientSendInfo& info);

    // Stops the thread and closes the connection.
    void Destroy();

protected:
    void Execute() override;

private:
    void Connect();
    void ServiceSocket(int timeoutMs);
    void OnConnected();
    void OnRead();
    void OnParseError(int code);
    void CloseSocket(); // applies the disconnect rule when a socket was open
    bool FlushPending();
    // Sends a message completely or not at all; the rest of a partial send
    // is kept and goes out before anything else. With mustQueue a message
    // the socket cannot take yet is kept whole instead of dropped.
    bool SendMessage(std::span<const uint8_t> a, std::span<const uint8_t> b = {},
                     bool mustQueue = false);
    int SendQueuedFrames(); // under FLock; frames left

    std::string IP;
    int Port = 0;
    int LiveType = 1;
    int LiveID = 0;
    int UserID = 0;
    std::string LiveToken;
    int nAudioDelay = 0;
    bool bInitOK = false;

    std::atomic<int> nCloseState{0};
    std::atomic<int> nConState{kMSNotLoggedIn};
    std::atomic<bool> bNeedQuitNOWait{false};
    std::atomic<int> nErrorCode{0};
    std::atomic<bool> bInOpen{false};
    std::atomic<bool> bHasOpen{false};
    std::atomic<int> nConnectCount{0};

    std::mutex FLock;
    TFrameQueue Frame;
    TFrameQueue Frame_DelayAudio;
    std::vector<uint8_t> sentBlock; // the frame just sent; its buffer goes back
    std::atomic<uint32_t> nAcceptTotalFrames{0};
    std::atomic<uint32_t> nHasSendFrames{0};
    std::atomic<uint32_t> nThrowFrames{0};

    // Used by the transfer thread only.
    int MSSocket = -1;
    uint32_t nAttemptStart = 0;
    TMSReceiveBuffer CMDBuf;
    std::vector<uint8_t> readBuf;    // one read event, allocated once
    std::vector<uint8_t> pendingOut; // rest of a partly sent message
    size_t pendingOff = 0;
};

} // namespace tavrin
