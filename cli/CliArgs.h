// Command-line options of tavrin-cli: "--name value" pairs and "--flag"
// switches after a command. Each command declares its options as a list of
// blank-separated names, "name=" for one that takes a value and "name" for
// a switch; "--help" is always a switch.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tavrin::cli {

class TCliArgs {
public:
    // Parses argv[first...] against the declaration; false (with error set) for an
    // option the declaration does not name, an option without its value, a switch
    // given a value or a stray word. With takesWord, the first argument is
    // a bare word (see Word()).
    bool Parse(int argc, char** argv, int first, const char* declared, bool takesWord = false);

    bool Has(const std::string& name) const { return values_.count(name) != 0; }
    std::string Get(const std::string& name, const std::string& def = "") const;
    // Every value of an option given more than once, in command-line order.
    std::vector<std::string> GetAll(const std::string& name) const;
    // False (with error set) when present but not a 32-bit number.
    bool GetInt(const std::string& name, int& value) const;
    const std::string& Word() const { return word_; }

    const std::string& Error() const { return error_; }

private:
    std::map<std::string, std::string> values_; // the last value of each option
    std::map<std::string, std::vector<std::string>> repeated_;
    std::string word_;
    mutable std::string error_;
};

// The whole content of a file; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& text);
// A password or token kept in a file: its content without the final line
// break; false when the file cannot be read.
bool ReadSecretFile(const std::string& path, std::string& secret);
// "1,2,3" as numbers; false for an empty list, an empty item or anything
// that is not a 32-bit number.
bool ParseNumberList(const std::string& text, std::vector<int32_t>& out);

} // namespace tavrin::cli
