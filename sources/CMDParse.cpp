#include "sources/CMDParse.h"

#include "base/GloTimer.h"
#include "base/MediaFrame.h"
#include "base/Text.h"
#include "base/Trace.h"
#include "sources/NetMessage.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <span>

namespace tavrin {

namespace {

// A new connection knows nothing of the source until it answers: what
// the last connection reported (its size, codecs, lens) must not pass for
// the new one's.
void ForgetDescription(TClientInfo& ci) {
    ci.bDescribed = false;
    ci.VideoBitrate = 0;
    ci.VideoType = 0;
    ci.FPS = 0;
    ci.VideoWidth = 0;
    ci.VideoHeight = 0;
    ci.AudioType = 0;
    ci.MaxFoucsScale = 0;
    ci.WideAngle = 0;
    ci.nCharge = -1;
}

// Offsets inside the reply to the audio/video request.
constexpr uint32_t kReplyStatus = 12;
constexpr uint32_t kReplyDeviceType = 14;
constexpr uint32_t kReplyIdentity = 33; // after the two-byte identity length at 31
constexpr uint32_t kMediaRecord = 12;

} // namespace

TCMDParse::TCMDParse() : h264Buf(kBufferSize) {}

void TCMDParse::initialize(TNetFrameSink* TC, TClientInfo* CI) {
    ClientThread = TC;
    PCInfo = CI;
    bNeedIFrame = true;
    nVideoCounter = 0;
    nAudioCounter = 0;
    nTimeCounterBegin = GetGlobeCount();
}

int TCMDParse::AddData(const uint8_t* PData, int nSize) {
    lastTimeHit = std::chrono::system_clock::now();
    if (nSize < 0 || int64_t(iH264BufLength) + nSize > kBufferSize) {
        return -1;
    }
    if (nSize > 0) {
        std::memcpy(h264Buf.data() + iH264BufLength, PData, size_t(nSize));
        iH264BufLength += nSize;
    }
    return Parse();
}

int TCMDParse::Parse() {
    const uint8_t* buf = h264Buf.data();
    int32_t p = 0;
    int result = 0;
    // A message needs more than its head: exactly 12 bytes wait for more.
    while (iH264BufLength - p > int32_t(kNetHeadSize)) {
        const uint8_t* m = buf + p;
        // A wrong magic stays at the head until the buffer limit closes the
        // connection: there is no way to find the next message boundary.
        if (ReadLE32(m) != kNetMagic) {
            break;
        }
        const uint32_t nLength = ReadLE32(m + 4);
        if (nLength < kNetHeadSize) {
            result = -1;
            break;
        }
        if (uint32_t(iH264BufLength - p) < nLength) {
            break;
        }
        result = HandleMessage(m, nLength);
        if (result < 0) {
            break;
        }
        p += int32_t(nLength);
    }
    if (p > 0) {
        std::memmove(h264Buf.data(), buf + p, size_t(iH264BufLength - p));
        iH264BufLength -= p;
    }
    return result;
}

int TCMDParse::HandleMessage(const uint8_t* m, uint32_t nLength) {
    switch (ReadLE32(m + 8)) {
    case C_21_REP_REQUESTAV: {
        Trace("C_21_REP_REQUESTAV");
        if (nLength <= kReplyDeviceType || ReadLE16(m + kReplyStatus) != kRequestAccepted) {
            return 0;
        }
        const uint8_t nType = m[kReplyDeviceType];
        Trace("come=" + IntToStr(nType));
        if (!IsNetworkDevice(nType)) {
            if (PCInfo) {
                PCInfo->DeviceType = kDeviceNone;
                PCInfo->nErrorCode = kConnectLost;
            }
            return -2;
        }
        if (PCInfo && nType == kDeviceDesktop && PCInfo->nChannel == 1) {
            // Channel 1 carries the lesson's sound; slides have none. The
            // connection is cut and stays cut until the operator connects
            // something else.
            PCInfo->DeviceType = kDeviceDesktop;
            PCInfo->nErrorCode = kSlidesOnSoundChannel;
            PCInfo->bDontReconnect = true;
            return -2;
        }
        if (PCInfo) {
            PCInfo->DeviceType = nType == kDeviceDesktop ? kDeviceDesktop : kDevicePhone;
            StoreReply(m, nLength);
            PCInfo->bDescribed = true;
        }
        return 0;
    }
    case C_21_REP_FOCUS:
        if (nLength >= 14) {
            const uint16_t nValue = ReadLE16(m + 12);
            if (PCInfo) {
                PCInfo->nFocusValue = nValue;
            }
            Trace("rec=" + IntToStr(nValue));
        }
        return 0;
    case C_21_BATTERY:
        if (nLength >= 14 && PCInfo) {
            PCInfo->nCharge = int16_t(std::min<uint16_t>(ReadLE16(m + 12), 32767));
        }
        return 0;
    case C_21_IGNORED:
        return 0;
    case C_21_MEDIAFRAME:
        return HandleMediaFrame(m, nLength);
    default:
        return -1;
    }
}

void TCMDParse::StoreReply(const uint8_t* m, uint32_t nLength) {
    // A reply cut short keeps only its device type: the other fields would
    // come from the next message's bytes.
    if (nLength < kReplyIdentity) {
        return;
    }
    TClientInfo& ci = *PCInfo;
    const uint64_t kbits = ReadLE32(m + 15);
    ci.VideoBitrate =
        int32_t(std::min<uint64_t>(kbits * 1024, std::numeric_limits<int32_t>::max()));
    ci.VideoType = m[19];
    ci.FPS = m[20];
    ci.VideoWidth = ReadLE16(m + 21);
    ci.VideoHeight = ReadLE16(m + 23);
    ci.AudioType = m[25];
    ci.MaxFoucsScale = ReadLE16(m + 26);
    ci.nFocusValue = ReadLE16(m + 28);
    ci.WideAngle = m[30];
    // An identity longer than its message is cut at the message's end.
    const uint32_t n = std::min<uint32_t>(ReadLE16(m + 31), nLength - kReplyIdentity);
    ci.ID.assign(reinterpret_cast<const char*>(m + kReplyIdentity), n);
}

int TCMDParse::HandleMediaFrame(const uint8_t* m, uint32_t nLength) {
    TZeroMediaFrameHead head{};
    if (nLength < kMediaRecord + kMediaFrameHeadSize ||
        !ReadMediaFrameHead(std::span<const uint8_t>(m + kMediaRecord, kMediaFrameHeadSize),
                            head)) {
        return -1;
    }
    // A record claiming more payload than its message carries would hand
    // the worker bytes of the following messages: the stream is broken.
    const uint64_t nRecord = kMediaFrameHeadSize + uint64_t(head.nFrameSize);
    if (kMediaRecord + nRecord > nLength) {
        return -1;
    }
    if (!bNeedIFrame || head.nFrameType == kFrameH264Key) {
        if (ClientThread) {
            ClientThread->PushFrame(m + kMediaRecord, size_t(nRecord));
        }
        bNeedIFrame = false;
    }
    if (head.nFrameType == kFrameAAC) {
        ++nAudioCounter;
    } else {
        ++nVideoCounter;
    }
    return 0;
}

void TCMDParse::EmptyBuffer() {
    iH264BufLength = 0;
}

void TCMDParse::SetConnect() {
    bNeedIFrame = true;
    EmptyBuffer();
    if (PCInfo) {
        ForgetDescription(*PCInfo);
        PCInfo->bConnectOK = true;
        PCInfo->bInOpen = false;
        PCInfo->nErrorCode = kConnectMade;
        PCInfo->nErrorDispTimes = 0;
    }
}

void TCMDParse::SetDisconnect() {
    bNeedIFrame = true;
    EmptyBuffer();
    if (PCInfo) {
        PCInfo->bConnectOK = false;
        PCInfo->bInOpen = false;
        PCInfo->bDescribed = false;
        // Cut on purpose, the notice stays: not a loss to blink and retry.
        if (PCInfo->nErrorCode != kSlidesOnSoundChannel) {
            PCInfo->nErrorCode = kConnectLost;
            PCInfo->nErrorDispTimes = kLostNoticeTicks;
        }
        if (ClientThread) {
            ClientThread->SetThisPortInError(PCInfo->nDispPort);
        }
    }
}

uint32_t TCMDParse::GetAVCounterThisperiod(uint32_t& VCount, uint32_t& ACount) {
    const uint32_t now = GetGlobeCount();
    const uint64_t elapsed = std::max<uint32_t>(now - nTimeCounterBegin, 1);
    VCount = uint32_t(uint64_t(nVideoCounter) * 1000 / elapsed);
    ACount = uint32_t(uint64_t(nAudioCounter) * 1000 / elapsed);
    nVideoCounter = 0;
    nAudioCounter = 0;
    nTimeCounterBegin = now;
    return VCount + ACount;
}

} // namespace tavrin
