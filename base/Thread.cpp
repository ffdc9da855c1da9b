#include "base/Thread.h"

#include "base/Trace.h"

#include <chrono>
#include <exception>
#include <string>

namespace tavrin {

TThread::~TThread() {
    Terminate();
    WaitFor();
}

bool TThread::Start() {
    if (thread_.joinable()) {
        return false;
    }
    terminated_.store(false, std::memory_order_release);
    failed_.store(false, std::memory_order_release);
    running_.store(true, std::memory_order_release);
    thread_ = std::thread(&TThread::Run, this);
    return true;
}

void TThread::WaitFor() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) {
        thread_.join();
    }
}

void TThread::Run() {
    // No exception may leave a worker: it becomes a failed state and a trace line.
    try {
        Execute();
    } catch (const std::exception& e) {
        failed_.store(true, std::memory_order_release);
        Trace(std::string("thread ended by exception: ") + e.what());
    } catch (...) {
        failed_.store(true, std::memory_order_release);
        Trace("thread ended by exception");
    }
    running_.store(false, std::memory_order_release);
}

void SleepMs(unsigned ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace tavrin
