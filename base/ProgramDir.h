// The program's folder: where vo.ini, sy.otf and the help texts live.
#pragma once

#include <string>

namespace tavrin {

// Folder of the running executable, without a trailing separator.
std::string ProgramDir();
// ProgramDir() + "/" + name.
std::string ProgramFile(const std::string& name);

// Where a file the program writes beside itself lives: the program folder
// when the user may write there, else $XDG_CONFIG_HOME/tavrin (or
// ~/.config/tavrin) — an installed program's folder belongs to root. A copy
// in the program folder (the installed defaults) seeds the user's file the
// first time.
std::string UserFile(const std::string& name);
// The settings file vo.ini.
inline std::string SettingsFile() {
    return UserFile("vo.ini");
}

// The build's version as "major.minor.release.build".
const char* ProgramVersion();

} // namespace tavrin
