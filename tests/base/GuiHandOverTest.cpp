// Hand-over to the GUI thread: the work runs on the owner's thread and the
// worker waits for it, or gives up while it is still queued.
#include "base/GuiHandOver.h"

#include <QCoreApplication>
#include <QObject>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace tavrin {
namespace {

class GuiHandOverTest : public ::testing::Test {
protected:
    int argc = 1;
    char name[16] = "base_tests";
    char* argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
    QObject gui; // lives on this (the "GUI") thread
};

TEST_F(GuiHandOverTest, WorkRunsOnTheOwnersThreadAndTheWorkerWaitsForIt) {
    std::atomic<bool> returned{false};
    bool result = false;
    QThread* ranOn = nullptr;
    int value = 0; // written on the GUI thread, read by the worker after the call
    int seen = -1;
    std::thread worker([&] {
        result = RunOnThreadOf(&gui, [&] {
            ranOn = QThread::currentThread();
            value = 42;
        });
        seen = value;
        returned = true;
    });
    while (!returned) {
        QCoreApplication::processEvents();
        std::this_thread::yield();
    }
    worker.join();
    EXPECT_TRUE(result);
    EXPECT_EQ(ranOn, QThread::currentThread());
    EXPECT_EQ(seen, 42);

    // On the owner's own thread the work runs at once.
    bool direct = false;
    EXPECT_TRUE(RunOnThreadOf(&gui, [&] { direct = true; }));
    EXPECT_TRUE(direct);
    EXPECT_FALSE(RunOnThreadOf(nullptr, [] {}));
}

TEST_F(GuiHandOverTest, AWorkerThatGivesUpDropsTheQueuedWork) {
    // The GUI thread is busy (it joins the worker), as when an owner stops a
    // worker: the wait must give way instead of deadlocking.
    std::atomic<bool> stop{false};
    bool ran = false;
    bool result = true;
    std::thread worker([&] {
        result = RunOnThreadOf(
            &gui, [&] { ran = true; }, [&] { return stop.load(); });
    });
    stop = true;
    worker.join();
    EXPECT_FALSE(result);
    QCoreApplication::processEvents(); // the dropped call arrives and does nothing
    EXPECT_FALSE(ran);
}

} // namespace
} // namespace tavrin
