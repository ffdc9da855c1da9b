#include "tests/decode/XvfbServer.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tavrin::test {

TXvfbServer::TXvfbServer(int w, int h) {
    int fds[2];
    if (::pipe(fds) != 0) {
        return;
    }
    // -displayfd: Xvfb takes the first free display and writes its number.
    const std::string fd = std::to_string(fds[1]);
    const std::string screen = std::to_string(w) + "x" + std::to_string(h) + "x24";
    // -noreset: a server resetting after its last client left refuses the
    // next one for a moment.
    const char* argv[] = {"Xvfb",         "-displayfd", fd.c_str(), "-screen",  "0",
                          screen.c_str(), "-nolisten",  "tcp",      "-noreset", nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    // The server's own words are kept: a server that is gone says why there.
    const char* tmp = std::getenv("TMPDIR");
    std::string log = std::string(tmp != nullptr && *tmp != 0 ? tmp : "/tmp") + "/xvfb-XXXXXX";
    const int logFd = ::mkstemp(log.data());
    if (logFd >= 0) {
        logPath_ = log;
        ::close(logFd);
    }
    const char* logFile = logPath_.empty() ? "/dev/null" : logPath_.c_str();
    posix_spawn_file_actions_addopen(&actions, 1, logFile, O_WRONLY | O_APPEND, 0);
    posix_spawn_file_actions_addopen(&actions, 2, logFile, O_WRONLY | O_APPEND, 0);
    const int spawned =
        posix_spawnp(&pid_, "Xvfb", &actions, nullptr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (spawned != 0) {
        pid_ = -1;
        ::close(fds[0]);
        return;
    }
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    char c = 0;
    while (::poll(&p, 1, 20000) > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n') {
        number += c;
    }
    ::close(fds[0]);
    if (number.empty()) {
        return;
    }
    display_ = ":" + number;
    ::setenv("DISPLAY", display_.c_str(), 1);
}

TXvfbServer::~TXvfbServer() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
    }
    if (!logPath_.empty()) {
        ::unlink(logPath_.c_str());
    }
}

std::string TXvfbServer::Log() const {
    std::ifstream in(logPath_);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace tavrin::test
