#include "protocol/recorder_time.h"

#include <cstdio>

namespace kalix::protocol {

UtcOffset UtcOffset::fromSeconds(std::int32_t d) {
    return UtcOffset{d / 3600, (d % 3600) / 60, d % 60};
}

UtcOffset UtcOffset::measure(std::time_t now) {
    std::tm local{};
    std::tm utc{};
    localtime_r(&now, &local);
    gmtime_r(&now, &utc);
    const std::time_t a = std::mktime(&local);
    const std::time_t b = std::mktime(&utc);
    return fromSeconds(static_cast<std::int32_t>(a - b));
}

RecorderTime toRecorderTime(const DateTimeFields& f, const UtcOffset& offset) {
    std::tm t{};
    t.tm_year = f.year - 1900;
    t.tm_mon = f.month;
    t.tm_mday = f.day + 1;
    t.tm_hour = f.hour;
    t.tm_min = f.minute;
    t.tm_sec = f.second;
    t.tm_isdst = -1;
    std::time_t seconds = std::mktime(&t);
    seconds += offset.totalSeconds();
    if (t.tm_isdst > 0) seconds += 3600;
    return static_cast<RecorderTime>(seconds);
}

bool fromRecorderTime(RecorderTime time, DateTimeFields& fields) {
    const std::time_t t = static_cast<std::time_t>(time);
    std::tm utc{};
    if (gmtime_r(&t, &utc) == nullptr) return false;
    fields = DateTimeFields{utc.tm_year + 1900, utc.tm_mon, utc.tm_mday - 1,
                            utc.tm_hour,        utc.tm_min, utc.tm_sec};
    return true;
}

std::string recorderTimeText(RecorderTime time) {
    DateTimeFields f;
    if (!fromRecorderTime(time, f)) return {};
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", f.year, f.month + 1, f.day + 1, f.hour,
                  f.minute, f.second);
    return text;
}

namespace {

bool leapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

// Days from 1970-01-01 to the date (proleptic Gregorian).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

}  // namespace

int daysInMonth(int year, int month) {
    static constexpr int kLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && leapYear(year) ? 29 : kLengths[month - 1];
}

std::optional<RecorderTime> recorderTimeOf(int year, int month, int day, int hour, int minute, int second) {
    if (year < 1970 || day < 1 || day > daysInMonth(year, month)) return std::nullopt;
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) return std::nullopt;
    const std::int64_t t = daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 +
                           hour * 3600 + minute * 60 + second;
    if (t > 0xFFFFFFFFll) return std::nullopt;
    return static_cast<RecorderTime>(t);
}

std::uint32_t localWallClock(std::time_t utc_now, const UtcOffset& offset) {
    return static_cast<std::uint32_t>(utc_now + offset.totalSeconds());
}

}  // namespace kalix::protocol
