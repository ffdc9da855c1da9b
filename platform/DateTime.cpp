#include "platform/DateTime.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

namespace tavrin {

namespace {

std::chrono::sys_days DaysOf(const TDateTime& t) {
    return std::chrono::sys_days(std::chrono::year(t.year) / std::chrono::month(unsigned(t.month)) /
                                 std::chrono::day(unsigned(t.day)));
}

} // namespace

bool IsValidDateTime(const TDateTime& t) {
    if (t.year < 1 || t.year > 9999 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31) {
        return false;
    }
    const std::chrono::year_month_day date(std::chrono::year(t.year),
                                           std::chrono::month(unsigned(t.month)),
                                           std::chrono::day(unsigned(t.day)));
    return date.ok() && t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59 &&
           t.second >= 0 && t.second <= 59;
}

bool ParsePlatformDate(std::string_view text, TDateTime& t) {
    int numbers[6] = {};
    int taken = 0;
    // Large enough to fail validation, small enough never to overflow.
    constexpr int kCap = 1000000;
    int value = 0;
    bool inRun = false;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            value = std::min(value * 10 + (c - '0'), kCap);
            inRun = true;
            continue;
        }
        if (inRun && taken < 6) {
            numbers[taken++] = value;
        }
        value = 0;
        inRun = false;
    }
    const TDateTime parsed{numbers[0], numbers[1], numbers[2], numbers[3], numbers[4], numbers[5]};
    if (!IsValidDateTime(parsed)) {
        return false;
    }
    t = parsed;
    return true;
}

TDateTime DateOf(const TDateTime& t) {
    return TDateTime{t.year, t.month, t.day, 0, 0, 0};
}

int64_t DaysBetween(const TDateTime& a, const TDateTime& b) {
    return (DaysOf(b) - DaysOf(a)).count();
}

TDateTime LocalNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return TDateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                     local.tm_hour,        local.tm_min,     std::min(local.tm_sec, 59)};
}

std::string FormatDateTime(const TDateTime& t) {
    char text[48];
    std::snprintf(text, sizeof(text), "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return text;
}

} // namespace tavrin
