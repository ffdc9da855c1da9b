// The program's folder: where vo.ini, sy.otf and the help texts live.
#pragma once

#include <string>

namespace tavrin {

// Folder of the running executable, without a trailing separator.
std::string ProgramDir();
// ProgramDir() + "/" + name.
std::string ProgramFile(const std::string& name);

// The build's version as "major.minor.release.build".
const char* ProgramVersion();

} // namespace tavrin
