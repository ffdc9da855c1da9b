#include "base/Message.h"
#include "base/Thread.h"
#include "base/Trace.h"

#include <atomic>
#include <gtest/gtest.h>
#include <stdexcept>

namespace tavrin {
namespace {

TEST(Messages, RecorderAnswersAsQueuedThenCautiously) {
    TMessageRecorder recorder;
    recorder.QueueAnswer(TMsgAnswer::Yes);
    EXPECT_EQ(ShowMessage("确定删除?", TMsgIcon::Question, TMsgButtons::YesNo), TMsgAnswer::Yes);
    EXPECT_EQ(ShowMessage("再问一次", TMsgIcon::Question, TMsgButtons::YesNo), TMsgAnswer::No);
    EXPECT_EQ(ShowMessage("提示"), TMsgAnswer::Ok);
    const auto shown = recorder.Messages();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].text, "确定删除?");
    EXPECT_EQ(shown[2].icon, TMsgIcon::Information);

    EndProcess();
    EXPECT_EQ(recorder.EndProcessCount(), 1);
}

TEST(Trace, LinesCarryThePrefix) {
    TTraceCapture capture;
    Trace("rtmp connect ok");
    EXPECT_TRUE(capture.Contains("----ss---rtmp connect ok"));
    EXPECT_EQ(capture.Lines().size(), 1u);
}

class CountingThread : public TThread {
public:
    ~CountingThread() override {
        Terminate();
        WaitFor();
    }
    std::atomic<int> loops{0};
    bool throwNow = false;

protected:
    void Execute() override {
        while (!Terminated()) {
            if (throwNow) {
                throw std::runtime_error("decoder gone");
            }
            ++loops;
            SleepMs(1);
        }
    }
};

TEST(Thread, RunsUntilTerminatedAndJoinsTwiceHarmlessly) {
    CountingThread t;
    ASSERT_TRUE(t.Start());
    EXPECT_FALSE(t.Start());
    while (t.loops < 3) {
        SleepMs(1);
    }
    t.Terminate();
    t.WaitFor();
    t.WaitFor();
    EXPECT_FALSE(t.Running());
    EXPECT_FALSE(t.Failed());
}

TEST(Thread, ExceptionBecomesFailedStateAndTrace) {
    TTraceCapture capture;
    CountingThread t;
    t.throwNow = true;
    ASSERT_TRUE(t.Start());
    t.WaitFor();
    EXPECT_TRUE(t.Failed());
    EXPECT_TRUE(capture.Contains("----ss---thread ended by exception: decoder gone"));
}

} // namespace
} // namespace tavrin
