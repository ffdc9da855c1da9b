#include "tests/support/PlatformSim.h"

#include "tests/support/ChildProcess.h"

#include <csignal>
#include <cstdlib>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tavrin::test {

std::string PlatformSimDir() {
    return TAVRIN_PLATFORM_SIM_DIR;
}

TPlatformSim::TPlatformSim(const std::string& accountsFile, const std::vector<std::string>& extra,
                           const std::string& certName) {
    const std::string dir = PlatformSimDir();
    std::vector<std::string> args = {"/usr/bin/python3",
                                     dir + "/platform-sim.py",
                                     "--port",
                                     "0",
                                     "--quiet",
                                     "--cert",
                                     dir + "/" + certName + "-cert.pem",
                                     "--key",
                                     dir + "/" + certName + "-key.pem",
                                     "--accounts",
                                     accountsFile};
    args.insert(args.end(), extra.begin(), extra.end());
    // The first line is "platform-sim listening on 127.0.0.1:PORT".
    std::string line;
    pid_ = SpawnAndReadFirstLine(args, 30000, line);
    const size_t colon = line.rfind(':');
    if (line.rfind("platform-sim listening on 127.0.0.1:", 0) == 0 && colon != std::string::npos) {
        port_ = std::atoi(line.c_str() + colon + 1);
    }
}

TPlatformSim::~TPlatformSim() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
}

} // namespace tavrin::test
