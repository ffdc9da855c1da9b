// The store across processes: a recorder killed mid-block, and the
// exclusive hold of a lesson between a recording and a reading process.
#include "base/MediaFrame.h"
#include "base/Message.h"
#include "tests/base/TempDir.h"
#include "tests/output/StoreTestKit.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tavrin {
namespace {

constexpr int kLesson = 4711;

// A child process running body(reportFd); the parent reads its reports.
class TChild {
public:
    template <typename Body> explicit TChild(Body body) {
        int fds[2];
        if (::pipe(fds) != 0) {
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(fds[0]);
            body(fds[1]);
            for (;;) {
                ::pause(); // until the parent kills it
            }
        }
        ::close(fds[1]);
        fd_ = fds[0];
    }
    ~TChild() {
        Kill();
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    bool Started() const { return pid_ > 0 && fd_ >= 0; }
    // The next report byte, '?' when the child died without one.
    char Report() {
        char c = '?';
        return ::read(fd_, &c, 1) == 1 ? c : '?';
    }
    void Kill() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

private:
    pid_t pid_ = -1;
    int fd_ = -1;
};

void Report(int fd, char c) {
    if (::write(fd, &c, 1) != 1) {
        ::_exit(4);
    }
}

class StoreProcessTest : public ::testing::Test {
protected:
    void SetUp() override { paths.initialize(dir.Path(), "1001"); }

    // Checks every closed block of the lesson frame by frame; returns the
    // number of blocks and the next sequence number after the last frame.
    int CheckLesson(uint32_t firstSeq, int64_t& lastSeq) {
        TReadAV reader;
        reader.initialize(paths);
        EXPECT_EQ(reader.OpenLession(kLesson), 0);
        const auto blocks = test::Blocks(reader);
        for (size_t k = 0; k < blocks.size(); ++k) {
            EXPECT_EQ(blocks[k].pos, k == 0 ? 0 : blocks[k - 1].pos + blocks[k - 1].Length);
            EXPECT_EQ(blocks[k].VideoCount, 25) << k;
            EXPECT_EQ(blocks[k].AudioCount, 47) << k;
        }
        const auto back = test::ReadAll(reader, false);
        EXPECT_EQ(back.badFrames, 0);
        EXPECT_EQ(back.frames.size(), blocks.size() * 72);
        lastSeq = -1;
        for (size_t i = 0; i < back.frames.size(); ++i) {
            if (i % 72 == 0) {
                EXPECT_EQ(back.frames[i].type, kFrameH264Key);
            }
            // Frames follow each other without a gap, except where the
            // second run starts.
            if (lastSeq >= 0 && back.frames[i].seq != int64_t(firstSeq)) {
                EXPECT_EQ(back.frames[i].seq, lastSeq + 1) << i;
            }
            lastSeq = back.frames[i].seq;
        }
        return int(blocks.size());
    }

    test::TempDir dir;
    TGetLessionInfo paths;
};

TEST_F(StoreProcessTest, RecorderKilledMidBlockLosesOnlyTheOpenBlock) {
    for (const bool pauseMidBlock : {true, false}) {
        SCOPED_TRACE(pauseMidBlock ? "stopped half-way through a block" : "killed while writing");
        std::filesystem::remove_all(dir.Path() + "/1001");
        TChild child([&](int fd) {
            TSaveAV rec;
            rec.Create(paths);
            if (rec.NewLession(kLesson, 1280, 720) != 0) {
                Report(fd, 'x');
                return;
            }
            rec.SetCaptureState(true);
            uint32_t seq = 0;
            for (int s = 0; s < 3; ++s) {
                test::PushSecond(rec, seq);
            }
            if (pauseMidBlock) {
                // Half a second into the fourth block, then stop dead.
                for (int i = 0; i < 12; ++i) {
                    const auto p = test::MakeFrame(i == 0 ? kFrameH264Key : kFrameH264, seq++);
                    rec.PushH264(p.data(), int(p.size()), i == 0 ? kFrameH264Key : kFrameH264);
                }
                Report(fd, 'r');
                for (;;) {
                    ::pause(); // dead still, the recorder never ends the lesson
                }
            }
            Report(fd, 'r');
            // Keep recording flat out until the kill lands somewhere in a block.
            for (int s = 1; s <= 3000; ++s) {
                test::PushSecond(rec, seq);
                if (s % 50 == 0) {
                    Report(fd, 'r');
                }
            }
            for (;;) {
                ::pause();
            }
        });
        ASSERT_TRUE(child.Started());
        ASSERT_EQ(child.Report(), 'r');
        if (!pauseMidBlock) {
            // Killed while it writes, somewhere after 150 more seconds.
            for (int i = 0; i < 3; ++i) {
                ASSERT_EQ(child.Report(), 'r');
            }
        }
        child.Kill();

        int64_t lastSeq = -1;
        const int closed = CheckLesson(0, lastSeq);
        if (pauseMidBlock) {
            EXPECT_EQ(closed, 3);
            EXPECT_EQ(lastSeq, 3 * 72 - 1);
        } else {
            EXPECT_GE(closed, 3 + 150 - 1);
        }

        // The next run appends after the last closed block and overwrites
        // whatever the killed run left behind it.
        TSaveAV rec;
        rec.Create(paths);
        ASSERT_EQ(rec.NewLession(kLesson, 1280, 720), 0);
        rec.SetCaptureState(true);
        uint32_t seq = 1000000;
        test::PushSecond(rec, seq);
        test::PushSecond(rec, seq);
        rec.EndLession();
        EXPECT_EQ(CheckLesson(1000000, lastSeq), closed + 2);
        EXPECT_EQ(lastSeq, int64_t(seq - 1));
    }
}

TEST_F(StoreProcessTest, ARecordingLessonCannotBeReadAndAReadLessonCannotBeRecorded) {
    {
        TChild recorder([&](int fd) {
            TSaveAV rec;
            rec.Create(paths);
            if (rec.NewLession(kLesson, 1280, 720) != 0) {
                Report(fd, 'x');
                return;
            }
            rec.SetCaptureState(true);
            uint32_t seq = 0;
            test::PushSecond(rec, seq);
            test::PushSecond(rec, seq);
            Report(fd, 'r');
            for (;;) {
                ::pause(); // the recorder stays alive, holding the lesson
            }
        });
        ASSERT_TRUE(recorder.Started());
        ASSERT_EQ(recorder.Report(), 'r');

        TReadAV reader;
        reader.initialize(paths);
        EXPECT_EQ(reader.OpenLession(kLesson), TReadAV::kIndexNotOpened);

        TMessageRecorder messages;
        TSaveAV second;
        second.Create(paths);
        EXPECT_EQ(second.NewLession(kLesson, 1280, 720), TSaveAV::kIndexFailed);
        ASSERT_EQ(messages.Messages().size(), 1u);
        EXPECT_EQ(messages.Messages()[0].text, kIndexOpenFailedExit);
        EXPECT_EQ(messages.EndProcessCount(), 1);

        recorder.Kill();
        ASSERT_EQ(reader.OpenLession(kLesson), 0);
        EXPECT_EQ(test::Blocks(reader).size(), 1u);
    }
    {
        TChild reading([&](int fd) {
            TReadAV reader;
            reader.initialize(paths);
            Report(fd, reader.OpenLession(kLesson) == 0 ? 'r' : 'x');
            for (;;) {
                ::pause();
            }
        });
        ASSERT_TRUE(reading.Started());
        ASSERT_EQ(reading.Report(), 'r');

        TMessageRecorder messages;
        TSaveAV rec;
        rec.Create(paths);
        EXPECT_EQ(rec.NewLession(kLesson, 1280, 720), TSaveAV::kIndexFailed);
        EXPECT_EQ(messages.EndProcessCount(), 1);

        reading.Kill();
        EXPECT_EQ(rec.NewLession(kLesson, 1280, 720), 0);
        EXPECT_EQ(messages.EndProcessCount(), 1);
    }
}

} // namespace
} // namespace tavrin
