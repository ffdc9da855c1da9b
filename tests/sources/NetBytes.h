// Builders of the messages a streaming app sends, for the parser tests.
#pragma once

#include "base/MediaFrame.h"
#include "sources/NetMessage.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace tavrin::test {

using Bytes = std::vector<uint8_t>;

inline Bytes NetMsg(uint32_t cmd, const Bytes& payload = {}, uint32_t magic = kNetMagic) {
    Bytes m(12 + payload.size());
    WriteLE32(m.data(), magic);
    WriteLE32(m.data() + 4, uint32_t(m.size()));
    WriteLE32(m.data() + 8, cmd);
    std::copy(payload.begin(), payload.end(), m.begin() + 12);
    return m;
}

inline Bytes U16(uint16_t v) {
    return {uint8_t(v), uint8_t(v >> 8)};
}

// A media-frame message whose payload's first byte is `tag`.
inline Bytes MediaMsg(uint8_t type, uint32_t size, uint8_t tag = 0) {
    Bytes record(kMediaFrameHeadSize + size, tag);
    TZeroMediaFrameHead head{type, size, 123456};
    WriteMediaFrameHead(head, record);
    return NetMsg(C_21_MEDIAFRAME, record);
}

struct ReplyFields {
    uint16_t status = 200;
    uint8_t type = 2;
    uint32_t kbits = 2048;
    uint16_t width = 1280, height = 720;
    uint8_t audio = 1;
    uint16_t maxFocus = 100, focus = 40;
    uint8_t wide = 1;
    std::string id = "phone-1";
};

inline Bytes ReplyMsg(const ReplyFields& f) {
    Bytes p = U16(f.status);
    p.push_back(f.type);
    p.resize(p.size() + 4);
    WriteLE32(p.data() + 3, f.kbits);
    p.push_back(1);
    p.push_back(25);
    for (uint16_t v : {f.width, f.height}) {
        auto b = U16(v);
        p.insert(p.end(), b.begin(), b.end());
    }
    p.push_back(f.audio);
    for (uint16_t v : {f.maxFocus, f.focus}) {
        auto b = U16(v);
        p.insert(p.end(), b.begin(), b.end());
    }
    p.push_back(f.wide);
    auto n = U16(uint16_t(f.id.size()));
    p.insert(p.end(), n.begin(), n.end());
    p.insert(p.end(), f.id.begin(), f.id.end());
    return NetMsg(C_21_REP_REQUESTAV, p);
}

inline Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& b : parts) {
        all.insert(all.end(), b.begin(), b.end());
    }
    return all;
}

inline std::string Hex(const uint8_t* p, size_t n) {
    static const char* digits = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}

} // namespace tavrin::test
