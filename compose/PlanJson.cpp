#include "compose/PlanJson.h"

#include <algorithm>
#include <climits>

namespace tavrin::planjson {

int32_t IntOf(const Json& j, const char* key) {
    const auto it = j.find(key);
    if (it == j.end() || !it->is_number()) {
        return 0;
    }
    if (it->is_number_float()) {
        const double d = it->get<double>();
        return d >= INT32_MAX ? INT32_MAX : d <= INT32_MIN ? INT32_MIN : static_cast<int32_t>(d);
    }
    if (it->is_number_unsigned()) {
        return static_cast<int32_t>(std::min<uint64_t>(it->get<uint64_t>(), INT32_MAX));
    }
    return static_cast<int32_t>(std::clamp<int64_t>(it->get<int64_t>(), INT32_MIN, INT32_MAX));
}

std::string StrOf(const Json& j, const char* key) {
    const auto it = j.find(key);
    return it != j.end() && it->is_string() ? it->get<std::string>() : std::string();
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FileNamePart(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace tavrin::planjson
