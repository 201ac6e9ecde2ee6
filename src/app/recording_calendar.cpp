#include "app/recording_calendar.h"

#include <algorithm>

#include "protocol/byte_order.h"

namespace kalix::app {

namespace {

constexpr int kMonthLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
constexpr int kDaysPerMonthSlot = 31;
constexpr std::size_t kYearBytes = 4;

// Day grid geometry: seven columns 57 pixels apart, rows 30 apart.
constexpr int kGridLeft = 4, kGridTop = 107, kColumnStep = 57, kRowStep = 30;

}  // namespace

bool isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int monthLength(int year, int month0) {
    if (month0 < 0 || month0 > 11) return 0;
    return month0 == 1 && isLeapYear(year) ? 29 : kMonthLengths[month0];
}

int firstWeekday(int year, int month0) {
    if (month0 < 0 || month0 > 11 || year < 1) return 0;
    const long long y = year;
    long long day = (y - 1) / 400 + (y - 1) / 4 + 365 * y - (y - 1) / 100 - 364;
    for (int m = 0; m < month0; ++m) day += monthLength(year, m);
    return static_cast<int>(day % 7);
}

// The days-from-civil count of the proleptic Gregorian calendar, exact for
// any year.
std::int64_t daysSinceEpoch(const CalendarDate& date) {
    const std::int64_t m = date.month0 + 1;
    const std::int64_t y = date.year - (m <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + date.day0;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146'097 + doe - 719'468;
}

std::optional<protocol::RecorderTime> recorderTimeOf(const CalendarDate& date, int second_of_day) {
    const std::int64_t t = daysSinceEpoch(date) * kSecondsPerDay + second_of_day;
    if (t < 0 || t > 0xFFFF'FFFFLL) return std::nullopt;
    return static_cast<protocol::RecorderTime>(t);
}

CalendarDate dateOf(protocol::RecorderTime time) {
    const std::int64_t z = static_cast<std::int64_t>(time / kSecondsPerDay) + 719'468;
    const std::int64_t era = z / 146'097;
    const std::int64_t doe = z - era * 146'097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36'524 - doe / 146'096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t day = doy - (153 * mp + 2) / 5;
    const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    return {static_cast<int>(year), static_cast<int>(month - 1), static_cast<int>(day)};
}

// ---------------------------------------------------------------- month table

MonthTable::MonthTable(std::span<const std::uint8_t> records)
    : records_(records.begin(), records.begin() + static_cast<std::ptrdiff_t>(records.size() / kMonthRecordSize *
                                                                               kMonthRecordSize)) {}

const std::uint8_t* MonthTable::recordOf(int year) const {
    if (year < kFirstListedYear || year > kLastRecorderYear) return nullptr;
    for (std::size_t at = 0; at < records_.size(); at += kMonthRecordSize)
        if (protocol::be32(records_.data() + at) == static_cast<std::uint32_t>(year)) return records_.data() + at;
    return nullptr;
}

bool MonthTable::dayHasData(int year, int month0, int day0) const {
    if (day0 < 0 || day0 >= monthLength(year, month0)) return false;  // days past the month's end are ignored
    const std::uint8_t* record = recordOf(year);
    return record != nullptr && record[kYearBytes + static_cast<std::size_t>(month0 * kDaysPerMonthSlot + day0)] != 0;
}

bool MonthTable::monthHasData(int year, int month0) const {
    const int length = monthLength(year, month0);
    for (int d = 0; d < length; ++d)
        if (dayHasData(year, month0, d)) return true;
    return false;
}

bool MonthTable::yearHasData(int year) const {
    for (int m = 0; m < 12; ++m)
        if (monthHasData(year, m)) return true;
    return false;
}

int MonthTable::latestYear() const {
    int latest = 0;
    for (std::size_t at = 0; at < records_.size(); at += kMonthRecordSize) {
        const std::uint32_t year = protocol::be32(records_.data() + at);
        if (year <= static_cast<std::uint32_t>(kLastRecorderYear)) latest = std::max(latest, static_cast<int>(year));
    }
    return latest;
}

// ---------------------------------------------------------------- calendar

RecordingCalendar::RecordingCalendar(MonthTable table)
    : table_(std::move(table)), last_year_(std::max(kLastDefaultYear, table_.latestYear())) {}

bool RecordingCalendar::open(int current_year) {
    // The list reaches the PC's year too, so that a clock past 2037 starts
    // its search on a year the list has, and the search ends.
    last_year_ = std::clamp(std::max({kLastDefaultYear, table_.latestYear(), current_year}), kLastDefaultYear,
                            kLastRecorderYear);
    const int start = std::clamp(current_year, kFirstListedYear, last_year_);
    int year = start;
    for (int tried = 0; tried < yearCount(); ++tried) {
        if (table_.yearHasData(year)) {
            chooseYear(year - kFirstListedYear);
            return true;
        }
        year = year > kFirstListedYear ? year - 1 : last_year_;
    }
    return false;
}

int RecordingCalendar::lastMonthWithData(int year) const {
    for (int m = 11; m >= 0; --m)
        if (table_.monthHasData(year, m)) return m;
    return -1;
}

void RecordingCalendar::chooseYear(int index) {
    if (index < 0 || index >= yearCount()) return;
    year_ = kFirstListedYear + index;
    month0_ = std::max(0, lastMonthWithData(year_));
    day0_ = 0;
}

bool RecordingCalendar::chooseMonth(int month0, bool request_pending) {
    if (month0 < 0 || month0 > 11 || month0 == month0_ || request_pending) return false;
    if (!table_.monthHasData(year_, month0)) return false;
    month0_ = month0;
    day0_ = 0;
    return true;
}

std::optional<CalendarDate> RecordingCalendar::chooseDay(int day0, bool request_pending) {
    if (request_pending || !table_.dayHasData(year_, month0_, day0)) return std::nullopt;
    day0_ = day0;
    return date();
}

MonthLook RecordingCalendar::monthLook(int month0) const {
    if (!table_.monthHasData(year_, month0)) return MonthLook::Empty;
    return month0 == month0_ ? MonthLook::Selected : MonthLook::Data;
}

std::vector<DayCell> RecordingCalendar::dayGrid() const {
    std::vector<DayCell> cells;
    const int first = firstWeekday(year_, month0_);
    const int length = monthLength(year_, month0_);
    for (int j = 0; j < length; ++j) {
        const int slot = first + j;
        cells.push_back({j, slot % 7 * kColumnStep + kGridLeft, slot / 7 * kRowStep + kGridTop,
                         table_.dayHasData(year_, month0_, j)});
    }
    return cells;
}

}  // namespace kalix::app
