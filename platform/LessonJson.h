// Reading the platform's JSON: values as text or integer, Base64 text
// fields, and the lesson schedule. The readers throw std::runtime_error (or
// the parser's own exceptions) on values they cannot read; callers inside
// this library catch them and turn them into result codes.
#pragma once

#include "platform/PlatformTypes.h"

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

// The member as text: strings as they are, numbers in decimal, a missing
// member or null as "".
std::string JsonText(const nlohmann::json& object, const char* key);
// The member as a 32-bit integer: numbers and decimal strings; def when missing.
int32_t JsonInt(const nlohmann::json& object, const char* key, int32_t def);
// The member's Base64 text decoded ("" when missing).
std::string JsonBase64Text(const nlohmann::json& object, const char* key);

// One lesson per element of the platform's "data" array.
std::vector<Tvo_FromServer> ReadLessonList(const nlohmann::json& data);

// Text made safe to place between double quotes of a JSON text built by
// hand: quote, backslash and control characters are escaped; anything else,
// UTF-8 included, stays as it is.
std::string JsonQuoted(std::string_view text);

} // namespace tavrin
