#include "tests/mp4/MediaServerSim.h"

#include "base/MediaFrame.h"
#include "tests/base/TempDir.h"

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace tavrin::test {

TMediaServerSim::TMediaServerSim(const std::string& logDir, const std::vector<std::string>& extra)
    : dir_(logDir) {
    std::vector<std::string> args = {"/usr/bin/python3",
                                     std::string(TAVRIN_MEDIASERVER_SIM_DIR) +
                                         "/mediaserver-sim.py",
                                     "--port",
                                     "0",
                                     "--log",
                                     logDir};
    args.insert(args.end(), extra.begin(), extra.end());
    // Built before the fork: the child only calls what is safe there.
    std::vector<char*> argv;
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
    const std::string expect = "mediaserver-sim listening on 127.0.0.1:";
    if (line.rfind(expect, 0) == 0) {
        port_ = std::atoi(line.c_str() + expect.size());
    }
}

TMediaServerSim::~TMediaServerSim() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
}

std::vector<std::string> TMediaServerSim::Events() const {
    std::vector<std::string> lines;
    std::ifstream in(dir_ + "/events.txt");
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

size_t TMediaServerSim::CountEvents(const std::string& prefix) const {
    size_t count = 0;
    for (const std::string& e : Events()) {
        count += e.rfind(prefix, 0) == 0 ? 1 : 0;
    }
    return count;
}

bool TMediaServerSim::WaitForEvent(const std::string& prefix, size_t count, int timeoutMs) const {
    return WaitUntil([&] { return CountEvents(prefix) >= count; }, timeoutMs);
}

std::vector<std::vector<uint8_t>> TMediaServerSim::Frames() const {
    std::ifstream in(dir_ + "/frames.bin", std::ios::binary);
    const std::vector<uint8_t> all((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
    std::vector<std::vector<uint8_t>> frames;
    size_t pos = 0;
    while (pos < all.size()) {
        const size_t length = CompleteMediaFrameLength(std::span(all).subspan(pos));
        if (length == 0) {
            break;
        }
        frames.emplace_back(all.begin() + std::ptrdiff_t(pos),
                            all.begin() + std::ptrdiff_t(pos + length));
        pos += length;
    }
    return frames;
}

} // namespace tavrin::test
