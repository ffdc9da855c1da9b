// Finds the streaming apps on the local network: one multicast probe, and
// every answer is queued and handed, one at a time on the GUI thread, to the
// channel manager's FindThisClient. The socket belongs to the thread that
// called initialize (the GUI thread); the queue is served by this thread.
#pragma once

#include "base/Thread.h"
#include "sources/DiscoveryAnswer.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

class QUdpSocket;

namespace tavrin {

class TDiscovery : public TThread {
public:
    static constexpr uint16_t kProbePort = 37020;
    static constexpr uint16_t kFirstLocalPort = 22685;
    static constexpr uint16_t kLocalPortStep = 256;
    static constexpr int kLocalPortAttempts = 15;
    static constexpr int kLargestAnswer = 4096;

    // Called on the GUI thread for each answer: sIP, device type, identity.
    using FindThisClientFn = std::function<int(const std::string&, uint8_t, const std::string&)>;

    TDiscovery();
    ~TDiscovery() override;

    void SetFindThisClient(FindThisClientFn fn) { FindThisClient = std::move(fn); }

    // Opens the multicast socket: 0, or -1 no socket, -2 no local port
    // could be bound, -3 the group could not be joined.
    int initialize();
    bool GetIfHasCapility() const { return bHasIni; }
    // -1 when not ready, else sends the probe and 0.
    int DoDiscovery();
    // Sends the probe to the group at nUDPPORT; -1 when not ready.
    int FindDEV(uint16_t nUDPPORT);
    // Reads the datagrams waiting on the socket (its read event).
    void ReadData();
    static std::string GetErrorByID(int ErrorID);
    void Destroy();

    // The local port the socket was bound to (0 when none).
    uint16_t LocalPort() const { return nLocalPort; }
    // Answers queued and not yet handed over.
    size_t Pending() const;

protected:
    void Execute() override;

private:
    int OpenMulticast();

    bool bHasIni = false;
    std::deque<TDiscoveryInfo> xCmd;
    mutable std::mutex FLock;
    std::unique_ptr<QUdpSocket> socket_PPT;
    uint16_t nLocalPort = 0;
    FindThisClientFn FindThisClient;
};

} // namespace tavrin
