#pragma once
// Times on the wire: unsigned seconds since 1970-01-01 00:00 counted on the
// recorder's wall clock, with no time-zone conversion.

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace kalix::protocol {

using RecorderTime = std::uint32_t;

// The calendar form: month 0-11 and day of month 0-30.
struct DateTimeFields {
    std::int32_t year = 1970;
    std::int32_t month = 0;
    std::int32_t day = 0;
    std::int32_t hour = 0;
    std::int32_t minute = 0;
    std::int32_t second = 0;

    friend bool operator==(const DateTimeFields&, const DateTimeFields&) = default;
};

// The PC's offset from UTC, measured once at start-up as
// mktime(localtime(now)) - mktime(gmtime(now)), split with truncating division.
struct UtcOffset {
    std::int32_t hours = 0;
    std::int32_t minutes = 0;
    std::int32_t seconds = 0;

    std::int32_t totalSeconds() const { return hours * 3600 + minutes * 60 + seconds; }

    static UtcOffset measure(std::time_t now);
    static UtcOffset fromSeconds(std::int32_t d);
};

// The fields taken as a local calendar time, plus the start-up offset, plus
// an hour when daylight-saving time is in force then.
RecorderTime toRecorderTime(const DateTimeFields& fields, const UtcOffset& offset);

// Splits the count as a UTC calendar time. Every count is a time: the
// counter is unsigned, so 2038 and later are valid (0xFFFFFFFF is
// 2106-02-07 06:28:15).
bool fromRecorderTime(RecorderTime time, DateTimeFields& fields);

// "YYYY-MM-DD HH:MM:SS", the count split as UTC (no time zone applied).
std::string recorderTimeText(RecorderTime time);

// The days of a month (1-12) of a year; 0 for another month number.
int daysInMonth(int year, int month);

// The count for a wall-clock date and time (month and day 1-based) counted
// as UTC; nothing for a date or time that does not exist or does not fit.
std::optional<RecorderTime> recorderTimeOf(int year, int month, int day, int hour = 0, int minute = 0,
                                           int second = 0);

// Local wall-clock seconds for the operation log: UTC now plus the offset.
std::uint32_t localWallClock(std::time_t utc_now, const UtcOffset& offset);

}  // namespace kalix::protocol
