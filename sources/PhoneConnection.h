// The TCP client side of one network channel slot: a QTcpSocket whose
// connect, read, disconnect and error events (on the thread that owns it,
// the GUI thread) drive the slot's protocol parser. On connect it sends the
// audio/video request; camera commands go out on the same socket.
#pragma once

#include "sources/CMDParse.h"
#include "sources/NetMessage.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QTcpSocket;

namespace tavrin {

class TPhoneConnection {
public:
    // Bytes taken from the socket per step of a read event.
    static constexpr int kReadChunk = 600000;

    TPhoneConnection();
    ~TPhoneConnection();
    TPhoneConnection(const TPhoneConnection&) = delete;
    TPhoneConnection& operator=(const TPhoneConnection&) = delete;

    // Binds the parser to the slot's sink and record and installs the
    // socket's event handlers.
    void initialize(TNetFrameSink* pSink, TClientInfo* pInfo);

    // Opens a connection to ip:nPort (any earlier one is closed quietly).
    // The outcome arrives as events: SetConnect or SetDisconnect.
    void ConnectTo(const std::string& sIP, uint16_t nPort = kNetSourcePort);

    // Closes without reporting a lost source: the owner is releasing or
    // re-targeting the slot and sets its record itself.
    void Close();

    // Sends a command; the bytes written, or -1 when not connected.
    int Send(const uint8_t* pData, size_t nSize);
    template <size_t N> int Send(const std::array<uint8_t, N>& m) { return Send(m.data(), N); }

    bool Connected() const;
    TCMDParse& Parser() { return CMDParse; }

private:
    void OnConnect();
    void OnRead();
    // Disconnect and error events both end here; a lost source is reported
    // once per connection attempt.
    void OnLost();

    TCMDParse CMDParse;
    TNetFrameSink* pSink = nullptr;
    std::vector<uint8_t> readBuf; // kReadChunk bytes, allocated once
    bool bLostReported = true;
    // Last, so it goes first: its handlers use the members above.
    std::unique_ptr<QTcpSocket> FSocket;
};

} // namespace tavrin
