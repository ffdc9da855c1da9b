// The console's hex string cipher: a random seed, then every byte chained to
// the previous cipher byte and mixed with a repeating text key, written as
// hexadecimal digits. It keeps the saved lesson list unreadable in the file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tavrin {

// Used when the key given is empty.
inline constexpr std::string_view kHexCipherDefaultKey = "cat w a , l ike";

// Enciphers plain bytes with a freshly drawn seed: 2 + 2 * size lower-case
// hex digits. A plain byte 0 does not survive the round trip.
std::string HexCipherEncode(std::string_view plain, std::string_view key);
// The same with a given seed (tests and reproducible output).
std::string HexCipherEncodeWithSeed(std::string_view plain, std::string_view key, uint8_t seed);

// Deciphers hex digits of either case; a trailing single digit is ignored.
// False when a digit pair is not hexadecimal or when there is no byte after
// the seed.
bool HexCipherDecode(std::string_view hex, std::string_view key, std::string& plain);

} // namespace tavrin
