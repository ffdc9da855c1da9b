#include "tests/platform/SimProcess.h"

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
    // Built before the fork: the child only calls what is safe there.
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    int out[2];
    if (::pipe(out) != 0) {
        return;
    }
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        ::close(out[1]);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    // The first line is "platform-sim listening on 127.0.0.1:PORT".
    std::string line;
    pollfd p{out[0], POLLIN, 0};
    while (line.find('\n') == std::string::npos && ::poll(&p, 1, 30000) == 1) {
        char buffer[256];
        const ssize_t n = ::read(out[0], buffer, sizeof(buffer));
        if (n <= 0) {
            break;
        }
        line.append(buffer, size_t(n));
    }
    ::close(out[0]);
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
