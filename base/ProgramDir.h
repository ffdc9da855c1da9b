// The program's folder: where vo.ini, sy.otf and the help texts live.
#pragma once

#include <string>

namespace tavrin {

// Folder of the running executable, without a trailing separator.
std::string ProgramDir();
// ProgramDir() + "/" + name.
std::string ProgramFile(const std::string& name);

// Where a file the program writes beside itself lives: the program folder
// when the user may write there and it is not an installed one (under /opt
// or /usr, which belong to the package manager, root included), else
// $XDG_CONFIG_HOME/tavrin (or ~/.config/tavrin). A copy in the program folder
// (defaults left there by an administrator) seeds the user's file the first
// time.
std::string UserFile(const std::string& name);
// The settings file vo.ini.
inline std::string SettingsFile() {
    return UserFile("vo.ini");
}

// The settings a school sets once for every user of an installed console.
inline constexpr char kSystemSettingsFile[] = "/etc/tavrin/vo.ini";
// The file a settings file takes the keys it lacks from: the system-wide one
// for a user's own vo.ini in the config folder; none for a vo.ini beside the
// program (a build or a copied program folder) or anywhere else.
std::string SettingsFallback(const std::string& iniPath);

// The build's version as "major.minor.release.build".
const char* ProgramVersion();

} // namespace tavrin
