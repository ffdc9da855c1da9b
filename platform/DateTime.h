// Calendar date and time of the platform's answers and the saved lesson
// list, in local time. All fields zero is the "not set" value of a new record.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tavrin {

struct TDateTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;

    bool operator==(const TDateTime&) const = default;
};

// True for a real calendar date (years 1 ... 9999) with a time of day.
bool IsValidDateTime(const TDateTime& t);

// The platform's date text: every run of digits that is followed by another
// character becomes the next of year, month, day, hour, minute, second (a
// run that ends the text is not taken, further runs are ignored, missing
// numbers are 0). When they form no valid date-time, t is left unchanged
// and the result is false.
bool ParsePlatformDate(std::string_view text, TDateTime& t);

// The date with the time cut to midnight.
TDateTime DateOf(const TDateTime& t);

// Whole days from the date of a to the date of b (negative when b is earlier).
int64_t DaysBetween(const TDateTime& a, const TDateTime& b);

// The local time now, to the second.
TDateTime LocalNow();

// "yyyy-mm-dd hh:nn:ss" on the 24-hour clock.
std::string FormatDateTime(const TDateTime& t);

} // namespace tavrin
