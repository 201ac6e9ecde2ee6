#include "app/recording_calendar.h"

#include <gtest/gtest.h>

#include "search_test_data.h"

namespace kalix::app {
namespace {

using testing::append;
using testing::yearRecord;

TEST(CalendarArithmetic, WeekdaysAndMonthLengths) {
    EXPECT_EQ(firstWeekday(2011, 0), 6);  // 1 January 2011, a Saturday
    EXPECT_EQ(firstWeekday(2000, 0), 6);
    EXPECT_EQ(firstWeekday(2024, 2), 5);  // 1 March 2024, after a leap February
    EXPECT_EQ(firstWeekday(2038, 0), 5);
    EXPECT_EQ(monthLength(2024, 1), 29);
    EXPECT_EQ(monthLength(2100, 1), 28);
    EXPECT_EQ(monthLength(2000, 1), 29);
    EXPECT_EQ(monthLength(2023, 10), 30);
    EXPECT_EQ(monthLength(2023, 12), 0);
}

// Recorder times are unsigned: days after 19 January 2038 are as good as
// any, up to the last second that fits.
TEST(CalendarArithmetic, RecorderTimesPast2038) {
    EXPECT_EQ(recorderTimeOf({1970, 0, 0}, 0), 0u);
    EXPECT_EQ(recorderTimeOf({2011, 0, 0}, 3661), 1'293'840'000u + 3661u);
    const auto after = recorderTimeOf({2038, 0, 18}, 3 * 3600 + 14 * 60 + 8);
    ASSERT_TRUE(after);
    EXPECT_EQ(*after, 0x8000'0000u);
    EXPECT_EQ(dateOf(0x8000'0000u), (CalendarDate{2038, 0, 18}));
    EXPECT_EQ(recorderTimeOf({2106, 1, 6}, 6 * 3600 + 28 * 60 + 15), 0xFFFF'FFFFu);
    EXPECT_FALSE(recorderTimeOf({2106, 1, 6}, 6 * 3600 + 28 * 60 + 16));
    EXPECT_FALSE(recorderTimeOf({1969, 11, 30}, 0));
    for (protocol::RecorderTime t : {0u, 951'782'400u, 1'709'251'199u, 0xFFFF'FFFFu}) {
        const CalendarDate d = dateOf(t);
        EXPECT_EQ(recorderTimeOf(d, secondOfDay(t)), t);
    }
}

TEST(MonthTable, DaysBeyondTheMonthAndPartialRecordsAreIgnored) {
    std::vector<std::uint8_t> bytes = yearRecord(2023, {{1, 29}, {1, 30}, {3, 30}});  // 30 and 31 February, 31 April
    append(bytes, yearRecord(2024, {{1, 28}}));
    bytes.resize(bytes.size() + 100, 1);  // a torn third record
    const MonthTable table(bytes);
    EXPECT_EQ(table.recordCount(), 2u);
    EXPECT_FALSE(table.monthHasData(2023, 1));
    EXPECT_FALSE(table.monthHasData(2023, 3));
    EXPECT_FALSE(table.yearHasData(2023));
    EXPECT_TRUE(table.dayHasData(2024, 1, 28));
    EXPECT_FALSE(table.dayHasData(2024, 1, -1));
    EXPECT_FALSE(table.yearHasData(2025));
}

TEST(RecordingCalendar, OpensOnTheLatestYearBackFromNowWithItsLastMonth) {
    std::vector<std::uint8_t> bytes = yearRecord(2021, {{2, 4}, {6, 0}});
    append(bytes, yearRecord(2026, {{0, 1}}));  // later than the PC's year: found only after wrapping
    RecordingCalendar calendar{MonthTable(bytes)};
    ASSERT_TRUE(calendar.open(2024));
    EXPECT_EQ(calendar.year(), 2021);
    EXPECT_EQ(calendar.month0(), 6);
    EXPECT_EQ(calendar.monthLook(6), MonthLook::Selected);
    EXPECT_EQ(calendar.monthLook(2), MonthLook::Data);
    EXPECT_EQ(calendar.monthLook(3), MonthLook::Empty);

    RecordingCalendar wraps{MonthTable(yearRecord(2030, {{4, 4}}))};
    ASSERT_TRUE(wraps.open(2024));
    EXPECT_EQ(wraps.year(), 2030);
}

// The search must end: nothing recorded, or a PC clock past the year list
// the calendar started with.
TEST(RecordingCalendar, YearSearchEndsWithoutData) {
    RecordingCalendar empty{MonthTable{}};
    EXPECT_FALSE(empty.open(2024));
    RecordingCalendar late_clock{MonthTable(yearRecord(2040, {}))};
    EXPECT_FALSE(late_clock.open(2041));
    EXPECT_EQ(late_clock.lastListedYear(), 2041);

    RecordingCalendar after_2038{MonthTable(yearRecord(2039, {{0, 0}}))};
    ASSERT_TRUE(after_2038.open(2041));
    EXPECT_EQ(after_2038.year(), 2039);
}

TEST(RecordingCalendar, ChoicesAreRefusedWithoutDataOrWhilePending) {
    std::vector<std::uint8_t> bytes = yearRecord(2011, {{0, 0}, {0, 14}, {4, 2}});
    append(bytes, yearRecord(2012, {}));
    RecordingCalendar calendar{MonthTable(bytes)};
    ASSERT_TRUE(calendar.open(2011));
    EXPECT_EQ(calendar.month0(), 4);

    EXPECT_FALSE(calendar.chooseMonth(4, false));  // already selected
    EXPECT_FALSE(calendar.chooseMonth(1, false));  // no data
    EXPECT_FALSE(calendar.chooseMonth(0, true));   // pending
    EXPECT_TRUE(calendar.chooseMonth(0, false));

    EXPECT_FALSE(calendar.chooseDay(1, false));
    EXPECT_FALSE(calendar.chooseDay(14, true));
    EXPECT_EQ(calendar.chooseDay(14, false), (CalendarDate{2011, 0, 14}));
    EXPECT_FALSE(calendar.chooseDay(31, false));

    calendar.chooseYear(12);  // 2012: a record without days
    EXPECT_EQ(calendar.year(), 2012);
    EXPECT_EQ(calendar.month0(), 0);
    for (int m = 0; m < 12; ++m) EXPECT_EQ(calendar.monthLook(m), MonthLook::Empty);
    calendar.chooseYear(-1);
    calendar.chooseYear(calendar.yearCount());
    EXPECT_EQ(calendar.year(), 2012);
}

TEST(RecordingCalendar, DayGridStartsInTheFirstDaysColumn) {
    RecordingCalendar calendar{MonthTable(yearRecord(2011, {{0, 0}, {0, 30}}))};
    ASSERT_TRUE(calendar.open(2011));
    const auto grid = calendar.dayGrid();
    ASSERT_EQ(grid.size(), 31u);
    EXPECT_EQ(grid[0].x, 6 * 57 + 4);  // Saturday
    EXPECT_EQ(grid[0].y, 107);
    EXPECT_TRUE(grid[0].has_data);
    EXPECT_EQ(grid[1].x, 4);  // Sunday, next row
    EXPECT_EQ(grid[1].y, 137);
    EXPECT_EQ(grid[30].y, 5 * 30 + 107);
    EXPECT_TRUE(grid[30].has_data);
    EXPECT_FALSE(grid[15].has_data);
}

}  // namespace
}  // namespace kalix::app
