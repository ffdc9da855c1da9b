#include "compose/JpegToYUV420.h"

#include "base/Message.h"
#include "compose/LayoutProject.h"
#include "tests/base/TempDir.h"
#include "tests/support/TestMedia.h"

#include <gtest/gtest.h>
#include <vector>

namespace tavrin {
namespace {

// ffmpeg's colour bars are red, green, blue ... from the left; the luma of
// the left and right ends of the picture tells whether orientation,
// scaling and range conversion worked.
TEST(JpegToYUV420, DecodesToTheExactSizeInBufferAndFile) {
    test::TempDir dir;
    const std::string jpg = dir.File("in.jpg");
    ASSERT_TRUE(test::Run("ffmpeg -nostdin -v error -y -f lavfi -i color=c=white:s=300x200 "
                          "-vf \"drawbox=x=0:y=0:w=150:h=200:color=black:t=fill\" "
                          "-frames:v 1 '" +
                          jpg + "'"));
    const int w = 640;
    const int h = 360;
    std::vector<uint8_t> buf(size_t(w) * h * 3 / 2, 0);
    const std::string raw = dir.File("out.yuv");
    ASSERT_EQ(JpegToYUV420(jpg, raw, buf.data(), h, w), 0);
    EXPECT_EQ(test::ReadFile(raw).size(), buf.size());
    EXPECT_EQ(test::ReadFile(raw), std::string(buf.begin(), buf.end()));
    // Limited range: black near 16, white near 235.
    EXPECT_NEAR(buf[h / 2 * w + 20], 16, 6);
    EXPECT_NEAR(buf[h / 2 * w + w - 20], 235, 6);
    // Neutral chroma.
    EXPECT_NEAR(buf[size_t(w) * h + 10], 128, 6);
}

// A JPEG that already has the requested size still comes out limited range.
TEST(JpegToYUV420, SameSizeDecodeIsLimitedRangeToo) {
    test::TempDir dir;
    const std::string jpg = dir.File("white.jpg");
    ASSERT_TRUE(test::Run("ffmpeg -nostdin -v error -y -f lavfi -i color=c=white:s=320x180 "
                          "-vf \"drawbox=x=0:y=0:w=160:h=180:color=black:t=fill\" -frames:v 1 '" +
                          jpg + "'"));
    std::vector<uint8_t> buf(320 * 180 * 3 / 2);
    ASSERT_EQ(JpegToYUV420(jpg, "", buf.data(), 180, 320), 0);
    EXPECT_NEAR(buf[90 * 320 + 20], 16, 6);
    EXPECT_NEAR(buf[90 * 320 + 300], 235, 6);
}

TEST(JpegToYUV420, MissingAndBrokenFilesFail) {
    test::TempDir dir;
    TMessageRecorder messages;
    std::vector<uint8_t> buf(64 * 64 * 3 / 2);
    EXPECT_EQ(JpegToYUV420(dir.File("none.jpg"), "", buf.data(), 64, 64), kJpegMissing);
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].text, dir.File("none.jpg") + " 图片找不到");
    test::WriteFile(dir.File("bad.jpg"), "this is not a jpeg at all");
    EXPECT_EQ(JpegToYUV420(dir.File("bad.jpg"), "", buf.data(), 64, 64), kJpegNoPicture);
    EXPECT_EQ(messages.Messages().size(), 1u);
}

// The plan model decodes a background when its file changes, not when only
// its name does; a reload finds the JPEG next to the plan.
TEST(JpegToYUV420, PlanBackgroundsDecodeOnFileChangeOnly) {
    test::TempDir dir;
    TMessageRecorder messages;
    for (const char* colour : {"white", "black"}) {
        ASSERT_TRUE(test::Run(std::string("ffmpeg -nostdin -v error -y -f lavfi -i color=c=") +
                              colour + ":s=320x180 -frames:v 1 '" + dir.File(colour) + ".jpg'"));
    }
    TLayoutProject project;
    project.newProject(1, "P", dir.File("plan.kvx"));
    rImage image;
    image.filename = dir.File("white.jpg");
    ASSERT_EQ(project.newItem(kItemImage, &image), 1);
    const auto white = project.Images()[0].pImage;
    ASSERT_NE(white, nullptr);
    EXPECT_EQ(white->size(), kPlanPictureBytes);
    EXPECT_NEAR((*white)[kPlanWidth * 540 + 960], 235, 4);

    rImage renamed = project.Images()[0];
    renamed.name = "renamed";
    ASSERT_EQ(project.modifyItem(kItemImage, &renamed), 1);
    EXPECT_EQ(project.Images()[0].pImage, white) << "a new name keeps the picture";
    renamed.filename = dir.File("black.jpg");
    project.modifyItem(kItemImage, &renamed);
    ASSERT_NE(project.Images()[0].pImage, nullptr);
    EXPECT_NEAR((*project.Images()[0].pImage)[kPlanWidth * 540 + 960], 16, 4);

    ASSERT_EQ(project.saveProject(), 0);
    TLayoutProject reloaded;
    ASSERT_EQ(reloaded.loadProject(dir.File("plan.kvx")), 0);
    EXPECT_EQ(reloaded.Images().at(0).filename, dir.File("black.jpg"));
    ASSERT_NE(reloaded.Images()[0].pImage, nullptr);
    EXPECT_TRUE(messages.Messages().empty());
}

} // namespace
} // namespace tavrin
