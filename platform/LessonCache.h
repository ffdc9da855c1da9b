// The saved lesson list "lesson.dat": the last successful online sign-in of
// any account (account, password, common information and the whole
// schedule), so that the operator can work when the platform cannot be
// reached. Layers: a JSON text, its Base64 in CR LF broken lines, enciphered
// with the hex string cipher under the cache key.
#pragma once

#include "platform/DateTime.h"
#include "platform/PlatformTypes.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

inline constexpr char kLessonCacheFile[] = "lesson.dat";
inline constexpr char kLessonCacheKeyText[] = "4 8 6 ,sit up on";
inline constexpr char kLessonCacheDamaged[] = "本地备份的课程列表文件已损坏，已被删除。\r\n";

// Whose list it is and the common information saved with it.
struct TLessonCacheOwner {
    int32_t UserID = 0;
    std::string Password;
    std::string serverIp;
    int32_t serverPort = 0;
    std::string voName;
    std::string areaName;
};

// A saved list read back.
struct TLessonCache {
    TDateTime lastLoginTime; // when it was saved
    TLessonCacheOwner owner;
    std::vector<Tvo_FromServer> voList;
};

// The key handed to the cipher: the Base64 text of kLessonCacheKeyText.
std::string LessonCacheKey();

// The plain JSON text; dataJson (the platform's "data" member as JSON text)
// is inserted as it is.
std::string BuildLessonCacheText(const TLessonCacheOwner& owner, const TDateTime& savedAt,
                                 std::string_view dataJson);
// Plain text to file content and back (false when the content is damaged).
std::string EncipherLessonCache(std::string_view plainText);
bool DecipherLessonCache(std::string_view fileText, std::string& plainText);

// Replaces the file with the list saved now. The new content goes to a
// temporary file in the same folder that then replaces the old one, so a
// crash mid-write keeps the last good list; only the owner may read it.
// False when it cannot be written (the old file then stays as it was).
bool SaveLessonCache(const std::string& path, const TLessonCacheOwner& owner,
                     std::string_view dataJson);

// The plain text of the file; empty when it is missing or unreadable. A
// damaged file is deleted and the operator told so.
std::string LoadLessonCache(const std::string& path);

// Reads a plain text for account userID with password: 0 with cache filled,
// or -1 when it cannot be read, belongs to another account or password, or
// holds no list. lastLoginTime is filled whenever the text gives it.
int ParseLessonCache(std::string_view text, int64_t userID, std::string_view password,
                     TLessonCache& cache);

} // namespace tavrin
