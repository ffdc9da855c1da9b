#include "tests/support/NginxRtmp.h"

#include "base/Thread.h"

#include <arpa/inet.h>
#include <csignal>
#include <fstream>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace tavrin::test {

namespace {

bool Accepts(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(uint16_t(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0;
    ::close(fd);
    return ok;
}

} // namespace

int FreeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof(addr);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}

NginxRtmp::NginxRtmp(const std::string& dir, int port)
    : dir_(dir), port_(port != 0 ? port : FreeLoopbackPort()) {
    ::mkdir((dir_ + "/rec").c_str(), 0777);
    ::mkdir((dir_ + "/logs").c_str(), 0777);
    std::ofstream conf(dir_ + "/nginx.conf");
    conf << "load_module /usr/lib/nginx/modules/ngx_rtmp_module.so;\n"
            "daemon off;\nmaster_process off;\n"
            "pid "
         << dir_ << "/nginx.pid;\nerror_log " << dir_
         << "/error.log info;\n"
            "events { worker_connections 64; }\n"
            "rtmp { server { listen 127.0.0.1:"
         << port_
         << ";\n"
            "  application live { live on; record all; record_unique off;\n"
            "    record_path "
         << dir_ << "/rec; } } }\n";
    conf.close();

    std::vector<std::string> args = {"nginx", "-p", dir_, "-c", dir_ + "/nginx.conf"};
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    if (posix_spawnp(&pid_, "nginx", nullptr, nullptr, argv.data(), environ) != 0) {
        pid_ = -1;
        return;
    }
    for (int t = 0; t < 10000 && !listening_; t += 20) {
        listening_ = Accepts(port_);
        if (!listening_) {
            SleepMs(20);
        }
    }
}

NginxRtmp::~NginxRtmp() {
    Freeze(false); // a stopped process would keep its SIGTERM pending
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
}

void NginxRtmp::Freeze(bool frozen) {
    if (pid_ > 0 && frozen != frozen_) {
        ::kill(pid_, frozen ? SIGSTOP : SIGCONT);
        frozen_ = frozen;
    }
}

std::string NginxRtmp::Url(const std::string& stream) const {
    return "rtmp://127.0.0.1:" + std::to_string(port_) + "/live/" + stream;
}

std::string NginxRtmp::Recording(const std::string& stream) const {
    return dir_ + "/rec/" + stream + ".flv";
}

bool NginxRtmp::WaitRecordingClosed(const std::string& /*stream*/, int waitMs) const {
    // nginx closes a recording when its publisher disconnects; the first
    // disconnect logged is the start-up probe's.
    for (int t = 0; t < waitMs; t += 50) {
        std::ifstream log(dir_ + "/error.log");
        std::string line;
        int disconnects = 0;
        while (std::getline(log, line)) {
            disconnects += line.find(" disconnect, client") != std::string::npos ? 1 : 0;
        }
        if (disconnects >= 2) {
            return true;
        }
        SleepMs(50);
    }
    return false;
}

} // namespace tavrin::test
