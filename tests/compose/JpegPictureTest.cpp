#include "compose/JpegPicture.h"

#include "base/Message.h"
#include "tests/base/TempDir.h"
#include "tests/support/TestMedia.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

// One picture of an ffmpeg lavfi source as a JPEG file.
bool MakeJpeg(const std::string& path, const std::string& source) {
    return test::Run("ffmpeg -nostdin -v error -f lavfi -i " + source + " -frames:v 1 '" + path +
                     "'");
}

class CardImageTest : public ::testing::Test {
protected:
    test::TempDir dir;
    TMessageRecorder messages;
};

TEST_F(CardImageTest, AcceptsOnlyAJpegOfTheCardSize) {
    const std::string small = dir.File("small.jpg");
    const std::string big = dir.File("big.jpg");
    ASSERT_TRUE(MakeJpeg(small, "color=s=1280x720"));
    ASSERT_TRUE(MakeJpeg(big, "color=s=1920x1080"));
    test::WriteFile(dir.File("not.jpg"), "not a picture");
    EXPECT_TRUE(CheckCardImage(1280, 720, small));
    EXPECT_TRUE(messages.Messages().empty());
    EXPECT_FALSE(CheckCardImage(1280, 720, big));
    EXPECT_FALSE(CheckCardImage(1280, 720, dir.File("not.jpg")));
    EXPECT_FALSE(CheckCardImage(1280, 720, dir.File("gone.jpg")));
    const auto shown = messages.Messages();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].text, "此图片分辨率不适合，需要 1280x720 分辨率");
    EXPECT_EQ(shown[1].text, "此图片打不开");
    EXPECT_EQ(shown[2].text, "此图片打不开");
    for (const auto& m : shown) {
        EXPECT_EQ(m.icon, TMsgIcon::Warning);
    }
}

TEST(JpegPicture, SizeAndExactSizePicture) {
    test::TempDir dir;
    const std::string jpg = dir.File("white.jpg");
    ASSERT_TRUE(MakeJpeg(jpg, "color=c=white:s=320x240"));
    int w = 0;
    int h = 0;
    ASSERT_TRUE(JpegSize(jpg, w, h));
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 240);
    std::vector<uint8_t> buf;
    ASSERT_TRUE(JpegToYUV420(jpg, 64, 36, buf));
    ASSERT_EQ(buf.size(), 64u * 36 * 3 / 2);
    EXPECT_GT(buf[0], 200) << "white stays light";
    EXPECT_FALSE(JpegToYUV420(dir.File("gone.jpg"), 64, 36, buf));
    EXPECT_FALSE(JpegSize(dir.File("gone.jpg"), w, h));
}

} // namespace
} // namespace tavrin
