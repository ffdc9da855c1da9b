#include "compose/AVFilter.h"

#include "base/ProgramDir.h"
#include "tests/support/Pictures.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <vector>

namespace tavrin {
namespace {

namespace fs = std::filesystem;
using test::MakePicture;

constexpr int kW = 640;
constexpr int kH = 360;

std::string TextFilter(const std::string& text) {
    return "[in]drawtext=fontfile=sy.otf:fontcolor=white:fontsize=40:text='" + text +
           "':x=100:y=120[out]";
}

AvFramePtr Grey() {
    AvFramePtr pic = MakePicture(kW, kH);
    test::FillSolid(pic.get(), 60, 128, 128);
    return pic;
}

// Luma of one filtered picture.
std::vector<uint8_t> Render(TAVFilter& filter, const AVFrame* in) {
    AVFrame* out = nullptr;
    EXPECT_EQ(filter.PushFrame(in, out), 0);
    std::vector<uint8_t> luma;
    if (out == nullptr) {
        return luma;
    }
    EXPECT_EQ(out->width, kW);
    EXPECT_EQ(out->height, kH);
    EXPECT_EQ(out->format, AV_PIX_FMT_YUV420P);
    for (int y = 0; y < kH; ++y) {
        luma.insert(luma.end(), out->data[0] + y * out->linesize[0],
                    out->data[0] + y * out->linesize[0] + kW);
    }
    av_frame_unref(out);
    return luma;
}

struct TChange {
    int count = 0;
    int minX = kW, minY = kH, maxX = -1, maxY = -1;
};

TChange ChangedPixels(const std::vector<uint8_t>& a, const AVFrame* original) {
    TChange c;
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            if (a[size_t(y) * kW + x] != test::At(original, 0, x, y)) {
                ++c.count;
                c.minX = std::min(c.minX, x), c.maxX = std::max(c.maxX, x);
                c.minY = std::min(c.minY, y), c.maxY = std::max(c.maxY, y);
            }
        }
    }
    return c;
}

TEST(AVFilter, ChineseTextIsDrawnWhereItWasPlacedAndOnlyThere) {
    const AvFramePtr grey = Grey();
    TAVFilter filter;
    ASSERT_EQ(filter.initialize(TextFilter("课程名称"), kW, kH), 0);
    const std::vector<uint8_t> drawn = Render(filter, grey.get());
    const TChange c = ChangedPixels(drawn, grey.get());
    EXPECT_GT(c.count, 500);
    // Four 40-pixel glyphs from (100, 120).
    EXPECT_GE(c.minX, 100);
    EXPECT_LE(c.maxX, 100 + 4 * 40 + 4);
    EXPECT_GE(c.minY, 120);
    EXPECT_LE(c.maxY, 120 + 48);
    EXPECT_LT(c.minX, 110);
    EXPECT_GT(c.maxX, 100 + 3 * 40);

    // Other characters give other shapes: missing glyphs would all be the
    // same empty box.
    TAVFilter other;
    ASSERT_EQ(other.initialize(TextFilter("教师姓名"), kW, kH), 0);
    const std::vector<uint8_t> otherDrawn = Render(other, grey.get());
    size_t differing = 0;
    for (size_t i = 0; i < drawn.size(); ++i) {
        differing += drawn[i] != otherDrawn[i] ? 1 : 0;
    }
    EXPECT_GT(differing, 300u);
    // The same text again is drawn the same way.
    EXPECT_EQ(Render(filter, grey.get()), drawn);
}

TEST(AVFilter, PicturesAreStampedInStepsOf3600) {
    const AvFramePtr grey = Grey();
    TAVFilter filter;
    ASSERT_EQ(filter.initialize(TextFilter("A"), kW, kH), 0);
    for (const int64_t want : {3600, 7200, 10800}) {
        AVFrame* out = nullptr;
        ASSERT_EQ(filter.PushFrame(grey.get(), out), 0);
        ASSERT_NE(out, nullptr);
        EXPECT_EQ(out->pts, want);
    }
    EXPECT_EQ(filter.EffectCount(), 3);
    // Nothing further is waiting at the graph's end.
    AVFrame* more = nullptr;
    EXPECT_LT(filter.GetFrame(more), 0);
    EXPECT_EQ(more, nullptr);
    // The caller's picture is not drawn on.
    EXPECT_EQ(test::At(grey.get(), 0, 105, 140), 60);
}

TEST(AVFilter, BrokenDescriptionFailsEveryPush) {
    const AvFramePtr grey = Grey();
    for (const std::string& description :
         {std::string("[in]nosuchfilter=x=1[out]"),
          std::string("[in]drawtext=fontfile=sy.otf:nosuchoption=1:text='a'[out]"),
          std::string("[in]drawtext=fontfile=sy.otf:text='a'[x];[y]null[out]")}) {
        TAVFilter filter;
        EXPECT_LT(filter.initialize(description, kW, kH), 0) << description;
        for (int i = 0; i < 2; ++i) {
            AVFrame* out = nullptr;
            EXPECT_LT(filter.PushFrame(grey.get(), out), 0);
            EXPECT_EQ(out, nullptr);
        }
    }
    // A picture of the wrong size is refused by a good filter.
    TAVFilter filter;
    ASSERT_EQ(filter.initialize(TextFilter("A"), kW, kH), 0);
    AvFramePtr wrong = MakePicture(320, 180);
    AVFrame* out = nullptr;
    EXPECT_LT(filter.PushFrame(wrong.get(), out), 0);
}

TEST(AVFilter, FontFoundInAFolderWithSpecialCharacters) {
    const AvFramePtr grey = Grey();
    TAVFilter reference;
    ASSERT_EQ(reference.initialize(TextFilter("字幕"), kW, kH), 0);
    const std::vector<uint8_t> withFont = Render(reference, grey.get());

    const fs::path dir = fs::temp_directory_path() / "tavrin font's [dir]:a,b;c";
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::copy_file(ProgramFile("sy.otf"), dir / "sy.otf");
    TAVFilter filter;
    ASSERT_EQ(filter.initialize(TextFilter("字幕"), kW, kH, dir.string()), 0);
    EXPECT_EQ(Render(filter, grey.get()), withFont);
    fs::remove_all(dir);

    // Without the file drawtext falls back to a system face, which draws
    // differently: so the equality above shows sy.otf was used.
    TAVFilter fallback;
    if (fallback.initialize(TextFilter("字幕"), kW, kH, dir.string()) == 0) {
        EXPECT_NE(Render(fallback, grey.get()), withFont);
    }
}

TEST(AVFilter, OnlyPlainRelativeFontFilesAreRedirected) {
    EXPECT_EQ(ResolveFontFiles(
                  "[in]drawtext=fontfile=sy.otf:text='a',drawtext=fontfile=sy.otf[out]", "/opt/t"),
              "[in]drawtext=fontfile=/opt/t/sy.otf:text='a',drawtext=fontfile=/opt/t/sy.otf[out]");
    EXPECT_EQ(ResolveFontFiles("drawtext=fontfile=/usr/a.otf:text=x", "/opt/t"),
              "drawtext=fontfile=/usr/a.otf:text=x");
    EXPECT_EQ(ResolveFontFiles("drawtext=fontfile='sy.otf':text=x", "/opt/t"),
              "drawtext=fontfile='sy.otf':text=x");
    EXPECT_EQ(ResolveFontFiles("drawtext=text=x", "/opt/t"), "drawtext=text=x");
    // Text that merely contains the key is text.
    EXPECT_EQ(ResolveFontFiles("drawtext=text='a:fontfile=b':fontfile=c.otf", "/t"),
              "drawtext=text='a:fontfile=b':fontfile=/t/c.otf");
    // Inside quotes a backslash is literal, so a quoted text with an escaped
    // quote in it stays text up to its last quote.
    const std::string quoted =
        "drawtext=text=" + std::string("'") + DrawTextQuoted("x':fontfile=e") + "':fontfile=c.otf";
    EXPECT_EQ(ResolveFontFiles(quoted, "/t"), quoted.substr(0, quoted.size() - 5) + "/t/c.otf");
    // Both levels of escaping for a folder name with separators in it.
    EXPECT_EQ(ResolveFontFiles("drawtext=fontfile=sy.otf", "/a:b"),
              "drawtext=fontfile=/a\\\\:b/sy.otf");
}

} // namespace
} // namespace tavrin
