// Real-time playback through SDL's disk audio driver: everything pushed in
// whole blocks comes out of the device, in order, and nothing else does.
#include "base/Thread.h"
#include "decode/WavePlayer.h"
#include "tests/base/TempDir.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace tavrin {
namespace {

TEST(WavePlayback, PushedPcmComesOutInOrderAndComplete) {
    test::TempDir dir;
    const std::string file = dir.File("device.raw");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);

    TWavePlayer player;
    player.Create(25);
    ASSERT_TRUE(player.OpenWaveDev(2, 16, 48000, 1024));

    // 40 blocks and a bit, in pieces that do not line up with the blocks, fed
    // the way the channel worker feeds it: never into a nearly full ring.
    constexpr size_t kTotal = 40 * 4096 + 1234;
    std::vector<uint8_t> pcm(kTotal);
    for (size_t i = 0; i < kTotal; ++i) {
        pcm[i] = uint8_t(1 + i * 7 % 251); // never zero: silence is told apart
    }
    size_t pushed = 0;
    for (int guard = 0; pushed < kTotal && guard < 5000; ++guard) {
        if (player.GetRemainCount() > 20) {
            SleepMs(5);
            continue;
        }
        const size_t piece = std::min<size_t>(3001, kTotal - pushed);
        ASSERT_TRUE(player.PushStreamData(pcm.data() + pushed, uint32_t(piece)));
        pushed += piece;
    }
    ASSERT_EQ(pushed, kTotal);
    for (int i = 0; i < 1000 && player.GetRemainCount() > 0; ++i) {
        SleepMs(5);
    }
    ASSERT_EQ(player.GetRemainCount(), 0);
    SleepMs(100); // let the device write out its last read
    player.CloseWaveDev();

    const std::string written = test::ReadFile(file);
    std::vector<uint8_t> played;
    for (char c : written) {
        if (c != 0) {
            played.push_back(uint8_t(c));
        }
    }
    const size_t whole = kTotal / 4096 * 4096;
    ASSERT_EQ(played.size(), whole) << "only whole blocks play";
    EXPECT_TRUE(std::equal(played.begin(), played.end(), pcm.begin()));
    EXPECT_EQ(written.size() % 4096, 0u) << "the device writes whole reads";
}

} // namespace
} // namespace tavrin
