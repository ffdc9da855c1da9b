#include "base/ProgramDir.h"

#include <climits>
#include <unistd.h>

#include "base/Version.h"

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

std::string ProgramFile(const std::string& name) { return ProgramDir() + "/" + name; }

const char* ProgramVersion() { return kTavrinVersion; }

} // namespace tavrin
