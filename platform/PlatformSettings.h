// Where the platform is and which CA to trust: the [Platform] section of vo.ini.
#pragma once

#include "platform/HttpsClient.h"

#include <string>

namespace tavrin {

inline constexpr char kPlatformSection[] = "Platform";
inline constexpr char kDefaultPlatformHost[] = "127.0.0.1";
inline constexpr int kDefaultPlatformPort = 8201;

// Reads Host, Port and CAFile (a relative CAFile is taken from the folder of
// the file that names it, the system-wide one included); keys missing from
// every file are written back with their defaults so that the operator finds
// them. An empty CAFile means the system's CAs.
THttpsSettings LoadPlatformSettings(const std::string& iniPath);

} // namespace tavrin
