// Base64 with the standard alphabet and padding: the platform's text fields
// and the inner layer of the saved lesson list use it.
#pragma once

#include <string>
#include <string_view>

namespace tavrin {

// Encodes bytes. With lineBreaks the text is broken into lines of 76
// characters separated by CR LF, with no break after the last line.
std::string Base64Encode(std::string_view bytes, bool lineBreaks = false);

// Decodes text; CR and LF anywhere are ignored. False on any other character
// outside the alphabet, on a length that is not a whole number of groups, or
// on padding anywhere but at the end.
bool Base64Decode(std::string_view text, std::string& bytes);

} // namespace tavrin
