// A real RTMP server for tests: nginx with its RTMP module on 127.0.0.1,
// recording every published stream into an FLV file.
#pragma once

#include <string>
#include <sys/types.h>

namespace tavrin::test {

class NginxRtmp {
public:
    // Starts nginx in dir on a free port and waits (bounded) until it listens.
    // A port of 0 picks a free one.
    explicit NginxRtmp(const std::string& dir, int port = 0);
    ~NginxRtmp();
    NginxRtmp(const NginxRtmp&) = delete;
    NginxRtmp& operator=(const NginxRtmp&) = delete;

    bool Listening() const { return listening_; }
    int Port() const { return port_; }
    std::string Url(const std::string& stream) const;
    // The recording of a stream; complete once its publisher disconnected.
    std::string Recording(const std::string& stream) const;
    // Waits (bounded) until nginx has closed the stream's recording.
    bool WaitRecordingClosed(const std::string& stream, int waitMs) const;
    // Stops or resumes the server process: its connections stay open but
    // nothing more is read, as behind a link that drops every packet.
    void Freeze(bool frozen);

private:
    std::string dir_;
    int port_ = 0;
    pid_t pid_ = -1;
    bool listening_ = false;
    bool frozen_ = false;
};

// A TCP port on 127.0.0.1 that nobody listens on right now.
int FreeLoopbackPort();

} // namespace tavrin::test
