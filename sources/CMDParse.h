// The per-slot parser of a streaming app's TCP byte stream. Received bytes
// are appended to one fixed buffer; every complete message is acted on: the
// device's description and reports go into the slot's record, media frames
// go to the slot's worker once a key frame has arrived.
#pragma once

#include "sources/ClientInfo.h"
#include "sources/NetFrameSink.h"

#include <chrono>
#include <cstdint>
#include <vector>

namespace tavrin {

class TCMDParse {
public:
    // Bytes the receive buffer holds; a stream that needs more is closed.
    static constexpr int32_t kBufferSize = 2000001;

    TCMDParse();
    TCMDParse(const TCMDParse&) = delete;
    TCMDParse& operator=(const TCMDParse&) = delete;

    // Binds to the slot's worker side and record (neither owned); waits for
    // a key frame; the counting period starts now.
    void initialize(TNetFrameSink* TC, TClientInfo* CI);

    // Appends received bytes and parses every complete message. 0, or -1
    // (overflow, protocol error) / -2 (unknown device) when the caller must
    // close the connection.
    int AddData(const uint8_t* PData, int nSize);

    void SetConnect();
    void SetDisconnect();

    // Media frames per second since the previous call, which starts a new
    // period. Returns VCount + ACount.
    uint32_t GetAVCounterThisperiod(uint32_t& VCount, uint32_t& ACount);

    int32_t BufferedBytes() const { return iH264BufLength; }
    bool WaitsForKeyFrame() const { return bNeedIFrame; }
    std::chrono::system_clock::time_point LastTimeHit() const { return lastTimeHit; }

private:
    int Parse();
    // Acts on one complete message; 0 or a close code.
    int HandleMessage(const uint8_t* pMsg, uint32_t nLength);
    void StoreReply(const uint8_t* pMsg, uint32_t nLength);
    int HandleMediaFrame(const uint8_t* pMsg, uint32_t nLength);
    void EmptyBuffer();

    std::chrono::system_clock::time_point lastTimeHit{};
    uint32_t nTimeCounterBegin = 0;
    uint32_t nVideoCounter = 0;
    uint32_t nAudioCounter = 0;
    int32_t iH264BufLength = 0;
    std::vector<uint8_t> h264Buf; // allocated once, kBufferSize bytes
    bool bNeedIFrame = true;
    TClientInfo* PCInfo = nullptr;
    TNetFrameSink* ClientThread = nullptr;
};

} // namespace tavrin
