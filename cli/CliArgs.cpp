#include "cli/CliArgs.h"

#include "base/IniFile.h"

#include <fstream>
#include <sstream>

namespace tavrin::cli {

namespace {

// "name=" takes a value, "name" is a switch; 0 when the declaration has no such option.
int OptionKind(const char* declared, const std::string& name) {
    if (name == "help") {
        return 1;
    }
    std::stringstream in(declared != nullptr ? declared : "");
    std::string item;
    while (in >> item) {
        if (item == name) {
            return 1;
        }
        if (item == name + "=") {
            return 2;
        }
    }
    return 0;
}

bool IsOption(const char* arg) {
    return std::string(arg).rfind("--", 0) == 0;
}

} // namespace

bool TCliArgs::Parse(int argc, char** argv, int first, const char* declared, bool takesWord) {
    int i = first;
    if (takesWord && i < argc && !IsOption(argv[i])) {
        word_ = argv[i++];
    }
    for (; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!IsOption(argv[i]) || arg.size() < 3) {
            error_ = "unexpected argument: " + arg;
            return false;
        }
        const std::string name = arg.substr(2);
        const int kind = OptionKind(declared, name);
        if (kind == 0) {
            error_ = "unknown option " + arg;
            return false;
        }
        std::string value;
        if (kind == 2) {
            if (i + 1 >= argc || IsOption(argv[i + 1])) {
                error_ = arg + " needs a value";
                return false;
            }
            value = argv[++i];
        }
        values_[name] = value;
        repeated_[name].push_back(value);
    }
    return true;
}

std::vector<std::string> TCliArgs::GetAll(const std::string& name) const {
    const auto it = repeated_.find(name);
    return it == repeated_.end() ? std::vector<std::string>() : it->second;
}

std::string TCliArgs::Get(const std::string& name, const std::string& def) const {
    const auto it = values_.find(name);
    return it == values_.end() ? def : it->second;
}

bool TCliArgs::GetInt(const std::string& name, int& value) const {
    const auto it = values_.find(name);
    if (it == values_.end()) {
        return true;
    }
    int32_t parsed = 0;
    if (!ParseInt32(it->second, parsed)) {
        error_ = "--" + name + " needs a number, not \"" + it->second + "\"";
        return false;
    }
    value = parsed;
    return true;
}

bool ReadWholeFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream all;
    all << in.rdbuf();
    text = all.str();
    return !in.bad();
}

bool ReadSecretFile(const std::string& path, std::string& secret) {
    if (!ReadWholeFile(path, secret)) {
        return false;
    }
    while (!secret.empty() && (secret.back() == '\n' || secret.back() == '\r')) {
        secret.pop_back();
    }
    return true;
}

bool ParseNumberList(const std::string& text, std::vector<int32_t>& out) {
    out.clear();
    if (text.empty() || text.back() == ',') {
        return false;
    }
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        int32_t n = 0;
        if (!ParseInt32(item, n)) {
            return false;
        }
        out.push_back(n);
    }
    return true;
}

} // namespace tavrin::cli
