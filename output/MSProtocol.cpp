#include "output/MSProtocol.h"

#include "base/LittleEndian.h"

#include <cstring>

namespace tavrin {

namespace {

void PutHeader(uint8_t* p, uint32_t length, uint32_t command) {
    WriteLE32(p, kMSMagic);
    WriteLE32(p + 4, length);
    WriteLE32(p + 8, command);
}

} // namespace

bool MakeLoginMessage(std::array<uint8_t, kMSLoginSize>& out, int32_t LiveID, int32_t UserID,
                      std::string_view LiveToken, int32_t LiveType) {
    if (LiveToken.size() > kMSTokenField) {
        return false;
    }
    out.fill(0);
    uint8_t* p = out.data();
    PutHeader(p, kMSLoginSize, kMSCmdLogin);
    WriteLE32(p + 12, uint32_t(LiveID));
    WriteLE32(p + 16, uint32_t(UserID));
    p[20] = 1;
    p[21] = 25; // frame rate, width and height are fixed whatever is sent
    WriteLE16(p + 22, 1280);
    WriteLE16(p + 24, 720);
    p[26] = 1;
    WriteLE32(p + 27, uint32_t(LiveToken.size()));
    if (!LiveToken.empty()) {
        std::memcpy(p + 31, LiveToken.data(), LiveToken.size());
    }
    p[131] = uint8_t(LiveType & 0xFF);
    return true;
}

void MakeEndLiveMessage(std::array<uint8_t, kMSEndLiveSize>& out) {
    out.fill(0);
    PutHeader(out.data(), kMSEndLiveSize, kMSCmdEndLive);
}

void MakeKeepAliveMessage(std::array<uint8_t, kMSHeaderSize>& out) {
    PutHeader(out.data(), kMSHeaderSize, kMSCmdKeepAlive);
}

void MakeMediaFrameHeader(std::array<uint8_t, kMSHeaderSize>& out, size_t frameBlockSize) {
    PutHeader(out.data(), uint32_t(kMSHeaderSize + frameBlockSize), kMSCmdMediaFrame);
}

int TMSReceiveBuffer::Receive(std::span<const uint8_t> data, int& nConState) {
    if (data.size() > CMDBuf.size() - iCMDBufLength) {
        return kMSProtocolError;
    }
    if (!data.empty()) {
        std::memcpy(CMDBuf.data() + iCMDBufLength, data.data(), data.size());
        iCMDBufLength += data.size();
    }
    return Parse(nConState);
}

int TMSReceiveBuffer::Parse(int& nConState) {
    size_t pos = 0;
    int error = 0;
    // A bare 12-byte message (a keep-alive answer) is complete too.
    while (error == 0 && iCMDBufLength - pos >= kMSHeaderSize) {
        const uint8_t* m = CMDBuf.data() + pos;
        if (ReadLE32(m) != kMSMagic) {
            break;
        }
        const uint32_t length = ReadLE32(m + 4);
        // A length below the header would never advance; one beyond the
        // buffer could never be completed.
        if (length < kMSHeaderSize || length > CMDBuf.size()) {
            error = kMSProtocolError;
            break;
        }
        if (iCMDBufLength - pos < length) {
            break;
        }
        const uint32_t command = ReadLE32(m + 8);
        if (command == kMSAnswerKeepAlive) {
            // nothing to do
        } else if (command == kMSAnswerLogin || command == kMSAnswerEndLive) {
            if (length < kMSHeaderSize + 4) {
                error = kMSProtocolError; // no room for the status
                break;
            }
            const uint32_t status = ReadLE32(m + 12);
            if (command == kMSAnswerLogin) {
                if (status == 200) {
                    nConState = kMSLoggedIn;
                } else if (status == 201) {
                    nConState = kMSLoggedIn;
                    error = kMSLoginNotAccepted;
                } else if (status == 700) {
                    nConState = kMSRefused;
                    error = kMSLoginRefused;
                }
            } else {
                nConState = kMSFinished;
                if (status != 200) {
                    error = kMSBadEndAnswer;
                }
            }
        } else {
            error = kMSProtocolError;
            break;
        }
        pos += length;
    }
    if (pos > 0) {
        std::memmove(CMDBuf.data(), CMDBuf.data() + pos, iCMDBufLength - pos);
        iCMDBufLength -= pos;
    }
    return error;
}

} // namespace tavrin
