#include "platform/LessonJson.h"

#include "base/IniFile.h"
#include "platform/Base64.h"

#include <cstdio>
#include <stdexcept>

namespace tavrin {

std::string JsonText(const nlohmann::json& object, const char* key) {
    const auto it = object.find(key);
    if (it == object.end() || it->is_null()) {
        return "";
    }
    if (it->is_string()) {
        return it->get<std::string>();
    }
    if (it->is_number()) {
        return it->dump();
    }
    throw std::runtime_error(std::string("not a text: ") + key);
}

int32_t JsonInt(const nlohmann::json& object, const char* key, int32_t def) {
    const auto it = object.find(key);
    if (it == object.end() || it->is_null()) {
        return def;
    }
    if (it->is_number_integer()) {
        const int64_t value = it->get<int64_t>();
        if (value >= INT32_MIN && value <= INT32_MAX) {
            return int32_t(value);
        }
    } else if (it->is_string()) {
        int32_t value = 0;
        if (ParseInt32(it->get<std::string>(), value)) {
            return value;
        }
    }
    throw std::runtime_error(std::string("not an integer: ") + key);
}

std::string JsonBase64Text(const nlohmann::json& object, const char* key) {
    std::string text;
    if (!Base64Decode(JsonText(object, key), text)) {
        throw std::runtime_error(std::string("not Base64: ") + key);
    }
    return text;
}

std::vector<Tvo_FromServer> ReadLessonList(const nlohmann::json& data) {
    if (!data.is_array()) {
        throw std::runtime_error("the lesson list is not an array");
    }
    std::vector<Tvo_FromServer> list;
    list.reserve(data.size());
    for (const nlohmann::json& item : data) {
        if (!item.is_object()) {
            throw std::runtime_error("a lesson is not an object");
        }
        Tvo_FromServer vo;
        ParsePlatformDate(JsonText(item, "LessionTime"), vo.LessionTime);
        ParsePlatformDate(JsonText(item, "CreateTime"), vo.CreateTime);
        vo.LessionNO = JsonInt(item, "LessionNO", 0);
        vo.continueMinutes = JsonInt(item, "continueMinutes", 0);
        vo.LI.LessionID = JsonInt(item, "ID", vo.LI.LessionID);
        vo.LI.subject = JsonBase64Text(item, "Subject") + " " + JsonBase64Text(item, "Volume");
        vo.LI.TeacherName = JsonBase64Text(item, "TeacherName");
        vo.LI.LessionName = JsonBase64Text(item, "LessionName");
        vo.LI.grade = JsonBase64Text(item, "Grade");
        vo.LI.version = JsonBase64Text(item, "Version");
        vo.LI.ShcoolName = JsonBase64Text(item, "SchoolName");
        vo.allowLive = JsonInt(item, "allowLive", 0);
        vo.allowUpload = JsonInt(item, "allowUpload", 0);
        vo.liveToken = JsonText(item, "liveToken");
        list.push_back(std::move(vo));
    }
    return list;
}

std::string JsonQuoted(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (uint8_t(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof(escape), "\\u%04x", unsigned(uint8_t(c)));
            out += escape;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace tavrin
