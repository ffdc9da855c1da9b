#include "platform/PlatformSettings.h"

#include "base/IniFile.h"
#include "base/ProgramDir.h"
#include "base/Trace.h"

namespace tavrin {

THttpsSettings LoadPlatformSettings(const std::string& iniPath) {
    TIniFile ini(iniPath, SettingsFallback(iniPath));
    const auto ensure = [&ini](const char* key, const std::string& def) {
        if (!ini.KeyExists(kPlatformSection, key) && !ini.WriteString(kPlatformSection, key, def)) {
            Trace("vo.ini cannot be written: " + ini.Path());
        }
    };
    ensure("Host", kDefaultPlatformHost);
    ensure("Port", std::to_string(kDefaultPlatformPort));
    ensure("CAFile", "");

    THttpsSettings settings;
    settings.Host = ini.ReadString(kPlatformSection, "Host", kDefaultPlatformHost);
    if (settings.Host.empty()) {
        settings.Host = kDefaultPlatformHost;
    }
    settings.Port = ini.ReadInteger(kPlatformSection, "Port", kDefaultPlatformPort);
    if (settings.Port <= 0 || settings.Port > 65535) {
        settings.Port = kDefaultPlatformPort;
    }
    settings.CAFile = ini.ReadString(kPlatformSection, "CAFile", "");
    if (!settings.CAFile.empty() && settings.CAFile.front() != '/') {
        // Relative to the file that names it: the school's CA sits beside
        // the system-wide vo.ini.
        const std::string source = ini.SourceOf(kPlatformSection, "CAFile");
        const size_t slash = source.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : source.substr(0, slash);
        settings.CAFile = folder + "/" + settings.CAFile;
    }
    return settings;
}

} // namespace tavrin
