// A Windows-style INI file: "[section]" lines, then "key=value" lines.
// Sections and keys match case-insensitively; values are trimmed. Every call
// opens, reads or rewrites, and closes the file, as the console's settings
// code expects. A rewrite goes to a temporary file that replaces the old one,
// so a crash never leaves half a settings file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

class TIniFile {
public:
    explicit TIniFile(std::string path) : path_(std::move(path)) {}

    const std::string& Path() const { return path_; }

    // The value, or def when the file, the section or the key is missing.
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view def) const;
    // The value as a decimal (or 0x hexadecimal) 32-bit number; def when it
    // is missing, empty or not a number.
    int32_t ReadInteger(std::string_view section, std::string_view key, int32_t def) const;
    bool KeyExists(std::string_view section, std::string_view key) const;

    // Replaces the key's value in place, adds it at the end of its section,
    // or adds the section at the end of the file. False when the file cannot
    // be written.
    bool WriteString(std::string_view section, std::string_view key, std::string_view value);
    bool WriteInteger(std::string_view section, std::string_view key, int64_t value);

    // Parses INI text into lines; exposed for the fuzz target.
    static std::vector<std::string> SplitLines(std::string_view text);
    static bool FindValue(const std::vector<std::string>& lines, std::string_view section,
                          std::string_view key, std::string& value);

private:
    std::vector<std::string> LoadLines() const;

    std::string path_;
};

// Parses decimal or 0x-hexadecimal text as a signed 32-bit number.
bool ParseInt32(std::string_view text, int32_t& value);

} // namespace tavrin
