#include "base/SingleInstance.h"

#include "tests/base/TempDir.h"

#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tavrin {
namespace {

// Starts a process that takes the lock, reports whether it got it through a
// pipe, and then sleeps until it is killed.
pid_t StartHolder(int& reportFd) {
    int fds[2];
    if (::pipe(fds) != 0) {
        return -1;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        TSingleInstance lock;
        const char got = lock.Acquire() ? 'y' : 'n';
        if (::write(fds[1], &got, 1) != 1) {
            ::_exit(3);
        }
        for (;;) {
            ::pause();
        }
    }
    ::close(fds[1]);
    reportFd = fds[0];
    return pid;
}

char ReadReport(int fd) {
    char c = '?';
    if (::read(fd, &c, 1) != 1) {
        c = '?';
    }
    ::close(fd);
    return c;
}

TEST(SingleInstance, SecondProcessIsRefusedAndDeadOwnerReleases) {
    test::TempDir runtime;
    setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
    EXPECT_EQ(TSingleInstance::LockPath(), runtime.Path() + "/vo_KVXMAIN.lock");

    int fd = -1;
    const pid_t first = StartHolder(fd);
    ASSERT_GT(first, 0);
    ASSERT_EQ(ReadReport(fd), 'y');

    // A second console in another process does not get the lock.
    const pid_t second = StartHolder(fd);
    ASSERT_GT(second, 0);
    EXPECT_EQ(ReadReport(fd), 'n');
    ::kill(second, SIGKILL);
    ::waitpid(second, nullptr, 0);

    TSingleInstance here;
    EXPECT_FALSE(here.Acquire());

    // The owner crashes: the kernel frees the lock for the next start.
    ::kill(first, SIGKILL);
    ::waitpid(first, nullptr, 0);
    EXPECT_TRUE(here.Acquire());
    EXPECT_TRUE(here.Owned());

    const pid_t third = StartHolder(fd);
    ASSERT_GT(third, 0);
    EXPECT_EQ(ReadReport(fd), 'n');
    ::kill(third, SIGKILL);
    ::waitpid(third, nullptr, 0);
    unsetenv("XDG_RUNTIME_DIR");
}

} // namespace
} // namespace tavrin
