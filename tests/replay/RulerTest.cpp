// The timeline ruler: minute and block mapping, paging, hit tests, every
// marking rule, and the colours it draws.
#include "replay/Ruler.h"

#include <QGuiApplication>
#include <gtest/gtest.h>
#include <memory>

// Qt's font database leaves fontconfig's caches to the end of the process.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace tavrin {
namespace {

// Text drawing needs a GUI application; the offscreen platform needs no display.
QGuiApplication& App() {
    static int argc = 1;
    static char name[] = "ruler_tests";
    static char* argv[] = {name, nullptr};
    static std::unique_ptr<QGuiApplication> app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return std::make_unique<QGuiApplication>(argc, argv);
    }();
    return *app;
}

constexpr int kW = 1200;
constexpr int kH = 120;

class RulerTest : public ::testing::Test {
protected:
    void SetUp() override { App(); }

    // nBlocks blocks of nAudio audio frames each; nM_Total as the engine
    // derives it from the audio count.
    void Lesson(int nBlocks, int nAudio) {
        std::vector<TIndex_IBlock> blocks(size_t(nBlocks), TIndex_IBlock{25, nAudio, 0, 0, 0, 0});
        store = blocks;
        const int seconds = int(RoundTiesToEven(double(nBlocks) * nAudio / 46.875));
        ruler.SetLession(blocks, seconds / 60, [this](int i) {
            if (i < 0 || i >= int(store.size())) {
                return -1;
            }
            store[size_t(i)].DeleteFlag ^= 1;
            return int(store[size_t(i)].DeleteFlag);
        });
        ruler.Resize_ruler(0, 0, kW, kH);
    }
    std::vector<int> Marked() const {
        std::vector<int> m;
        for (size_t i = 0; i < store.size(); ++i) {
            if (store[i].DeleteFlag) {
                m.push_back(int(i));
            }
            EXPECT_EQ(store[i].DeleteFlag, ruler.Blocks()[i].DeleteFlag) << "copy of block " << i;
        }
        return m;
    }
    static std::vector<int> Range(int from, int to) {
        std::vector<int> r;
        for (int i = from; i <= to; ++i) {
            r.push_back(i);
        }
        return r;
    }
    QRgb Pixel(int x, int y) const { return ruler.Image().pixel(x, y) & 0xFFFFFF; }

    static constexpr int kBlockY = kH - 40; // inside the block row
    static constexpr int kMinuteY = 35;     // inside the minute row
    TReplayRuler ruler;
    std::vector<TIndex_IBlock> store;
};

TEST_F(RulerTest, SixtyMinutesOfAudioMakeSixtyOneCellsOnTwoPages) {
    // 60 minutes = 168,750 audio frames; 3600 blocks of 46.875 on average.
    Lesson(3375, 50);
    const rCanvasAll& c = ruler.CanvasAll();
    EXPECT_TRUE(c.bOverflow);
    EXPECT_EQ(c.ML, 20);
    EXPECT_EQ(c.w, 20 * 61);
    ASSERT_EQ(c.xArray.size(), 2u);
    EXPECT_EQ(c.nStartX, 0);
    EXPECT_EQ(ruler.HitMinute(kW - 1, kMinuteY), 59);
    ruler._ChangePage(false);
    EXPECT_EQ(ruler.CanvasAll().nStartX, -20); // the last page ends on the last minute
    EXPECT_EQ(ruler.HitMinute(5, kMinuteY), 1);
    EXPECT_EQ(ruler.HitMinute(kW - 1, kMinuteY), 60);
    ruler._ChangePage(false); // no page beyond the last
    EXPECT_EQ(ruler.CanvasAll().nStartX, -20);
    ruler._ChangePage(true);
    EXPECT_EQ(ruler.CanvasAll().nStartX, 0);
    EXPECT_EQ(ruler.HitPageButton(50, 10), -1);
    EXPECT_EQ(ruler.HitPageButton(kW - 50, 10), 1);
}

TEST_F(RulerTest, ShortLessonHasOnePageAndNoPageButtons) {
    Lesson(59, 47); // 59 seconds
    EXPECT_FALSE(ruler.CanvasAll().bOverflow);
    EXPECT_EQ(ruler.HitPageButton(50, 10), 0);
    EXPECT_EQ(ruler.HitMinute(25, kMinuteY), -1); // only minute 0 has a cell
    EXPECT_EQ(ruler.HitMinute(5, kMinuteY), 0);
}

TEST_F(RulerTest, MinuteOfThirtyBlocksUsesHalfTheRow) {
    Lesson(92, 93);
    const TMinuteBlocks mb = ruler.minuteBlocks(0);
    EXPECT_EQ(mb.first, 0);
    EXPECT_EQ(mb.last, 30); // the boundary block belongs to the next minute
    EXPECT_EQ(mb.count, 30);
    EXPECT_EQ(ruler.minuteBlocks(1).first, 30);
    EXPECT_EQ(ruler.SecondRect().right, 30 * (kW / 60));
    EXPECT_EQ(ruler.HitBlock(30 * 20 + 5, kBlockY), -1);    // right half is empty
    EXPECT_EQ(ruler.SetDropIblock(9 * 20 + 5, kBlockY), 1); // the tenth cell
    EXPECT_EQ(Marked(), std::vector<int>{9});
    EXPECT_EQ(ruler.SetDropIblock(9 * 20 + 5, kBlockY), 0);
    EXPECT_TRUE(Marked().empty());
}

TEST_F(RulerTest, MinuteOfNinetyBlocksNarrowsTheCells) {
    Lesson(200, 31);
    const TMinuteBlocks mb = ruler.minuteBlocks(0);
    EXPECT_EQ(mb.count, 90);
    EXPECT_EQ(ruler.CellWidth(mb), kW / 90);
    EXPECT_EQ(ruler.HitBlock(89 * (kW / 90) + 1, kBlockY), 89);
}

TEST_F(RulerTest, MinuteClickKeepsTheFirstThreeBlocksAndASecondClickClears) {
    Lesson(92, 93);
    ruler.SetDropIblock(5, kMinuteY);
    EXPECT_EQ(Marked(), Range(3, 29));
    ruler.SetDropIblock(5, kMinuteY);
    EXPECT_TRUE(Marked().empty());
    // Exactly one marked block, past the first three: it is un-marked and
    // the others from the fourth on are marked.
    ruler.SetDropIblock(7 * 20 + 5, kBlockY);
    ASSERT_EQ(Marked(), std::vector<int>{7});
    ruler.SetDropIblock(5, kMinuteY);
    std::vector<int> expected = Range(3, 29);
    expected.erase(std::find(expected.begin(), expected.end(), 7));
    EXPECT_EQ(Marked(), expected);
}

TEST_F(RulerTest, DragsMarkTheSameSpanInEitherDirection) {
    Lesson(92, 93);
    ruler.SetDropIblock_EX(2 * 20 + 5, kBlockY, 6 * 20 + 5, kBlockY);
    const auto forward = Marked();
    EXPECT_EQ(forward, Range(2, 6));
    ruler.SetDropIblock_EX(2 * 20 + 5, kBlockY, 6 * 20 + 5, kBlockY);
    ruler.SetDropIblock_EX(6 * 20 + 5, kBlockY, 2 * 20 + 5, kBlockY);
    EXPECT_EQ(Marked(), forward);
    EXPECT_EQ(ruler.ClearMarks(), 5);
    // Minute row: every minute of the span, without the first-three exception.
    store.assign(store.size(), TIndex_IBlock{25, 93, 0, 0, 0, 0});
    ruler.SetDropIblock_EX(25, kMinuteY, 5, kMinuteY);
    EXPECT_EQ(Marked(), Range(0, 59));
    ruler.SetDropIblock_EX(5, kMinuteY, 25, kMinuteY);
    EXPECT_TRUE(Marked().empty());
}

TEST_F(RulerTest, PointsOutsideTheRowsChangeNothing) {
    Lesson(92, 93);
    EXPECT_EQ(ruler.SetDropIblock(5, 10), -1);            // label band
    EXPECT_EQ(ruler.SetDropIblock(5, 55), -1);            // between the rows
    EXPECT_EQ(ruler.SetDropIblock(kW - 5, kMinuteY), -1); // past the last minute
    EXPECT_EQ(ruler.SetDropIblock_EX(5, 55, 500, 55), -1);
    EXPECT_TRUE(Marked().empty());
}

TEST_F(RulerTest, MarkedTimeIsAtLeastOneSecond) {
    Lesson(10, 20);
    EXPECT_EQ(ruler.QueryDeletedBlockSeconds(), 0);
    ruler.SetDropIblock(5, kBlockY);
    EXPECT_EQ(ruler.QueryDeletedBlockSeconds(), 1); // 426.67 ms
    Lesson(92, 93);
    ruler.SetDropIblock_EX(5, kBlockY, 20 * 20 + 5, kBlockY); // 21 x 1984 ms
    EXPECT_EQ(ruler.QueryDeletedBlockSeconds(), 41);
}

TEST_F(RulerTest, DrawsCurrentDeletedAndErrorCellsInTheirColours) {
    Lesson(92, 93);
    std::vector<TIndex_IBlock> blocks = store;
    blocks[4].ErrorFlag = 10;
    blocks[40].ErrorFlag = 2;
    store = blocks;
    ruler.SetLession(blocks, 3, [this](int i) {
        store[size_t(i)].DeleteFlag ^= 1;
        return int(store[size_t(i)].DeleteFlag);
    });
    ruler.SetCurrentIBlock(2);
    ruler.Resize_ruler(0, 0, kW, kH);
    ruler.SetDropIblock(6 * 20 + 10, kBlockY);
    const int row = kH - 36;
    EXPECT_EQ(Pixel(2 * 20 + 10, row), TReplayRuler::kCurrent);
    EXPECT_EQ(Pixel(6 * 20 + 10, row), TReplayRuler::kDeleted);
    EXPECT_EQ(Pixel(4 * 20 + 14, row + 10), TReplayRuler::kError);
    EXPECT_EQ(Pixel(3 * 20 + 10, row), TReplayRuler::kNormal);
    EXPECT_EQ(Pixel(40 * 20 + 10, row), TReplayRuler::kBackground); // beyond 30 cells
    // The error flag 10 is written as a white "x" inside its cell.
    bool text = false;
    for (int x = 4 * 20 + 3; x < 5 * 20; ++x) {
        for (int y = kH - 48; y < kH - 22; ++y) {
            text = text || Pixel(x, y) == TReplayRuler::kText;
        }
    }
    EXPECT_TRUE(text);
    // Minute row: minute 0 current with a red bar (1 of 31 blocks deleted:
    // 20 / 31 rounds to 1, plus 3), minute 1 grey with the error band.
    EXPECT_EQ(Pixel(1, 24), TReplayRuler::kDeleted);
    EXPECT_EQ(Pixel(1, 45), TReplayRuler::kCurrent);
    EXPECT_EQ(Pixel(10, 24), TReplayRuler::kCurrent);
    EXPECT_EQ(Pixel(30, 35), TReplayRuler::kError);
    EXPECT_EQ(Pixel(30, 45), TReplayRuler::kNormal);
    EXPECT_EQ(Pixel(30, 24), TReplayRuler::kNormal);
    EXPECT_EQ(Pixel(200, 35), TReplayRuler::kBackground); // no minute 10
}

TEST_F(RulerTest, DeletedBarOfHalfACellWidthRoundsToEven) {
    // Minute 0 spans 40 blocks; one of them marked is 20 / 40 = 0.5 of a
    // cell, which rounds to 0: the bar is the 3-pixel minimum.
    Lesson(80, 72);
    const TMinuteBlocks mb = ruler.minuteBlocks(0);
    ASSERT_EQ(mb.last - mb.first + 1, 40);
    ruler.SetDropIblock(6 * 20 + 10, kBlockY);
    ASSERT_EQ(Marked(), std::vector<int>{6});
    EXPECT_EQ(Pixel(1, 24), TReplayRuler::kDeleted);
    EXPECT_EQ(Pixel(2, 24), TReplayRuler::kCurrent);
}

} // namespace
} // namespace tavrin
