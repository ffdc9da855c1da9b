// A Windows-style INI file: "[section]" lines, then "key=value" lines.
// Sections and keys match case-insensitively; values are trimmed. Every call
// opens, reads or rewrites, and closes the file, as the console's settings
// code expects. A rewrite goes to a temporary file that replaces the old one,
// so a crash never leaves half a settings file.
//
// A file may fall back to another one: a key it lacks is read from the
// fallback, while every write goes to the file itself. That is how a user's
// own settings take the school's system-wide values they have not changed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

class TIniFile {
public:
    explicit TIniFile(std::string path, std::string fallbackPath = {})
        : path_(std::move(path)), fallbackPath_(std::move(fallbackPath)) {}

    const std::string& Path() const { return path_; }

    // The file the key's value comes from: Path(), the fallback, or empty
    // when neither has the key.
    std::string SourceOf(std::string_view section, std::string_view key) const;

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
    static std::vector<std::string> LoadLines(const std::string& path);
    // The value from the file, else from the fallback; false when neither has it.
    bool Lookup(std::string_view section, std::string_view key, std::string& value) const;

    std::string path_;
    std::string fallbackPath_;
};

// Parses decimal or 0x-hexadecimal text as a signed 32-bit number.
bool ParseInt32(std::string_view text, int32_t& value);

} // namespace tavrin
