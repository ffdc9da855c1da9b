#include "tests/mp4/MediaServerSim.h"

#include "base/MediaFrame.h"
#include "tests/base/TempDir.h"
#include "tests/support/ChildProcess.h"

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
    std::string line;
    pid_ = SpawnAndReadFirstLine(args, 30000, line);
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
