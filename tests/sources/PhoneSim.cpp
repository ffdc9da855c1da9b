#include "tests/sources/PhoneSim.h"

#include "tests/support/ChildProcess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tavrin::test {

TPhoneSim::TPhoneSim(const std::string& bind, const std::vector<std::string>& extra) {
    char pattern[] = "/tmp/phone-sim-log-XXXXXX";
    const int fd = ::mkstemp(pattern);
    if (fd >= 0) {
        ::close(fd);
    }
    log_ = pattern;
    // One second of looped media keeps the start-up short.
    std::vector<std::string> args = {
        "/usr/bin/python3", TAVRIN_PHONE_SIM, "--bind", bind, "--seconds", "1", "--log", log_};
    args.insert(args.end(), extra.begin(), extra.end());
    std::string line;
    pid_ = SpawnAndReadFirstLine(args, 60000, line);
    ready_ = line.rfind("phone-sim listening on " + bind + ":", 0) == 0;
}

TPhoneSim::~TPhoneSim() {
    Kill();
    ::unlink(log_.c_str());
}

void TPhoneSim::Kill() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }
}

std::vector<std::string> TPhoneSim::LogLines(const std::string& prefix) const {
    std::vector<std::string> lines;
    std::ifstream in(log_);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(prefix, 0) == 0) {
            lines.push_back(line);
        }
    }
    return lines;
}

void EnsureQtApp() {
    static int argc = 1;
    static char name[] = "sources_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) {
        // Kept to the end of the process on purpose: destroyed by the exit
        // handlers it would outlive Qt's own statics and crash.
        static QCoreApplication* app = new QCoreApplication(argc, argv);
        (void)app;
    }
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    EnsureQtApp();
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        ::usleep(2000);
    }
    return done();
}

} // namespace tavrin::test
