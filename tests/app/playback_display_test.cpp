#include "app/playback_display.h"

#include <gtest/gtest.h>

#include "app/string_table.h"

namespace kalix::app {
namespace {

constexpr protocol::RecorderTime kMidnight2011 = 1293840000;  // 2011-01-01 00:00:00

std::string builtin(std::uint16_t id) { return std::string(stringText(id)); }

TEST(TimeDisplay, TwentyFourHourClockShowsTimeAndDate) {
    const TimeDisplayGlyphs g = timeDisplayGlyphs(kMidnight2011 + 13 * 3600 + 5 * 60 + 9, HourSystem::TwentyFourHour);
    const std::array<std::uint8_t, 8> time{1, 3, kGlyphColon, 0, 5, kGlyphColon, 0, 9};
    const std::array<std::uint8_t, 10> date{2, 0, 1, 1, kGlyphDash, 0, 1, kGlyphDash, 0, 1};
    EXPECT_EQ(g.time, time);
    EXPECT_EQ(g.date, date);
    EXPECT_EQ(g.indicator, kGlyphBlank);
}

TEST(TimeDisplay, TwelveHourClockHours) {
    struct Case {
        int hour;
        std::uint8_t tens, units, indicator;
    };
    const Case cases[] = {
        {0, 1, 2, kGlyphAm},  {1, kGlyphBlank, 1, kGlyphAm}, {9, kGlyphBlank, 9, kGlyphAm},
        {10, 1, 0, kGlyphAm}, {11, 1, 1, kGlyphAm},          {12, 1, 2, kGlyphPm},
        {13, kGlyphBlank, 1, kGlyphPm}, {21, kGlyphBlank, 9, kGlyphPm}, {22, 1, 0, kGlyphPm},
        {23, 1, 1, kGlyphPm},
    };
    for (const Case& c : cases) {
        const auto g = timeDisplayGlyphs(kMidnight2011 + static_cast<protocol::RecorderTime>(c.hour) * 3600,
                                         HourSystem::TwelveHour);
        EXPECT_EQ(g.time[0], c.tens) << c.hour;
        EXPECT_EQ(g.time[1], c.units) << c.hour;
        EXPECT_EQ(g.indicator, c.indicator) << c.hour;
    }
}

// Recorder times are unsigned: the top bit is a date after January 2038,
// not a negative count.
TEST(TimeDisplay, ACountBeyondTheSignedRangeIsAfter2038) {
    const auto g = timeDisplayGlyphs(0x80000000u, HourSystem::TwentyFourHour);
    EXPECT_EQ(g.date[2], 3);  // 2038-01-19
    EXPECT_EQ(g.date[3], 8);
    EXPECT_EQ(g.date[8], 1);
    EXPECT_EQ(g.date[9], 9);
    EXPECT_EQ(g.time[0], 0);  // 03:14:08
    EXPECT_EQ(g.time[1], 3);
    EXPECT_EQ(g.time[7], 8);
}

TEST(StatusStrip, OriginModeSpeedAndPosition) {
    const protocol::RecorderTime t = kMidnight2011 + 12 * 3600 + 61;
    EXPECT_EQ(statusStripText({PlayOrigin::Timeline, session::PlayMode::Forward, 2, t}, DateFormat::YearMonthDay, builtin),
              "Timeline  Play  x2  2011-01-01 12:01:01");
    EXPECT_EQ(statusStripText({PlayOrigin::EventList, session::PlayMode::Reverse, -3, t}, DateFormat::DayMonthYear, builtin),
              "Event  Reverse  -x3  01-01-2011 12:01:01");
    // Paused: no speed; no mode before the recorder answered.
    EXPECT_EQ(statusStripText({PlayOrigin::TimeSearch, session::PlayMode::Pause, 0, t}, DateFormat::MonthDayYear, builtin),
              "Time search  Pause  01-01-2011 12:01:01");
    EXPECT_EQ(statusStripText({PlayOrigin::TimeSearch, session::PlayMode::None, 0, t}, DateFormat::YearMonthDay, builtin),
              "Time search  2011-01-01 12:01:01");
}

}  // namespace
}  // namespace kalix::app
