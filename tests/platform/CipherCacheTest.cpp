#include "base/Message.h"
#include "platform/Base64.h"
#include "platform/HexCipher.h"
#include "platform/LessonCache.h"
#include "tests/base/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <set>
#include <sys/stat.h>

namespace tavrin {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

std::string RandomBytes(std::mt19937& random, size_t size, int low) {
    std::uniform_int_distribution<int> byte(low, 255);
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        c = char(byte(random));
    }
    return bytes;
}

TEST(HexCipher, RoundTripsAnyNonZeroBytesUnderAnyKeyAndSeed) {
    std::mt19937 random(20261209);
    for (int round = 0; round < 300; ++round) {
        const std::string plain = RandomBytes(random, 1 + random() % 200, 1);
        const std::string key = RandomBytes(random, random() % 30, 0); // empty: the default key
        const std::string cipher = HexCipherEncodeWithSeed(plain, key, uint8_t(round));
        ASSERT_EQ(cipher.size(), 2 + 2 * plain.size());
        ASSERT_EQ(cipher.find_first_not_of("0123456789abcdef"), std::string::npos);
        std::string back;
        ASSERT_TRUE(HexCipherDecode(cipher, key, back));
        ASSERT_EQ(back, plain) << "round " << round;
    }
}

TEST(HexCipher, ChainsEachByteToThePreviousCipherByte) {
    // Worked by hand: ((5 + 0x41) mod 255) xor 'a' = 0x27, ((0x27 + 0x42) mod 255) xor 'b' = 0x0b;
    // the key repeats, and a sum of 255 wraps to 0 before the xor (0xff + 1, then 0x60 + 1).
    EXPECT_EQ(HexCipherEncodeWithSeed("AB", "ab", 5), "05270b");
    EXPECT_EQ(HexCipherEncodeWithSeed("\x01\x01", "a", 0xff), "ff6000");
    std::string plain;
    ASSERT_TRUE(HexCipherDecode("FF6000", "a", plain));
    EXPECT_EQ(plain, "\x01\x01");
    EXPECT_EQ(HexCipherEncodeWithSeed("hello", "", 9),
              HexCipherEncodeWithSeed("hello", kHexCipherDefaultKey, 9));
}

TEST(HexCipher, FreshSeedsGiveDifferentTextsThatDecodeAlike) {
    std::set<std::string> texts;
    for (int i = 0; i < 8; ++i) {
        const std::string cipher = HexCipherEncode("同一段课表", "key");
        EXPECT_EQ(cipher.size(), 2u + 2u * std::string("同一段课表").size());
        std::string plain;
        ASSERT_TRUE(HexCipherDecode(cipher, "key", plain));
        EXPECT_EQ(plain, "同一段课表");
        texts.insert(cipher);
    }
    EXPECT_GT(texts.size(), 1u);
    EXPECT_EQ(HexCipherEncode("x", "key").size(), 4u);
}

TEST(HexCipher, RejectsTextsWithoutAByteOrWithNonHexPairs) {
    std::string plain = "untouched";
    for (const char* bad : {"", "7", "ab", "zz41", "41zz", "4142g3", "41 2"}) {
        EXPECT_FALSE(HexCipherDecode(bad, "k", plain)) << bad;
    }
    EXPECT_EQ(plain, "untouched");
    // A trailing single digit is not part of any pair.
    const std::string cipher = HexCipherEncodeWithSeed("abc", "k", 77);
    ASSERT_TRUE(HexCipherDecode(cipher + "f", "k", plain));
    EXPECT_EQ(plain, "abc");
}

TEST(Base64, EncodesStandardVectorsAndBreaksLinesAt76) {
    EXPECT_EQ(Base64Encode(""), "");
    EXPECT_EQ(Base64Encode("f"), "Zg==");
    EXPECT_EQ(Base64Encode("fo"), "Zm8=");
    EXPECT_EQ(Base64Encode("foobar"), "Zm9vYmFy");
    EXPECT_EQ(Base64Encode("\xff\xfe"), "//4=");
    EXPECT_EQ(LessonCacheKey(), "NCA4IDYgLHNpdCB1cCBvbg==");

    const std::string exact(57, 'x'); // exactly one full line
    EXPECT_EQ(Base64Encode(exact, true).find('\r'), std::string::npos);
    const std::string broken = Base64Encode(std::string(115, 'y'), true);
    ASSERT_EQ(broken.size(), 76u + 2 + 76 + 2 + 4);
    EXPECT_EQ(broken.substr(76, 2), "\r\n");
    EXPECT_EQ(broken.substr(154, 2), "\r\n");
    EXPECT_NE(broken.back(), '\n');
    std::string back;
    ASSERT_TRUE(Base64Decode(broken, back));
    EXPECT_EQ(back, std::string(115, 'y'));
}

TEST(Base64, RejectsMalformedText) {
    std::string bytes = "untouched";
    for (const char* bad : {"Zg=", "Z===", "Zg==Zg==", "Zm9v!", "Zm=v", "Zm9vY", "=Zm9"}) {
        EXPECT_FALSE(Base64Decode(bad, bytes)) << bad;
    }
    EXPECT_EQ(bytes, "untouched");
    ASSERT_TRUE(Base64Decode("5L2g\r\n5aW9", bytes));
    EXPECT_EQ(bytes, "你好");
}

class LessonCacheTest : public ::testing::Test {
protected:
    TLessonCacheOwner Owner(int32_t user, const std::string& password) {
        TLessonCacheOwner owner;
        owner.UserID = user;
        owner.Password = password;
        owner.serverIp = "127.0.0.1";
        owner.serverPort = 8202;
        owner.voName = "王晓梅";
        owner.areaName = "示范区";
        return owner;
    }
    static std::string Lessons(int count) {
        std::string data = "[";
        for (int i = 0; i < count; ++i) {
            data += (i ? "," : "") + std::string("{\"ID\":") + std::to_string(100 + i) +
                    ",\"LessionTime\":\"2026-12-09 08:30:00\",\"TeacherName\":\"" +
                    Base64Encode("教师" + std::to_string(i)) + "\",\"Subject\":\"" +
                    Base64Encode("数学") + "\",\"Volume\":\"" + Base64Encode("上册") + "\"}";
        }
        return data + "]";
    }

    TempDir dir_;
    std::string path_ = dir_.File("lesson.dat");
};

TEST_F(LessonCacheTest, SavedListReadsBackForItsOwnAccountOnly) {
    ASSERT_TRUE(SaveLessonCache(path_, Owner(1001, "p\"w\\1"), Lessons(3)));

    struct stat info {};
    ASSERT_EQ(::stat(path_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()),
                            std::filesystem::directory_iterator()),
              1); // no temporary file left behind
    const std::string file = ReadFile(path_);
    EXPECT_EQ(file.find_first_not_of("0123456789abcdef"), std::string::npos);

    const std::string text = LoadLessonCache(path_);
    ASSERT_EQ(text.rfind("{\"UserID\":1001,\"password\":\"p\\\"w\\\\1\",\"currentDate\":\"", 0), 0u)
        << text;

    TLessonCache cache;
    ASSERT_EQ(ParseLessonCache(text, 1001, "p\"w\\1", cache), 0);
    EXPECT_EQ(cache.owner.voName, "王晓梅");
    EXPECT_EQ(cache.owner.areaName, "示范区");
    EXPECT_EQ(cache.owner.serverPort, 8202);
    ASSERT_EQ(cache.voList.size(), 3u);
    EXPECT_EQ(cache.voList[2].LI.TeacherName, "教师2");
    EXPECT_EQ(cache.voList[0].LI.subject, "数学 上册");
    EXPECT_TRUE(IsValidDateTime(cache.lastLoginTime));

    TLessonCache other;
    EXPECT_EQ(ParseLessonCache(text, 1002, "p\"w\\1", other), -1);
    EXPECT_EQ(ParseLessonCache(text, 1001, "p\"w\\2", other), -1);
    EXPECT_TRUE(other.voList.empty());
    EXPECT_TRUE(std::filesystem::exists(path_)); // another account leaves it in place
}

TEST_F(LessonCacheTest, InnerLayerIsBase64InCrLfLinesOf76) {
    ASSERT_TRUE(SaveLessonCache(path_, Owner(7, "x"), Lessons(5)));
    std::string base64;
    ASSERT_TRUE(HexCipherDecode(ReadFile(path_), "NCA4IDYgLHNpdCB1cCBvbg==", base64));
    size_t start = 0;
    while (true) {
        const size_t end = base64.find("\r\n", start);
        if (end == std::string::npos) {
            EXPECT_LE(base64.size() - start, 76u);
            EXPECT_GT(base64.size(), start);
            break;
        }
        EXPECT_EQ(end - start, 76u);
        start = end + 2;
    }
    EXPECT_GT(start, 0u);
}

TEST_F(LessonCacheTest, ShorterListOverALongerOneLeavesExactlyTheNewText) {
    ASSERT_TRUE(SaveLessonCache(path_, Owner(1001, "pw"), Lessons(40)));
    const size_t longSize = ReadFile(path_).size();
    ASSERT_TRUE(SaveLessonCache(path_, Owner(1001, "pw"), Lessons(1)));
    const std::string file = ReadFile(path_);
    const std::string plain = BuildLessonCacheText(Owner(1001, "pw"), TDateTime{}, Lessons(1));
    EXPECT_EQ(file.size(), 2 + 2 * Base64Encode(plain, true).size());
    EXPECT_LT(file.size(), longSize);
    TLessonCache cache;
    ASSERT_EQ(ParseLessonCache(LoadLessonCache(path_), 1001, "pw", cache), 0);
    EXPECT_EQ(cache.voList.size(), 1u);
}

TEST_F(LessonCacheTest, DamagedFilesAreDeletedWithTheMessage) {
    const std::string expected = std::string(kLessonCacheDamaged) + path_;
    const std::string notBase64 = HexCipherEncode("@@not base64@@", LessonCacheKey());
    for (const std::string& content : {std::string("3f"), std::string("3f41zz"),
                                       std::string("lesson list"), std::string(""), notBase64}) {
        WriteFile(path_, content);
        TMessageRecorder recorder;
        EXPECT_EQ(LoadLessonCache(path_), "") << content;
        EXPECT_FALSE(std::filesystem::exists(path_)) << content;
        const auto shown = recorder.Messages();
        ASSERT_EQ(shown.size(), 1u) << content;
        EXPECT_EQ(shown[0].text, expected);
        EXPECT_EQ(shown[0].icon, TMsgIcon::Information);
    }
    TMessageRecorder recorder;
    EXPECT_EQ(LoadLessonCache(path_), ""); // missing: quietly nothing
    EXPECT_TRUE(recorder.Messages().empty());
}

TEST_F(LessonCacheTest, UnreadableOrListlessTextsAreNotOffered) {
    TLessonCache cache;
    EXPECT_EQ(ParseLessonCache("{\"UserID\":5,\"password\":\"a\"", 5, "a", cache), -1);
    EXPECT_EQ(ParseLessonCache("[]", 5, "a", cache), -1);
    const std::string noData = "{\"UserID\":5,\"password\":\"a\",\"currentDate\":\"2026-01-02 "
                               "03:04:05\",\"serverIp\":\"h\",\"serverPort\":\"9\",\"name\":\"\","
                               "\"areaName\":\"\"}";
    EXPECT_EQ(ParseLessonCache(noData, 5, "a", cache), -1);
    EXPECT_EQ(cache.lastLoginTime, (TDateTime{2026, 1, 2, 3, 4, 0}));
    EXPECT_EQ(
        ParseLessonCache(noData.substr(0, noData.size() - 1) + ",\"data\":[]}", 5, "a", cache), 0);
    EXPECT_EQ(cache.owner.serverPort, 9);
}

} // namespace
} // namespace tavrin
