#include "mp4/ParseMp4.h"
#include "mp4/UploadOutcome.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

TEST(ParseMp4, StampsInMicroseconds) {
    EXPECT_EQ(PtsToMicroseconds(512, {1, 12800}), 40000);
    EXPECT_EQ(PtsToMicroseconds(1024, {1, 48000}), 21333);
    EXPECT_EQ(PtsToMicroseconds(3 * 90000, {1, 90000}), 3000000);
    // Ticks per second are taken as den div num.
    EXPECT_EQ(PtsToMicroseconds(29, {1001, 30000}), 1000000);
    // A time base of more than a second per tick still converts.
    EXPECT_EQ(PtsToMicroseconds(3, {2, 1}), 6000000);
    EXPECT_EQ(PtsToMicroseconds(5, {0, 1}), 0);
}

TEST(UploadOutcome, TextsAndIconsOfEveryEnd) {
    struct Case {
        int position;
        const char* text;
        TMsgIcon icon;
    };
    const Case cases[] = {
        {-1, "成功！课程已上传至平台", TMsgIcon::Information},
        {-2, "平台认为连接不合法，连接中断", TMsgIcon::Error},
        {-3, "平台认为结尾不合法，连接中断", TMsgIcon::Error},
        {-4, "课程上传失败，与平台连接中断", TMsgIcon::Error},
        {-5, "课程上传失败，平台已存在此课程生成的MP4", TMsgIcon::Error},
    };
    for (const Case& c : cases) {
        TUploadOutcome o;
        ASSERT_TRUE(UploadOutcome(c.position, o)) << c.position;
        EXPECT_EQ(o.text, c.text);
        EXPECT_EQ(o.icon, c.icon) << c.position;
    }
    TUploadOutcome o;
    EXPECT_FALSE(UploadOutcome(0, o));
    EXPECT_FALSE(UploadOutcome(1234, o));
    EXPECT_FALSE(UploadOutcome(-6, o));
}

} // namespace
} // namespace tavrin
