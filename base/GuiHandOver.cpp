#include "base/GuiHandOver.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace tavrin {

namespace {

// Shared by the waiting worker and the queued call, which may outlive the
// worker's wait when it gave up.
struct THandOver {
    enum class TStep { Queued, Running, Done, Dropped };
    std::mutex m;
    std::condition_variable cv;
    TStep step = TStep::Queued;
    std::function<void()> fn;
};

constexpr auto kGiveUpPoll = std::chrono::milliseconds(20);

// Held by the worker while it posts and taken by the call before it touches
// anything the worker made: Qt's event queue is not instrumented, so without
// this the thread sanitizer sees no order between the two threads.
std::mutex& PostLock() {
    static std::mutex lock;
    return lock;
}

} // namespace

bool RunOnThreadOf(QObject* context, std::function<void()> fn,
                   const std::function<bool()>& giveUp) {
    if (context == nullptr || !fn) {
        return false;
    }
    if (QThread::currentThread() == context->thread()) {
        fn();
        return true;
    }
    // Not Qt::BlockingQueuedConnection: its wait cannot give way to an owner
    // that is joining this thread, and its semaphore is invisible to the
    // thread sanitizer. The state below is guarded by a std::mutex instead.
    std::unique_lock posting(PostLock());
    auto state = std::make_shared<THandOver>();
    state->fn = std::move(fn);
    const bool posted = QMetaObject::invokeMethod(
        context,
        [state] {
            { std::lock_guard ordered(PostLock()); }
            {
                std::lock_guard lock(state->m);
                if (state->step == THandOver::TStep::Dropped) {
                    return;
                }
                state->step = THandOver::TStep::Running;
            }
            state->fn();
            std::lock_guard lock(state->m);
            state->step = THandOver::TStep::Done;
            state->cv.notify_all();
        },
        Qt::QueuedConnection);
    posting.unlock();
    if (!posted) {
        return false;
    }
    std::unique_lock lock(state->m);
    while (state->step != THandOver::TStep::Done) {
        if (state->step == THandOver::TStep::Queued && giveUp && giveUp()) {
            state->step = THandOver::TStep::Dropped;
            return false;
        }
        state->cv.wait_for(lock, kGiveUpPoll);
    }
    return true;
}

} // namespace tavrin
