// Runs tools/phone-sim on a loopback address and stops it when it goes out
// of scope; helpers to pump the Qt event loop in tests.
#pragma once

#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tavrin::test {

class TPhoneSim {
public:
    // bind: 127.0.0.x. The simulator writes the commands it receives to
    // LogPath(). Extra arguments are passed on (e.g. "--drop-after", "40").
    TPhoneSim(const std::string& bind, const std::vector<std::string>& extra = {});
    ~TPhoneSim();
    TPhoneSim(const TPhoneSim&) = delete;
    TPhoneSim& operator=(const TPhoneSim&) = delete;

    bool Ready() const { return ready_; }
    const std::string& LogPath() const { return log_; }
    // The log's lines that begin with prefix.
    std::vector<std::string> LogLines(const std::string& prefix) const;
    // Kills the simulator at once (the phone disappears).
    void Kill();

private:
    pid_t pid_ = -1;
    bool ready_ = false;
    std::string log_;
};

// The process's QCoreApplication, made on first use.
void EnsureQtApp();

// Runs the event loop until done() is true or timeoutMs passed; returns done().
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 20000);

} // namespace tavrin::test
