#include "base/GloTimer.h"
#include "base/Message.h"
#include "compose/AVFilter.h"
#include "compose/CombineOut.h"
#include "compose/JpegToYUV420.h"
#include "compose/ScreenLayout.h"
#include "tests/base/TempDir.h"
#include "tests/support/Pictures.h"
#include "tests/support/TestMedia.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace tavrin {
namespace {

using Json = nlohmann::json;

constexpr int kW = 1920;
constexpr int kH = 1080;
// Luma of the white and black backgrounds, whatever range the JPEG has.
constexpr uint8_t kWhite = 230;
constexpr uint8_t kBlack = 24;

// A JPEG of the given colour, with a black box when box is not empty.
void MakeJpeg(const std::string& path, const std::string& colour, const std::string& box = "") {
    std::string cmd = "ffmpeg -nostdin -v error -y -f lavfi -i color=c=" + colour + ":s=1920x1080";
    if (!box.empty()) {
        cmd += " -vf \"drawbox=" + box + ":color=black:t=fill\"";
    }
    ASSERT_TRUE(test::Run(cmd + " -frames:v 1 '" + path + "'"));
}

Json Text(const std::string& text, int style) {
    return {{"id", 1}, {"fontstyle", style}, {"name", text}, {"x", 100}, {"y", 900}};
}

// One background image, one rectangle, a red (1) and a white (2) style; one
// scene per entry of texts (an empty text: none) showing `rects` rectangles.
Json Plan(const std::string& jpeg, const std::vector<std::string>& texts, int rects,
          const rRect& rect = {480, 270, 960, 540}) {
    Json scenes = Json::array();
    int id = 1;
    for (const std::string& text : texts) {
        Json sceneTexts = Json::array();
        if (!text.empty()) {
            sceneTexts.push_back(Text(text, id == 1 ? 1 : 2));
        }
        Json sceneRects = Json::array();
        for (int i = 0; i < rects; ++i) {
            sceneRects.push_back({{"id", 1}});
        }
        scenes.push_back({{"id", id},
                          {"name", std::to_string(id)},
                          {"image", 1},
                          {"rectangle", sceneRects},
                          {"text", sceneTexts}});
        ++id;
    }
    return {
        {"name", "p"},
        {"image", {{{"id", 1}, {"name", "bg"}, {"filename", jpeg}}}},
        {"rectangle",
         {{{"id", 1},
           {"name", "r"},
           {"x", rect.left},
           {"y", rect.top},
           {"w", rect.width},
           {"h", rect.height}}}},
        {"fontstyle",
         {{{"id", 1}, {"name", "red"}, {"color", 255}, {"size", 48}, {"x", 0}, {"y", 0}},
          {{"id", 2}, {"name", "white"}, {"color", 0xFFFFFF}, {"size", 48}, {"x", 0}, {"y", 0}}}},
        {"sence", scenes}};
}

// Where a picture differs from a reference picture of the same size.
struct TChange {
    int count = 0;
    int minX = INT32_MAX, minY = INT32_MAX, maxX = -1, maxY = -1;
};

TChange Changed(const uint8_t* a, const uint8_t* b, int w, int h) {
    TChange c;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (a[size_t(y) * w + x] != b[size_t(y) * w + x]) {
                ++c.count;
                c.minX = std::min(c.minX, x), c.maxX = std::max(c.maxX, x);
                c.minY = std::min(c.minY, y), c.maxY = std::max(c.maxY, y);
            }
        }
    }
    return c;
}

// The luma of a picture drawn from the text file without any expansion:
// what the text looks like drawn exactly as typed.
std::vector<uint8_t> Reference(const std::vector<uint8_t>& background,
                               const std::string& textFile) {
    AvFramePtr in = test::MakePicture(kW, kH);
    av_image_fill_arrays(in->data, in->linesize, background.data(), AV_PIX_FMT_YUV420P, kW, kH, 1);
    TAVFilter filter;
    EXPECT_EQ(filter.initialize("[in]drawtext=fontfile=sy.otf:fontcolor=FFFFFF:fontsize=48:"
                                "expansion=none:textfile=" +
                                    textFile + ":x=100:y=900[out]",
                                kW, kH),
              0);
    AVFrame* out = nullptr;
    std::vector<uint8_t> luma;
    if (filter.PushFrame(in.get(), out) == 0) {
        for (int y = 0; y < kH; ++y) {
            luma.insert(luma.end(), out->data[0] + y * out->linesize[0],
                        out->data[0] + y * out->linesize[0] + kW);
        }
        av_frame_unref(out);
    }
    return luma;
}

class ScreenLayoutOutput : public ::testing::Test {
protected:
    void Start(int w, int h) {
        ASSERT_TRUE(layout.initialize(kW, kH));
        // Headless: without a display manager there is no preview port.
        ASSERT_EQ(out.initialize(nullptr, 0, w, h, 2000 * 1024, {0, 0, 0, 0}, nullptr), -1);
        layout.SetOutput(&out);
    }
    int Load(const Json& plan) {
        test::WriteFile(dir.File("plan.kvx"), plan.dump());
        return layout.loadProject(dir.File("plan.kvx"));
    }
    // The programme picture once the two held ticks after a change are over.
    const AVFrame* Show() {
        for (int i = 0; i < 3; ++i) {
            out.Tick(now += 40);
        }
        return out.ProgrammeFrame();
    }
    // A solid picture for port 1 at the size the programme asks for.
    std::pair<int, int> Deliver(uint8_t luma) {
        int w = 0, h = 0, count = 0;
        const int slot = out.GetIfNeedPushYUV_EX(1, w, h, count);
        EXPECT_EQ(slot, 1);
        AvFramePtr picture = test::MakePicture(w, h);
        test::FillSolid(picture.get(), luma, 128, 128);
        EXPECT_EQ(out.PushYUVtoCombine(picture.get(), 1, count, slot), 1);
        return {w, h};
    }
    uint8_t Y(int x, int y) { return test::At(out.ProgrammeFrame(), 0, x, y); }

    TTestClock clock{1000};
    uint32_t now = 1000;
    TMessageRecorder messages;
    test::TempDir dir;
    TScreenLayout layout;
    TCombineOut out;
};

TEST_F(ScreenLayoutOutput, SceneTextsAreDrawnAsTypedInTheirColour) {
    Start(kW, kH);
    MakeJpeg(dir.File("black.jpg"), "black");
    std::vector<uint8_t> black(size_t(kW) * kH * 3 / 2);
    ASSERT_EQ(JpegToYUV420(dir.File("black.jpg"), "", black.data(), kH, kW), 0);
    const std::string signs = "a'b:c,d%e\\f [x];y%{n}";
    const std::string inject = "x':fontsize=400:text='y";
    ASSERT_EQ(Load(Plan("black.jpg", {"第一组", signs, inject, ""}, 0)), 0);

    // A red text on black: drawn near its place only, in red, and shown.
    ASSERT_EQ(layout.UseThisLayout(1), 0);
    const uint8_t* bg = layout.BackgroundImage();
    const TChange c = Changed(bg, black.data(), kW, kH);
    EXPECT_GT(c.count, 500);
    EXPECT_GE(c.minX, 95);
    EXPECT_LE(c.maxX, 300);
    EXPECT_GE(c.minY, 895);
    EXPECT_LE(c.maxY, 970);
    int red = 0;
    const uint8_t* v = bg + size_t(kW) * kH * 5 / 4;
    for (int y = 900 / 2; y < 960 / 2; ++y) {
        for (int x = 100 / 2; x < 300 / 2; ++x) {
            red += v[y * kW / 2 + x] > 200 ? 1 : 0;
        }
    }
    EXPECT_GT(red, 50);
    const AVFrame* shown = Show();
    EXPECT_EQ(0, std::memcmp(shown->data[0], bg, size_t(kW) * kH));

    // Signs that mean something to the filter parsers are drawn as typed:
    // the same pixels as the text read from a file without expansion.
    for (const auto& [scene, text] : {std::pair{2, signs}, std::pair{3, inject}}) {
        SCOPED_TRACE(text);
        test::WriteFile(dir.File("text.txt"), text);
        ASSERT_EQ(dir.File("text.txt").find_first_of("':,;[]\\ "), std::string::npos);
        const std::vector<uint8_t> expected = Reference(black, dir.File("text.txt"));
        ASSERT_EQ(layout.UseThisLayout(scene), 0);
        ASSERT_EQ(expected.size(), size_t(kW) * kH);
        const TChange drawn = Changed(layout.BackgroundImage(), black.data(), kW, kH);
        EXPECT_GT(drawn.count, 500);
        EXPECT_LE(drawn.maxY - drawn.minY, 70); // fontsize stays 48
        EXPECT_EQ(Changed(layout.BackgroundImage(), expected.data(), kW, kH).count, 0);
    }

    // The background is taken afresh for every scene: no text is left over.
    ASSERT_EQ(layout.UseThisLayout(4), 0);
    EXPECT_EQ(Changed(layout.BackgroundImage(), black.data(), kW, kH).count, 0);
    EXPECT_EQ(layout.UseThisLayout(5), -2);
    EXPECT_EQ(layout.UseThisLayout(0), -2);
}

TEST_F(ScreenLayoutOutput, TheSameSceneAgainKeepsTheCanvasUntilTheLayoutIdIsReset) {
    Start(kW, kH);
    MakeJpeg(dir.File("white.jpg"), "white");
    ASSERT_EQ(Load(Plan("white.jpg", {"", ""}, 1)), 0);
    const int32_t one[] = {1};
    ASSERT_EQ(out.SetCombinePorts(one, 1), 1);

    ASSERT_EQ(layout.UseThisLayout(1), 1);
    EXPECT_EQ(Deliver(60), std::make_pair(960, 544));
    Show();
    EXPECT_EQ(Y(960, 540), 60);
    EXPECT_GE(Y(10, 10), kWhite);
    EXPECT_GE(Y(479, 540), kWhite);
    EXPECT_EQ(Y(480, 540), 60);

    // The same scene again: the canvas is not repainted.
    ASSERT_EQ(layout.UseThisLayout(1), 1);
    Show();
    EXPECT_EQ(Y(960, 540), 60);
    int32_t checked = 0;
    const TScreenLayout::rLayout* const* p = nullptr;
    EXPECT_EQ(layout.GetListForThisRectCount(1, checked, p), 2);
    EXPECT_EQ(checked, 1);

    // Entering capture mode again resets the last id: the background returns.
    EXPECT_EQ(layout.relaodProject(true), 0);
    ASSERT_EQ(layout.UseThisLayout(1), 1);
    Show();
    EXPECT_GE(Y(960, 540), kWhite);

    // Another scene repaints; so does the same scene on another pipeline.
    EXPECT_EQ(Deliver(60), std::make_pair(960, 544));
    ASSERT_EQ(layout.UseThisLayout(2), 1);
    Show();
    EXPECT_GE(Y(960, 540), kWhite);
    Deliver(60);
    layout.SetOutput(nullptr);
    EXPECT_EQ(layout.UseThisLayout(2), -1);
    layout.SetOutput(&out);
    ASSERT_EQ(layout.UseThisLayout(2), 1);
    Show();
    EXPECT_GE(Y(960, 540), kWhite);
}

TEST_F(ScreenLayoutOutput, BrokenOrMissingBackgroundsStopTheRead) {
    Start(kW, kH);
    test::WriteFile(dir.File("bad.jpg"), "not a picture");
    EXPECT_EQ(Load(Plan("bad.jpg", {"a"}, 1)), -2);
    EXPECT_FALSE(layout.GetIfHasLayout());
    EXPECT_EQ(layout.UseThisLayout(1), -2);
    EXPECT_TRUE(messages.Messages().empty());
    EXPECT_EQ(Load(Plan("gone.jpg", {"a"}, 1)), -2);
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].text, dir.File("gone.jpg") + " 图片找不到");
}

// A 1280 x 720 programme shows the 1920 x 1080 plan scaled by two thirds:
// the rectangle at (960, 540, 640, 360) lands at (640, 360, 428, 240) and
// the background's black box (x < 480) ends at x = 320.
TEST_F(ScreenLayoutOutput, A720pProgrammeShowsTheSceneScaled) {
    Start(1280, 720);
    MakeJpeg(dir.File("box.jpg"), "white", "x=0:y=0:w=480:h=1080");
    ASSERT_EQ(Load(Plan("box.jpg", {""}, 1, {960, 540, 640, 360})), 0);
    const int32_t one[] = {1};
    ASSERT_EQ(out.SetCombinePorts(one, 1), 1);
    ASSERT_EQ(layout.UseThisLayout(1), 1);
    EXPECT_EQ(Deliver(100), std::make_pair(432, 240));
    Show();
    EXPECT_LE(Y(100, 100), kBlack);
    EXPECT_GE(Y(400, 100), kWhite);
    EXPECT_GE(Y(639, 400), kWhite);
    EXPECT_EQ(Y(640, 400), 100);
    EXPECT_GE(Y(700, 359), kWhite);
    EXPECT_EQ(Y(700, 360), 100);
    EXPECT_EQ(Y(1067, 599), 100);
    EXPECT_GE(Y(1068, 400), kWhite);
    EXPECT_GE(Y(700, 600), kWhite);
    EXPECT_GE(Y(1279, 719), kWhite);
}

} // namespace
} // namespace tavrin
