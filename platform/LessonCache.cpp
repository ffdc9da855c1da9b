#include "platform/LessonCache.h"

#include "base/Message.h"
#include "base/Trace.h"
#include "platform/Base64.h"
#include "platform/HexCipher.h"
#include "platform/LessonJson.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace tavrin {

namespace {

bool WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        text.remove_prefix(size_t(written));
    }
    return true;
}

// Writes text to a fresh owner-only file beside path and renames it over path.
bool ReplaceFile(const std::string& path, std::string_view text) {
    std::string tmpPath = path + ".XXXXXX";
    const int fd = ::mkstemp(tmpPath.data());
    if (fd < 0) {
        Trace("lesson.dat: cannot create " + tmpPath + ": " + std::strerror(errno));
        return false;
    }
    const bool written =
        ::fchmod(fd, S_IRUSR | S_IWUSR) == 0 && WriteAll(fd, text) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || std::rename(tmpPath.c_str(), path.c_str()) != 0) {
        Trace("lesson.dat: cannot write " + path + ": " + std::strerror(errno));
        ::unlink(tmpPath.c_str());
        return false;
    }
    return true;
}

} // namespace

std::string LessonCacheKey() {
    return Base64Encode(kLessonCacheKeyText);
}

std::string BuildLessonCacheText(const TLessonCacheOwner& owner, const TDateTime& savedAt,
                                 std::string_view dataJson) {
    std::string text = "{\"UserID\":" + std::to_string(owner.UserID);
    text += ",\"password\":\"" + JsonQuoted(owner.Password);
    text += "\",\"currentDate\":\"" + FormatDateTime(savedAt);
    text += "\",\"serverIp\":\"" + JsonQuoted(owner.serverIp);
    text += "\",\"serverPort\":\"" + std::to_string(owner.serverPort);
    text += "\",\"name\":\"" + Base64Encode(owner.voName);
    text += "\",\"areaName\":\"" + Base64Encode(owner.areaName);
    text += "\",\"data\":";
    text += dataJson;
    text += "}";
    return text;
}

std::string EncipherLessonCache(std::string_view plainText) {
    return HexCipherEncode(Base64Encode(plainText, true), LessonCacheKey());
}

bool DecipherLessonCache(std::string_view fileText, std::string& plainText) {
    std::string base64;
    return HexCipherDecode(fileText, LessonCacheKey(), base64) && Base64Decode(base64, plainText);
}

bool SaveLessonCache(const std::string& path, const TLessonCacheOwner& owner,
                     std::string_view dataJson) {
    return ReplaceFile(path,
                       EncipherLessonCache(BuildLessonCacheText(owner, LocalNow(), dataJson)));
}

std::string LoadLessonCache(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return "";
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        // Present but unreadable (permissions): not damaged, so keep it.
        Trace("lesson.dat: cannot read " + path);
        return "";
    }
    std::ostringstream content;
    content << in.rdbuf();
    in.close();
    std::string plain;
    if (DecipherLessonCache(content.str(), plain)) {
        return plain;
    }
    ::unlink(path.c_str());
    ShowMessage(kLessonCacheDamaged + path, TMsgIcon::Information, TMsgButtons::Ok);
    return "";
}

int ParseLessonCache(std::string_view text, int64_t userID, std::string_view password,
                     TLessonCache& cache) {
    try {
        const nlohmann::json root = nlohmann::json::parse(text);
        if (!root.is_object()) {
            return -1;
        }
        ParsePlatformDate(JsonText(root, "currentDate"), cache.lastLoginTime);
        const auto user = root.find("UserID");
        if (user == root.end() || !user->is_number_integer() || user->get<int64_t>() != userID ||
            JsonText(root, "password") != password) {
            return -1;
        }
        TLessonCacheOwner owner;
        owner.UserID = int32_t(userID);
        owner.Password = std::string(password);
        owner.serverIp = JsonText(root, "serverIp");
        owner.serverPort = JsonInt(root, "serverPort", 0);
        owner.voName = JsonBase64Text(root, "name");
        owner.areaName = JsonBase64Text(root, "areaName");
        const auto data = root.find("data");
        if (data == root.end()) {
            return -1;
        }
        cache.voList = ReadLessonList(*data);
        cache.owner = std::move(owner);
        return 0;
    } catch (const std::exception& e) {
        Trace(std::string("lesson.dat: unreadable list: ") + e.what());
        return -1;
    }
}

} // namespace tavrin
