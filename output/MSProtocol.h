// The media server's message protocol: every message starts with the magic,
// its total length (header included) and a command, each a little-endian
// 32-bit word. Builders for the console's messages and the receive buffer
// that applies the server's answers to the connection state.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace tavrin {

constexpr uint32_t kMSMagic = 0x87654321;
constexpr size_t kMSHeaderSize = 12;

// From the console.
constexpr uint32_t kMSCmdLogin = 0x30000001;
constexpr uint32_t kMSCmdEndLive = 0x30000013;
constexpr uint32_t kMSCmdKeepAlive = 0x20000010;
constexpr uint32_t kMSCmdMediaFrame = 0x90000001;
// From the server.
constexpr uint32_t kMSAnswerLogin = 0x10000001;
constexpr uint32_t kMSAnswerKeepAlive = 0x10000010;
constexpr uint32_t kMSAnswerEndLive = 0x10000013;

constexpr size_t kMSLoginSize = 132;
constexpr size_t kMSEndLiveSize = 16;
constexpr size_t kMSTokenField = 100;
// Bytes received and not yet parsed are kept in a buffer of this size.
constexpr size_t kMSCommandBufferSize = 20001;
// At most this much is read per data event.
constexpr size_t kMSReadLimit = 600000;

// Connection states of the transfer.
enum : int {
    kMSNotLoggedIn = 0,
    kMSLoginSent = 1,
    kMSLoggedIn = 2,
    kMSEndSent = 3,
    kMSFinished = 4,
    kMSRefused = 700,
};

// Errors of the transfer, as GetLastError reports them.
enum : int {
    kMSProtocolError = -1,
    kMSLoginNotAccepted = -2, // login answered with 201
    kMSBadEndAnswer = -3,
    kMSLoginRefused = -4, // login answered with 700; also "connection dropped"
    kMSConnectionDropped = -4,
    kMSAlreadyExists = -5, // the disconnect after a refusal
};

// The login message. False, writing nothing, when the token does not fit
// its 100-byte field.
bool MakeLoginMessage(std::array<uint8_t, kMSLoginSize>& out, int32_t LiveID, int32_t UserID,
                      std::string_view LiveToken, int32_t LiveType);
void MakeEndLiveMessage(std::array<uint8_t, kMSEndLiveSize>& out);
void MakeKeepAliveMessage(std::array<uint8_t, kMSHeaderSize>& out);
// The header in front of one frame block (13-byte head + payload) of
// frameBlockSize bytes.
void MakeMediaFrameHeader(std::array<uint8_t, kMSHeaderSize>& out, size_t frameBlockSize);

// The unparsed bytes from the server (CMDBuf).
class TMSReceiveBuffer {
public:
    // Appends data and applies every complete message to nConState. Returns
    // 0, or the error the messages (or an overflow) caused; parsing stops at
    // the first error.
    int Receive(std::span<const uint8_t> data, int& nConState);
    size_t Pending() const { return iCMDBufLength; }
    void Clear() { iCMDBufLength = 0; }

private:
    int Parse(int& nConState);

    std::array<uint8_t, kMSCommandBufferSize> CMDBuf{};
    size_t iCMDBufLength = 0;
};

} // namespace tavrin
