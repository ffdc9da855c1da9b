#include "base/IniFile.h"

#include "tests/base/TempDir.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

TEST(IniFile, ReadsWindowsStyleFiles) {
    TempDir dir;
    const std::string path = dir.File("vo.ini");
    WriteFile(path, "\xEF\xBB\xBF; written by hand\r\n[StorePath]\r\n RootPath = /srv/vo \r\n"
                    "[windowsize]\r\nWIDTH=1300\r\nheight=\r\n[Quoted]\r\nName=\"a b\"\r\n");
    const TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("StorePath", "RootPath", "x"), "/srv/vo");
    EXPECT_EQ(ini.ReadInteger("WindowSize", "width", 0), 1300);
    EXPECT_EQ(ini.ReadInteger("WindowSize", "height", 815), 815); // empty value
    EXPECT_EQ(ini.ReadString("Quoted", "Name", ""), "a b");
    EXPECT_EQ(ini.ReadString("StorePath", "Missing", "def"), "def");
    EXPECT_FALSE(ini.KeyExists("Nope", "RootPath"));
    EXPECT_EQ(TIniFile(dir.File("absent.ini")).ReadInteger("A", "b", -7), -7);
}

TEST(IniFile, WritesInPlaceAndKeepsEverythingElse) {
    TempDir dir;
    const std::string path = dir.File("vo.ini");
    WriteFile(path, "; keep me\n[A]\nx=1\n\n[B]\ny=2\n");
    TIniFile ini(path);
    ASSERT_TRUE(ini.WriteString("a", "X", "10")); // case-insensitive match
    ASSERT_TRUE(ini.WriteString("A", "z", "3"));  // new key after the last entry
    ASSERT_TRUE(ini.WriteInteger("C", "w", -4));  // new section at the end
    EXPECT_EQ(ReadFile(path), "; keep me\n[A]\nX=10\nz=3\n\n[B]\ny=2\n[C]\nw=-4\n");
}

TEST(IniFile, UnwritableFileReportsFailure) {
    TIniFile ini("/proc/no-such-dir/vo.ini");
    EXPECT_FALSE(ini.WriteString("A", "b", "c"));
}

// A user's own file over the school's: keys the user has (even empty ones)
// win, the rest come from the fallback, and writes never reach it.
TEST(IniFile, FallbackFillsMissingKeysAndNeverTakesWrites) {
    TempDir dir;
    const std::string own = dir.File("own.ini");
    const std::string school = dir.File("school.ini");
    const std::string schoolText =
        "[Platform]\nHost=platform.school\nPort=9000\n[StorePath]\nRootPath=/srv/vo\n";
    WriteFile(school, schoolText);

    TIniFile fresh(dir.File("absent.ini"), school);
    EXPECT_EQ(fresh.ReadInteger("Platform", "Port", 0), 9000);
    EXPECT_EQ(fresh.SourceOf("platform", "port"), school);

    WriteFile(own, "[Platform]\nPort=8201\nHost=\n");
    TIniFile ini(own, school);
    EXPECT_EQ(ini.ReadString("Platform", "Host", "x"), "");
    EXPECT_EQ(ini.ReadInteger("Platform", "Port", 0), 8201);
    EXPECT_EQ(ini.ReadString("StorePath", "RootPath", ""), "/srv/vo");
    EXPECT_EQ(ini.SourceOf("Platform", "Port"), own);
    EXPECT_EQ(ini.SourceOf("StorePath", "RootPath"), school);
    EXPECT_EQ(ini.SourceOf("Platform", "CAFile"), "");
    EXPECT_TRUE(ini.KeyExists("StorePath", "RootPath"));
    EXPECT_FALSE(ini.KeyExists("Platform", "CAFile"));

    ASSERT_TRUE(ini.WriteString("StorePath", "RootPath", "/home/u/voData"));
    EXPECT_EQ(ini.ReadString("StorePath", "RootPath", ""), "/home/u/voData");
    EXPECT_EQ(ReadFile(school), schoolText);
    EXPECT_EQ(ReadFile(own),
              "[Platform]\nPort=8201\nHost=\n[StorePath]\nRootPath=/home/u/voData\n");
    // Without a fallback a missing key is missing.
    EXPECT_EQ(TIniFile(own).ReadInteger("Missing", "Port", -1), -1);
}

TEST(IniFile, IntegerParsing) {
    int32_t v = 0;
    EXPECT_TRUE(ParseInt32(" -17 ", v));
    EXPECT_EQ(v, -17);
    EXPECT_TRUE(ParseInt32("0x1F", v));
    EXPECT_EQ(v, 31);
    EXPECT_TRUE(ParseInt32("-2147483648", v));
    EXPECT_EQ(v, INT32_MIN);
    EXPECT_FALSE(ParseInt32("2147483648", v));
    EXPECT_FALSE(ParseInt32("12abc", v));
    EXPECT_FALSE(ParseInt32("", v));
    EXPECT_FALSE(ParseInt32("-", v));
    EXPECT_FALSE(ParseInt32("0x", v));
}

} // namespace
} // namespace tavrin
