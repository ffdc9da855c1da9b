#include "platform/HexCipher.h"

#include <random>

namespace tavrin {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Value of one or two hex digits; -1 when empty or not hexadecimal.
int PairValue(std::string_view pair) {
    if (pair.empty()) {
        return -1;
    }
    int value = 0;
    for (const char c : pair) {
        const int digit = HexValue(c);
        if (digit < 0) {
            return -1;
        }
        value = value * 16 + digit;
    }
    return value;
}

void AppendHex(std::string& out, unsigned value) {
    out += kHexDigits[(value >> 4) & 15];
    out += kHexDigits[value & 15];
}

} // namespace

std::string HexCipherEncodeWithSeed(std::string_view plain, std::string_view key, uint8_t seed) {
    if (key.empty()) {
        key = kHexCipherDefaultKey;
    }
    std::string out;
    out.reserve(2 + 2 * plain.size());
    AppendHex(out, seed);
    unsigned prev = seed;
    size_t j = 0;
    for (const char p : plain) {
        j = j == key.size() ? 1 : j + 1;
        const unsigned c = ((prev + uint8_t(p)) % 255) ^ uint8_t(key[j - 1]);
        AppendHex(out, c);
        prev = c;
    }
    return out;
}

std::string HexCipherEncode(std::string_view plain, std::string_view key) {
    std::random_device device;
    std::mt19937 generator(device());
    std::uniform_int_distribution<int> seed(0, 255);
    return HexCipherEncodeWithSeed(plain, key, uint8_t(seed(generator)));
}

bool HexCipherDecode(std::string_view hex, std::string_view key, std::string& plain) {
    if (key.empty()) {
        key = kHexCipherDefaultKey;
    }
    const int seed = PairValue(hex.substr(0, 2));
    if (seed < 0) {
        return false;
    }
    std::string out;
    out.reserve(hex.size() / 2);
    int prev = seed;
    size_t j = 0;
    // Pairs start at index 2, 4, ...; the first is always read, later ones
    // only while a whole pair remains.
    size_t start = 2;
    do {
        const int c = PairValue(hex.substr(std::min(start, hex.size()), 2));
        if (c < 0) {
            return false;
        }
        j = j == key.size() ? 1 : j + 1;
        const int x = c ^ uint8_t(key[j - 1]);
        out += char(x > prev ? x - prev : x - prev + 255);
        prev = c;
        start += 2;
    } while (start + 1 < hex.size());
    plain = std::move(out);
    return true;
}

} // namespace tavrin
