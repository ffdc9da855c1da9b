// Runs tools/platform-sim from the build folder on 127.0.0.1 with a free
// port and stops it when it goes out of scope.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace tavrin::test {

// The folder the build put the simulator and its certificates in.
std::string PlatformSimDir();

class TPlatformSim {
public:
    // Extra arguments are passed to the simulator (e.g. "--delay", "5").
    // certName: "platform" (the trusted certificate) or "untrusted".
    TPlatformSim(const std::string& accountsFile, const std::vector<std::string>& extra = {},
                 const std::string& certName = "platform");
    ~TPlatformSim();
    TPlatformSim(const TPlatformSim&) = delete;
    TPlatformSim& operator=(const TPlatformSim&) = delete;

    // 0 when the simulator did not come up.
    int Port() const { return port_; }

private:
    pid_t pid_ = -1;
    int port_ = 0;
};

} // namespace tavrin::test
