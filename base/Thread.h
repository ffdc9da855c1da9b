// The worker thread base: a derived class puts its loop in Execute and polls
// Terminated(). The owner calls Terminate, WaitFor and then frees it.
#pragma once

#include <atomic>
#include <thread>

namespace tavrin {

class TThread {
public:
    TThread() = default;
    // Stops and joins a thread still running. A derived class whose Execute
    // touches its own members must stop the thread in its own destructor.
    virtual ~TThread();
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    // Starts Execute on a new thread; false when it already runs.
    bool Start();
    void Terminate() { terminated_.store(true, std::memory_order_release); }
    // Joins the thread; harmless when it never started or was already joined.
    void WaitFor();

    bool Terminated() const { return terminated_.load(std::memory_order_acquire); }
    bool Running() const { return running_.load(std::memory_order_acquire); }
    // True when Execute ended with an exception (traced, not rethrown).
    bool Failed() const { return failed_.load(std::memory_order_acquire); }

protected:
    virtual void Execute() = 0;

private:
    void Run();

    std::thread thread_;
    std::atomic<bool> terminated_{false};
    std::atomic<bool> running_{false};
    std::atomic<bool> failed_{false};
};

// Sleeps the calling thread for ms milliseconds.
void SleepMs(unsigned ms);

} // namespace tavrin
