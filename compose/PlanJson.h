// Lenient readers of plan (.kvx) values, shared by the plan model and the
// scene runtime, which read the same file format each on its own.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

namespace tavrin::planjson {

using Json = nlohmann::ordered_json;

// A missing or mistyped member reads as 0; numbers beyond 32 bits saturate.
int32_t IntOf(const Json& j, const char* key);
// A missing or mistyped member reads as "".
std::string StrOf(const Json& j, const char* key);
// Folder of a path with its trailing separator, "" when there is none.
std::string FolderOf(const std::string& path);
// The file name part of a path.
std::string FileNamePart(const std::string& path);

} // namespace tavrin::planjson
