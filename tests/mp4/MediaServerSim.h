// Runs tools/mediaserver-sim from the build folder on 127.0.0.1 with a free
// port, logging into a folder of the test; stopped when it goes out of scope.
#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tavrin::test {

class TMediaServerSim {
public:
    TMediaServerSim(const std::string& logDir, const std::vector<std::string>& extra = {});
    ~TMediaServerSim();
    TMediaServerSim(const TMediaServerSim&) = delete;
    TMediaServerSim& operator=(const TMediaServerSim&) = delete;

    // 0 when the simulator did not come up.
    int Port() const { return port_; }
    std::vector<std::string> Events() const;
    size_t CountEvents(const std::string& prefix) const;
    // Waits (up to timeoutMs, a time-out only) until an event starting with
    // prefix was logged count times.
    bool WaitForEvent(const std::string& prefix, size_t count = 1, int timeoutMs = 30000) const;
    // Every stored frame block (13-byte head + payload), in arrival order.
    std::vector<std::vector<uint8_t>> Frames() const;

private:
    std::string dir_;
    pid_t pid_ = -1;
    int port_ = 0;
};

// Waits up to timeoutMs for check() to hold; a time-out, not a timing assertion.
template <typename Check> bool WaitUntil(Check check, int timeoutMs = 30000);

} // namespace tavrin::test

#include <chrono>
#include <thread>

template <typename Check> bool tavrin::test::WaitUntil(Check check, int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 10) {
        if (check()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return check();
}
