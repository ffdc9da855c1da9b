// The wave player's block ring on SDL's disk audio driver: what is queued,
// what waits, what a full ring drops, and the device's hand-back of blocks.
#include "decode/WavePlayer.h"

#include "base/Thread.h"
#include "tests/base/TempDir.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <gtest/gtest.h>

namespace tavrin {
namespace {

constexpr std::ptrdiff_t kBlock = 4096; // 1024 stereo 16-bit sample frames

// Bytes that are never zero, so they cannot be mistaken for silence.
std::vector<uint8_t> Pattern(size_t n) {
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i) {
        bytes[i] = uint8_t(1 + i * 7 % 251);
    }
    return bytes;
}

class WaveOut : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", dir.File("out.raw").c_str(), 1);
        player.Create(25);
        ASSERT_TRUE(player.OpenWaveDev(2, 16, 48000, 1024));
        ASSERT_EQ(player.BlockSize(), uint32_t(kBlock));
    }
    int Queued() {
        TWaveBlockCount counts;
        player.GetBlockCount(counts);
        return counts.kvx_PlayPrepareCount;
    }
    bool Push(size_t n) {
        const auto bytes = Pattern(n);
        return player.PushStreamData(bytes.data(), uint32_t(n));
    }

    test::TempDir dir;
    TWavePlayer player;
};

TEST_F(WaveOut, OnlyFullBlocksAreQueued) {
    EXPECT_TRUE(Push(4000));
    EXPECT_EQ(Queued(), 0);
    EXPECT_EQ(player.PendingBytes(), 4000u);
    EXPECT_TRUE(Push(96));
    EXPECT_EQ(Queued(), 1) << "4000 + 96 bytes complete one block";
    EXPECT_EQ(player.PendingBytes(), 0u);
}

TEST_F(WaveOut, OneBlockQueuesExactly) {
    EXPECT_TRUE(Push(4096));
    EXPECT_EQ(Queued(), 1);
    EXPECT_EQ(player.PendingBytes(), 0u);
}

TEST_F(WaveOut, TenThousandBytesQueueTwoAndLeave1808) {
    EXPECT_TRUE(Push(10000));
    EXPECT_EQ(Queued(), 2);
    EXPECT_EQ(player.PendingBytes(), 1808u);
}

TEST_F(WaveOut, FullRingRefusesTheNextPushUntilTheDeviceHandsBack) {
    // Holding the device lock keeps its thread from taking any block.
    SDL_LockAudioDevice(player.DeviceId());
    EXPECT_TRUE(Push(size_t(25 * kBlock)));
    EXPECT_EQ(player.GetRemainCount(), 25);
    EXPECT_FALSE(Push(100));
    EXPECT_EQ(player.PendingBytes(), 0u) << "the refused bytes were dropped";
    SDL_UnlockAudioDevice(player.DeviceId());

    for (int i = 0; i < 500 && player.GetRemainCount() == 25; ++i) {
        SleepMs(10);
    }
    ASSERT_LT(player.GetRemainCount(), 25);
    EXPECT_TRUE(Push(size_t(kBlock)));
}

TEST_F(WaveOut, DeviceTakesBlocksInOrderAcrossItsReads) {
    SDL_LockAudioDevice(player.DeviceId());
    const auto bytes = Pattern(size_t(3 * kBlock + 100));
    ASSERT_TRUE(player.PushStreamData(bytes.data(), uint32_t(bytes.size())));
    EXPECT_EQ(player.GetRemainCount(), 3);

    // Reads of 1000 bytes straddle the block edges.
    std::vector<uint8_t> out;
    uint8_t read[1000];
    for (int i = 0; i < 13; ++i) {
        player.FillDevice(read, int(sizeof(read)));
        out.insert(out.end(), read, read + sizeof(read));
        const int played = int(std::ptrdiff_t(out.size()) / kBlock);
        EXPECT_EQ(player.GetRemainCount(), std::max(0, 3 - played)) << "after " << out.size();
    }
    SDL_UnlockAudioDevice(player.DeviceId());

    ASSERT_EQ(out.size(), 13000u);
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + 3 * kBlock, bytes.begin()));
    // The partly filled fourth block never plays: silence follows.
    EXPECT_TRUE(std::all_of(out.begin() + 3 * kBlock, out.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(WaveOut, CloseTwiceIsHarmlessAndStoresNothingAfter) {
    EXPECT_TRUE(Push(6000));
    player.CloseWaveDev();
    player.CloseWaveDev();
    EXPECT_FALSE(player.IsOpen());
    EXPECT_EQ(player.GetRemainCount(), 0);
    EXPECT_FALSE(Push(4096));
    // Opening again starts from an empty ring.
    ASSERT_TRUE(player.OpenWaveDev(2, 16, 48000, 1024));
    EXPECT_EQ(player.PendingBytes(), 0u);
    player.Destroy();
    player.Destroy();
}

TEST(WaveOutFailure, NoDeviceLeavesThePlayerClosed) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    TWavePlayer player;
    player.Create(25);
    EXPECT_FALSE(player.OpenWaveDev(2, 16, 48000, 1024));
    EXPECT_FALSE(player.IsOpen());
    const auto bytes = Pattern(size_t(kBlock));
    EXPECT_FALSE(player.PushStreamData(bytes.data(), uint32_t(kBlock)));
    EXPECT_EQ(player.GetRemainCount(), 0);

    setenv("SDL_AUDIODRIVER", "dummy", 1);
    EXPECT_FALSE(player.OpenWaveDev(2, 24, 48000, 1024)) << "no 24-bit blocks";
    EXPECT_FALSE(player.OpenWaveDev(2, 16, 48000, 20000)) << "block larger than 16 bits can count";
    player.Create(0);
    EXPECT_FALSE(player.OpenWaveDev(2, 16, 48000, 1024)) << "no blocks";
    player.CloseWaveDev();
}

} // namespace
} // namespace tavrin
