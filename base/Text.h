// UTF-8 is the narrow encoding everywhere; these helpers work on code points.
#pragma once

#include <string>
#include <string_view>

namespace tavrin {

// Decodes UTF-8. Malformed or truncated sequences, surrogates and overlong
// forms each become U+FFFD, so any byte string decodes.
std::u32string Utf8ToCodePoints(std::string_view text);

// Encodes code points as UTF-8; values that are not scalar values become U+FFFD.
std::string CodePointsToUtf8(std::u32string_view text);

// Number of code points in a UTF-8 text (malformed bytes count one each).
size_t CodePointCount(std::string_view text);

// Decimal text of a signed 32-bit number: a minus sign, no leading zeros.
std::string IntToStr(long long value);

} // namespace tavrin
