// What the console's window tests share: a drive classifier that finds every
// folder on a roomy fixed drive, and the output of an outside command.
#pragma once

#include "base/StorageDrive.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace tavrin::test {

class TRoomyDrives : public TDriveClassifier {
public:
    bool IsFixed(const std::string&) const override { return true; }
    bool SameDrive(const std::string&, const std::string&) const override { return false; }
    uint64_t FreeBytes(const std::string&) const override { return uint64_t(1) << 40; }
};

// Everything the command prints on its standard output.
inline std::string Output(const std::string& command) {
    std::string out;
    if (FILE* f = ::popen(command.c_str(), "r")) {
        char buf[4096];
        size_t n = 0;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
            out.append(buf, n);
        }
        ::pclose(f);
    }
    return out;
}

} // namespace tavrin::test
