// A private Xvfb for GUI tests: started on a display number it picks itself,
// stopped when the object goes.
#pragma once

#include <string>
#include <sys/types.h>

namespace tavrin::test {

class TXvfbServer {
public:
    // Starts Xvfb with one 24-bit screen of w x h and points DISPLAY at it.
    TXvfbServer(int w = 1600, int h = 1000);
    ~TXvfbServer();
    TXvfbServer(const TXvfbServer&) = delete;
    TXvfbServer& operator=(const TXvfbServer&) = delete;

    bool Ok() const { return !display_.empty(); }
    const std::string& Display() const { return display_; }
    // What the server itself wrote, for a test that cannot have it.
    std::string Log() const;

private:
    pid_t pid_ = -1;
    std::string display_;
    std::string logPath_;
};

} // namespace tavrin::test
