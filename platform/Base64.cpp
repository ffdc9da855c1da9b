#include "platform/Base64.h"

#include <array>
#include <cstdint>

namespace tavrin {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr size_t kLineLength = 76;

constexpr int8_t kInvalid = -1;
constexpr int8_t kPad = -2;

constexpr std::array<int8_t, 256> MakeDecodeTable() {
    std::array<int8_t, 256> table{};
    for (auto& v : table) {
        v = kInvalid;
    }
    for (int i = 0; i < 64; ++i) {
        table[uint8_t(kAlphabet[i])] = int8_t(i);
    }
    table[uint8_t('=')] = kPad;
    return table;
}

constexpr std::array<int8_t, 256> kDecode = MakeDecodeTable();

} // namespace

std::string Base64Encode(std::string_view bytes, bool lineBreaks) {
    std::string plain;
    plain.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const uint32_t v = uint32_t(uint8_t(bytes[i])) << 16 |
                           uint32_t(uint8_t(bytes[i + 1])) << 8 | uint32_t(uint8_t(bytes[i + 2]));
        plain += kAlphabet[v >> 18];
        plain += kAlphabet[(v >> 12) & 63];
        plain += kAlphabet[(v >> 6) & 63];
        plain += kAlphabet[v & 63];
    }
    const size_t rest = bytes.size() - i;
    if (rest > 0) {
        uint32_t v = uint32_t(uint8_t(bytes[i])) << 16;
        if (rest == 2) {
            v |= uint32_t(uint8_t(bytes[i + 1])) << 8;
        }
        plain += kAlphabet[v >> 18];
        plain += kAlphabet[(v >> 12) & 63];
        plain += rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
        plain += '=';
    }
    if (!lineBreaks || plain.size() <= kLineLength) {
        return plain;
    }
    std::string broken;
    broken.reserve(plain.size() + plain.size() / kLineLength * 2);
    for (size_t start = 0; start < plain.size(); start += kLineLength) {
        if (start > 0) {
            broken += "\r\n";
        }
        broken.append(plain, start, kLineLength);
    }
    return broken;
}

bool Base64Decode(std::string_view text, std::string& bytes) {
    std::string out;
    out.reserve(text.size() / 4 * 3);
    uint32_t group = 0;
    int count = 0;   // characters in the current group
    int padding = 0; // '=' seen; only more '=' may follow
    for (const char c : text) {
        if (c == '\r' || c == '\n') {
            continue;
        }
        const int8_t v = kDecode[uint8_t(c)];
        if (v == kInvalid) {
            return false;
        }
        if (v == kPad) {
            // "xx==" and "xxx=" are the only padded groups.
            if (count < 2) {
                return false;
            }
            ++padding;
            ++count;
        } else {
            if (padding > 0) {
                return false;
            }
            group = group << 6 | uint32_t(v);
            ++count;
        }
        if (count == 4) {
            group <<= 6 * padding;
            out += char(group >> 16);
            if (padding < 2) {
                out += char((group >> 8) & 0xff);
            }
            if (padding < 1) {
                out += char(group & 0xff);
            }
            group = 0;
            count = 0;
            if (padding > 0) {
                padding = -1; // the text must end here
            }
        } else if (padding < 0) {
            return false;
        }
    }
    if (count != 0) {
        return false;
    }
    bytes = std::move(out);
    return true;
}

} // namespace tavrin
