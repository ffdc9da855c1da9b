#include "platform/VersionCompare.h"

#include "base/IniFile.h"

#include <string>
#include <vector>

namespace tavrin {

namespace {

std::vector<int32_t> SplitVersion(std::string_view text) {
    std::vector<int32_t> parts;
    size_t start = 0;
    while (true) {
        const size_t dot = text.find('.', start);
        const std::string_view part = text.substr(
            start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
        int32_t value = 0;
        parts.push_back(ParseInt32(part, value) ? value : -1);
        if (dot == std::string_view::npos) {
            return parts;
        }
        start = dot + 1;
    }
}

} // namespace

bool CompareVersion(std::string_view a, std::string_view b, int& result) {
    const std::vector<int32_t> left = SplitVersion(a);
    const std::vector<int32_t> right = SplitVersion(b);
    if (left.size() != right.size()) {
        return false;
    }
    for (size_t i = 0; i < left.size(); ++i) {
        if (left[i] != right[i]) {
            result = left[i] > right[i] ? 1 : -1;
            return true;
        }
    }
    result = 0;
    return true;
}

} // namespace tavrin
