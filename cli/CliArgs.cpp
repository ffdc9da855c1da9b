#include "cli/CliArgs.h"

#include "base/IniFile.h"

#include <fstream>
#include <sstream>

namespace tavrin::cli {

bool TCliArgs::Parse(int argc, char** argv, int first, bool takesWord) {
    int i = first;
    if (takesWord && i < argc && std::string(argv[i]).rfind("--", 0) != 0) {
        word_ = argv[i++];
    }
    for (; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--", 0) != 0 || arg.size() < 3) {
            error_ = "unexpected argument: " + arg;
            return false;
        }
        const bool isSwitch = i + 1 >= argc || std::string(argv[i + 1]).rfind("--", 0) == 0;
        const std::string value = isSwitch ? "" : argv[++i];
        values_[arg.substr(2)] = value;
        repeated_[arg.substr(2)].push_back(value);
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
