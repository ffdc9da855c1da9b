#include "base/ProgramDir.h"

#include "base/Version.h"

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace tavrin {

std::string ProgramDir() {
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (length <= 0) {
        return ".";
    }
    std::string path(buffer, size_t(length));
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

std::string ProgramFile(const std::string& name) {
    return ProgramDir() + "/" + name;
}

namespace {

std::string UserConfigDir() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') {
        return std::string(xdg) + "/tavrin";
    }
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "/tmp") + "/.config/tavrin";
}

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

// Installed program folders are static: nothing is written there.
bool IsInstalledFolder(const std::string& dir) {
    return StartsWith(dir, "/opt/") || StartsWith(dir, "/usr/");
}

} // namespace

std::string UserFile(const std::string& name) {
    const std::string dir = ProgramDir();
    if (!IsInstalledFolder(dir) && ::access(dir.c_str(), W_OK) == 0) {
        return dir + "/" + name;
    }
    namespace fs = std::filesystem;
    const std::string configDir = UserConfigDir();
    std::string path = configDir + "/" + name;
    std::error_code ec;
    fs::create_directories(configDir, ec);
    const std::string installed = dir + "/" + name;
    if (!fs::exists(path, ec) && fs::exists(installed, ec)) {
        fs::copy_file(installed, path, ec);
    }
    return path;
}

std::string SettingsFallback(const std::string& iniPath) {
    return iniPath == UserConfigDir() + "/vo.ini" ? kSystemSettingsFile : std::string();
}

const char* ProgramVersion() {
    return kTavrinVersion;
}

} // namespace tavrin
