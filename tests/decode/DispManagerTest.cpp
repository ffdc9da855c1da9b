// The port list: indexes, dropping only from the end, full screen of one
// port and holding a port while the GUI changes it.
#include "decode/DispManager.h"

#include "base/Thread.h"
#include "tests/base/TempDir.h"
#include "tests/decode/TestPicture.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace tavrin {
namespace {

using test::Bt709;
using test::Near;
using test::TReadBack;

class Ports : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(manager.initialize(), 0);
        for (int i = 0; i < 3; ++i) {
            ASSERT_EQ(manager.createNewPort(0, 160, 90, {0, 0, 160, 90}), i);
        }
    }
    int Push(int port, const std::vector<uint8_t>& picture) {
        return manager.pushFrame(port, picture.data(), 160, nullptr, nullptr, nullptr, nullptr);
    }
    test::Rgb Centre(int port) {
        return TReadBack(*manager.Port(port), 160, 90, dir.Path()).At(80, 45);
    }

    test::TempDir dir;
    TDispManager manager;
    std::vector<uint8_t> red = test::SolidPicture(160, 90, test::kRed);
    std::vector<uint8_t> blue = test::SolidPicture(160, 90, test::kBlue);
};

TEST_F(Ports, OnlyTheLastPortCanBeDropped) {
    EXPECT_EQ(manager.DropPort(1), -1);
    EXPECT_EQ(manager.DropPort(0), -1);
    EXPECT_EQ(manager.DropPort(3), -1);
    EXPECT_EQ(manager.Count(), 3);
    EXPECT_EQ(Push(1, red), 1) << "the middle port still draws";

    EXPECT_EQ(manager.DropPort(2), 2);
    EXPECT_EQ(manager.Count(), 2);
    EXPECT_EQ(Push(2, red), -1);
    EXPECT_EQ(Push(-1, red), -1);
    EXPECT_EQ(manager.ResizeTo(2, {0, 0, 10, 10}), -1);
    EXPECT_EQ(manager.Lock(2), -1);
    EXPECT_EQ(manager.UnLock(2), -1);
    EXPECT_EQ(manager.createNewPort(0, 160, 90, {0, 0, 160, 90}), 2) << "appended at the end";
}

TEST_F(Ports, GetRectGivesTheCurrentRectangle) {
    SDL_Rect rect{};
    ASSERT_EQ(manager.GetRect(1, rect), 1);
    EXPECT_EQ(rect.w, 160);
    EXPECT_EQ(manager.ResizeTo(1, {0, 0, 80, 45}), 1);
    ASSERT_EQ(manager.GetRect(1, rect), 1);
    EXPECT_EQ(rect.w, 80);
    EXPECT_EQ(rect.h, 45);
    EXPECT_EQ(manager.GetRect(5, rect), -1);
}

TEST_F(Ports, FullScreenPausesEveryOtherPort) {
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(Push(i, red), i);
    }
    EXPECT_EQ(manager.ToFullScreen(1), 1);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Push(i, blue), i);
    }
    EXPECT_TRUE(Near(Centre(0), Bt709(test::kRed)));
    EXPECT_TRUE(Near(Centre(1), Bt709(test::kBlue)));
    EXPECT_TRUE(Near(Centre(2), Bt709(test::kRed)));

    EXPECT_EQ(manager.ToFullScreen(3), -1);
    EXPECT_EQ(manager.UnToFullScreen(1), 1);
    EXPECT_EQ(Push(0, blue), 0);
    EXPECT_TRUE(Near(Centre(0), Bt709(test::kBlue)));
}

TEST_F(Ports, LockedPortWaitsForTheGui) {
    std::atomic<bool> drawn{false};
    std::thread worker;
    {
        const TPortResizeHold hold(manager, 0);
        ASSERT_TRUE(hold.Held());
        EXPECT_FALSE(TPortResizeHold(manager, 9).Held());
        worker = std::thread([&] {
            Push(0, blue);
            drawn = true;
        });
        SleepMs(50);
        EXPECT_FALSE(drawn.load()) << "a worker must not draw while the GUI holds the port";
        // The holder may resize meanwhile without deadlocking itself.
        EXPECT_EQ(manager.ResizeTo(0, {0, 0, 160, 90}), 0);
    }
    worker.join();
    EXPECT_TRUE(drawn.load());
    EXPECT_TRUE(Near(Centre(0), Bt709(test::kBlue)));
}

TEST_F(Ports, DroppedPortStaysAliveForADrawingCaller) {
    std::shared_ptr<TDisplay> held = manager.Port(2);
    ASSERT_EQ(manager.DropPort(2), 2);
    EXPECT_EQ(held->pushFrame(red.data(), 160, nullptr, nullptr, nullptr, nullptr), 0);
    manager.Destroy();
    EXPECT_EQ(manager.Count(), 0);
    EXPECT_EQ(held->pushFrame(red.data(), 160, nullptr, nullptr, nullptr, nullptr), 0);
}

} // namespace
} // namespace tavrin
