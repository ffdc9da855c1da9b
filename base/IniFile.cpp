#include "base/IniFile.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace tavrin {

namespace {

std::string_view Trim(std::string_view s) {
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && isSpace(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && isSpace(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

// The section named by a "[name]" line; false for any other line.
bool SectionOf(std::string_view line, std::string_view& name) {
    line = Trim(line);
    if (line.size() < 2 || line.front() != '[') {
        return false;
    }
    const size_t close = line.find(']');
    if (close == std::string_view::npos) {
        return false;
    }
    name = Trim(line.substr(1, close - 1));
    return true;
}

// Splits a "key=value" line; comments and lines without '=' are not entries.
bool EntryOf(std::string_view line, std::string_view& key, std::string_view& value) {
    const std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#') {
        return false;
    }
    const size_t eq = trimmed.find('=');
    if (eq == std::string_view::npos) {
        return false;
    }
    key = Trim(trimmed.substr(0, eq));
    value = Trim(trimmed.substr(eq + 1));
    // A value quoted as a whole loses its quotes.
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return true;
}

} // namespace

bool ParseInt32(std::string_view text, int32_t& value) {
    text = Trim(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) {
        return false;
    }
    int64_t magnitude = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (ec != std::errc() || end != text.data() + text.size() || magnitude < 0) {
        return false;
    }
    const int64_t signedValue = negative ? -magnitude : magnitude;
    if (signedValue < INT32_MIN || signedValue > INT32_MAX) {
        return false;
    }
    value = int32_t(signedValue);
    return true;
}

std::vector<std::string> TIniFile::SplitLines(std::string_view text) {
    // A UTF-8 byte-order mark at the start is not part of the first line.
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.emplace_back(line);
        start = end + 1;
    }
    return lines;
}

bool TIniFile::FindValue(const std::vector<std::string>& lines, std::string_view section,
                         std::string_view key, std::string& value) {
    bool inSection = false;
    for (const std::string& line : lines) {
        std::string_view name;
        if (SectionOf(line, name)) {
            inSection = SameName(name, section);
            continue;
        }
        std::string_view k;
        std::string_view v;
        if (inSection && EntryOf(line, k, v) && SameName(k, key)) {
            value.assign(v);
            return true;
        }
    }
    return false;
}

std::vector<std::string> TIniFile::LoadLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return {};
    }
    std::ostringstream text;
    text << in.rdbuf();
    return SplitLines(text.str());
}

bool TIniFile::Lookup(std::string_view section, std::string_view key, std::string& value) const {
    return FindValue(LoadLines(path_), section, key, value) ||
           (!fallbackPath_.empty() && FindValue(LoadLines(fallbackPath_), section, key, value));
}

std::string TIniFile::SourceOf(std::string_view section, std::string_view key) const {
    std::string value;
    if (FindValue(LoadLines(path_), section, key, value)) {
        return path_;
    }
    if (!fallbackPath_.empty() && FindValue(LoadLines(fallbackPath_), section, key, value)) {
        return fallbackPath_;
    }
    return {};
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view def) const {
    std::string value;
    if (!Lookup(section, key, value)) {
        return std::string(def);
    }
    return value;
}

int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key, int32_t def) const {
    std::string text;
    int32_t value = def;
    if (!Lookup(section, key, text) || !ParseInt32(text, value)) {
        return def;
    }
    return value;
}

bool TIniFile::KeyExists(std::string_view section, std::string_view key) const {
    return !SourceOf(section, key).empty();
}

bool TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    std::vector<std::string> lines = LoadLines(path_);
    std::string entry = std::string(key) + "=" + std::string(value);

    bool inSection = false;
    bool sectionFound = false;
    size_t insertAt = lines.size();
    bool written = false;
    for (size_t i = 0; i < lines.size() && !written; ++i) {
        std::string_view name;
        if (SectionOf(lines[i], name)) {
            if (inSection) {
                break; // the section ended without the key
            }
            inSection = SameName(name, section);
            if (inSection) {
                sectionFound = true;
                insertAt = i + 1;
            }
            continue;
        }
        if (!inSection) {
            continue;
        }
        std::string_view k;
        std::string_view v;
        if (EntryOf(lines[i], k, v) && SameName(k, key)) {
            lines[i] = entry;
            written = true;
        } else if (!Trim(lines[i]).empty()) {
            insertAt = i + 1; // new keys follow the section's last non-blank line
        }
    }
    if (!written) {
        if (sectionFound) {
            lines.insert(lines.begin() + std::ptrdiff_t(insertAt), entry);
        } else {
            lines.push_back("[" + std::string(section) + "]");
            lines.push_back(entry);
        }
    }

    const std::string tmpPath = path_ + ".tmp";
    {
        std::ofstream out(tmpPath, std::ios::binary | std::ios::trunc);
        if (!out) {
            return false;
        }
        for (const std::string& line : lines) {
            out << line << '\n';
        }
        out.flush();
        if (!out) {
            std::remove(tmpPath.c_str());
            return false;
        }
    }
    if (std::rename(tmpPath.c_str(), path_.c_str()) != 0) {
        std::remove(tmpPath.c_str());
        return false;
    }
    return true;
}

bool TIniFile::WriteInteger(std::string_view section, std::string_view key, int64_t value) {
    return WriteString(section, key, std::to_string(value));
}

} // namespace tavrin
