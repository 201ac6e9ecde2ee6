#pragma once
// The month calendar of recordings on the recorder: which years, months and
// days hold recordings, read from the recorder's month table (one 376-byte
// record per year: the year, big-endian, then 12 x 31 day bytes, non-zero
// where something was recorded), and the calendar's choices of year, month
// and day with the day grid laid out for the month.
//
// Also the calendar arithmetic the remote search shares: month lengths,
// weekdays, and recorder times (unsigned seconds since 1970 counted as UTC,
// so dates up to early 2106 are valid).

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "protocol/recorder_time.h"

namespace kalix::app {

inline constexpr std::size_t kMonthRecordSize = 376;
inline constexpr int kFirstListedYear = 2000;
// The year list runs at least this far, further when the recorder or the
// PC's clock has later years.
inline constexpr int kLastDefaultYear = 2037;
// The last year whose days all fit in an unsigned 32-bit recorder time.
inline constexpr int kLastRecorderYear = 2105;
inline constexpr int kSecondsPerDay = 86'400;

bool isLeapYear(int year);
// month0 0-11; 0 outside that range.
int monthLength(int year, int month0);
// Column of the first day of the month in a week starting on Sunday (0).
int firstWeekday(int year, int month0);

// A calendar day: month and day counted from 0, as the dialogs keep them.
struct CalendarDate {
    int year = kFirstListedYear;
    int month0 = 0;
    int day0 = 0;
    friend bool operator==(const CalendarDate&, const CalendarDate&) = default;
};

// Days since 1970-01-01 (proleptic Gregorian).
std::int64_t daysSinceEpoch(const CalendarDate& date);
// The recorder time of a day's second (0-86400; 86400 is the next
// midnight); none when it does not fit in 32 bits or lies before 1970.
std::optional<protocol::RecorderTime> recorderTimeOf(const CalendarDate& date, int second_of_day);
// The day and second of day of a recorder time.
CalendarDate dateOf(protocol::RecorderTime time);
inline int secondOfDay(protocol::RecorderTime time) { return static_cast<int>(time % kSecondsPerDay); }

// The month table as the recorder sent it. Records whose year falls outside
// 2000-2105 are kept but never shown.
class MonthTable {
public:
    MonthTable() = default;
    // Whole 376-byte records; a partial record at the end is ignored.
    explicit MonthTable(std::span<const std::uint8_t> records);

    bool dayHasData(int year, int month0, int day0) const;
    bool monthHasData(int year, int month0) const;
    bool yearHasData(int year) const;
    // The latest year that has a record (0 without records).
    int latestYear() const;
    std::size_t recordCount() const { return records_.size() / kMonthRecordSize; }
    std::span<const std::uint8_t> bytes() const { return records_; }

private:
    const std::uint8_t* recordOf(int year) const;
    std::vector<std::uint8_t> records_;
};

// How a month button looks.
enum class MonthLook : std::uint8_t { Selected, Data, Empty };

// One day button of the grid.
struct DayCell {
    int day0 = 0;
    int x = 0, y = 0;  // in the calendar dialog
    bool has_data = false;
};
inline constexpr int kDayCellWidth = 52, kDayCellHeight = 25;

// The calendar dialog's state over one month table.
class RecordingCalendar {
public:
    explicit RecordingCalendar(MonthTable table);

    // The search for a year with recordings when the dialog opens, from
    // `current_year` backwards, wrapping from 2000 to the end of the year
    // list. False when no year has any: the dialog shows nothing.
    bool open(int current_year);

    // The year list: 2000 up to lastListedYear(), index = year - 2000.
    int lastListedYear() const { return last_year_; }
    int yearCount() const { return last_year_ - kFirstListedYear + 1; }

    // Year list index n. Selects the year's last month with data, or month
    // 0 with every month empty. Out-of-range indexes are ignored.
    void chooseYear(int index);
    // Ignored (false) when it is the selected month, has no data, or a
    // request is pending.
    bool chooseMonth(int month0, bool request_pending);
    // The day whose recordings are asked for, or none when the day shows no
    // data or a request is pending.
    std::optional<CalendarDate> chooseDay(int day0, bool request_pending);

    int year() const { return year_; }
    int month0() const { return month0_; }
    int day0() const { return day0_; }
    CalendarDate date() const { return {year_, month0_, day0_}; }
    MonthLook monthLook(int month0) const;
    // The selected month's day buttons, laid out by weekday.
    std::vector<DayCell> dayGrid() const;
    const MonthTable& table() const { return table_; }

private:
    int lastMonthWithData(int year) const;

    MonthTable table_;
    int last_year_ = kLastDefaultYear;
    int year_ = kFirstListedYear;
    int month0_ = 0;
    int day0_ = 0;
};

}  // namespace kalix::app
