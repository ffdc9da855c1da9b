#include "platform/DateTime.h"
#include "platform/VersionCompare.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

TDateTime Parsed(const char* text) {
    TDateTime t{1999, 1, 1, 1, 1, 1};
    ParsePlatformDate(text, t);
    return t;
}

TEST(PlatformDate, ARunOfDigitsEndingTheTextIsNotTaken) {
    EXPECT_EQ(Parsed("2021-12-13 08:30:45"), (TDateTime{2021, 12, 13, 8, 30, 0}));
    EXPECT_EQ(Parsed("2021-12-13 08:30"), (TDateTime{2021, 12, 13, 8, 0, 0}));
    EXPECT_EQ(Parsed("2021-12-13 08:30:45.000"), (TDateTime{2021, 12, 13, 8, 30, 45}));
    EXPECT_EQ(Parsed("2021/2/3T4:5:6Z"), (TDateTime{2021, 2, 3, 4, 5, 6}));
    EXPECT_EQ(Parsed("2021-12-13 "), (TDateTime{2021, 12, 13, 0, 0, 0}));
    // Numbers after the sixth are ignored.
    EXPECT_EQ(Parsed("2021-12-13 08:30:45:99:"), (TDateTime{2021, 12, 13, 8, 30, 45}));
}

TEST(PlatformDate, NoValidDateTimeLeavesTheValueUnchanged) {
    const TDateTime before{1999, 1, 1, 1, 1, 1};
    for (const char* text : {"", "2021-12-13", "2021-02-29 00:00:00", "2021-12-13 24:00:00 ",
                             "0000-01-01 ", "99999999999999999999-01-01 ", "abc", "2021-13-01 "}) {
        EXPECT_EQ(Parsed(text), before) << text;
    }
    EXPECT_EQ(Parsed("2024-02-29 "), (TDateTime{2024, 2, 29, 0, 0, 0})); // a leap day
}

TEST(PlatformDate, WholeDaysCountCalendarDatesNotHours) {
    EXPECT_EQ(DaysBetween({2021, 12, 31, 23, 59, 0}, {2022, 1, 1, 0, 0, 0}), 1);
    EXPECT_EQ(DaysBetween({2022, 3, 1, 0, 0, 0}, {2022, 2, 27, 23, 0, 0}), -2);
    EXPECT_EQ(DaysBetween({2024, 1, 1, 8, 0, 0}, {2025, 1, 1, 7, 0, 0}), 366);
    EXPECT_EQ(DateOf({2024, 5, 6, 7, 8, 9}), (TDateTime{2024, 5, 6, 0, 0, 0}));
    EXPECT_EQ(FormatDateTime({2024, 5, 6, 7, 8, 9}), "2024-05-06 07:08:09");
    EXPECT_TRUE(IsValidDateTime(LocalNow()));
}

int Compare(const char* own, const char* platform) {
    int result = 99;
    EXPECT_TRUE(CompareVersion(own, platform, result)) << own << " / " << platform;
    return result;
}

TEST(VersionCompare, PartsCompareAsNumbers) {
    EXPECT_EQ(Compare("1.2.3.9", "1.2.4.0"), -1);
    EXPECT_EQ(Compare("1.2.4.0", "1.2.3.9"), 1);
    EXPECT_EQ(Compare("1.2.3.9", "1.2.3.9"), 0);
    EXPECT_EQ(Compare("1.10.0.0", "1.9.0.0"), 1);
    EXPECT_EQ(Compare("1.x.0.0", "1.0.0.0"), -1); // a part that is not a number counts as -1
    EXPECT_EQ(Compare("1..0.0", "1.-1.0.0"), 0);
}

TEST(VersionCompare, DifferentPartCountsFail) {
    int result = 99;
    EXPECT_FALSE(CompareVersion("1.2.3.9", "1.2.4", result));
    EXPECT_FALSE(CompareVersion("0.1.0.1", "", result));
    EXPECT_EQ(result, 99);
}

} // namespace
} // namespace tavrin
