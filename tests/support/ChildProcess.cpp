#include "tests/support/ChildProcess.h"

#include <poll.h>
#include <unistd.h>

namespace tavrin::test {

pid_t SpawnAndReadFirstLine(std::vector<std::string> args, int waitMs, std::string& firstLine) {
    firstLine.clear();
    // Built before the fork: the child only calls what is safe there.
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    int out[2];
    if (::pipe(out) != 0) {
        return -1;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        ::close(out[1]);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    pollfd p{out[0], POLLIN, 0};
    while (pid > 0 && firstLine.find('\n') == std::string::npos && ::poll(&p, 1, waitMs) == 1) {
        char buffer[256];
        const ssize_t n = ::read(out[0], buffer, sizeof(buffer));
        if (n <= 0) {
            break;
        }
        firstLine.append(buffer, size_t(n));
    }
    ::close(out[0]);
    return pid;
}

} // namespace tavrin::test
