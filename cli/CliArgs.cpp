#include "cli/CliArgs.h"

#include "base/IniFile.h"

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

} // namespace tavrin::cli
