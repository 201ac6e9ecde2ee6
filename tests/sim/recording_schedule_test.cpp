#include "sim/recording_schedule.h"

#include <gtest/gtest.h>

#include "protocol/byte_order.h"

namespace kalix::sim {
namespace {

constexpr RecorderSeconds kDay = 86'400;

RecorderSeconds dayStart(std::int64_t year, unsigned month, unsigned day) {
    return static_cast<RecorderSeconds>(daysFromCivil(year, month, day) * kDay);
}

RecordingSchedule makeSchedule(std::vector<RecordedStretch> stretches, std::vector<RecordedEvent> events = {}) {
    std::string error;
    auto schedule = RecordingSchedule::make(std::move(stretches), std::move(events), error);
    EXPECT_TRUE(schedule) << error;
    return schedule ? std::move(*schedule) : RecordingSchedule{};
}

TEST(RecordingScheduleTest, CalendarConversionsAgreeAcrossLeapYearsAndTheEpoch) {
    EXPECT_EQ(daysFromCivil(1970, 1, 1), 0);
    EXPECT_EQ(daysFromCivil(2000, 3, 1) - daysFromCivil(2000, 2, 28), 2);  // 2000 is a leap year
    EXPECT_EQ(daysFromCivil(2100, 3, 1) - daysFromCivil(2100, 2, 28), 1);  // 2100 is not
    for (const std::int64_t d : {0ll, 11'016ll, 19'782ll, 24'855ll}) {
        const CalendarDay c = civilFromDays(d);
        EXPECT_EQ(daysFromCivil(c.year, c.month, c.day), d);
    }
    EXPECT_EQ(parseRecorderTime("2024-05-10T08:30:05"), dayStart(2024, 5, 10) + 8 * 3600 + 30 * 60 + 5);
    EXPECT_EQ(parseRecorderTime("2024-05-10 00:00:00"), dayStart(2024, 5, 10));
    EXPECT_EQ(parseRecorderTime("1715299200"), 1'715'299'200u);
    for (const char* bad : {"", "2024-13-01T00:00:00", "2024-05-10T24:00:00", "2024-5-10T00:00:00", "12x", "4294967296"})
        EXPECT_FALSE(parseRecorderTime(bad)) << bad;
}

TEST(RecordingScheduleTest, MonthTableMarksEveryDayAStretchTouchesOnTheAskedChannels) {
    const RecorderSeconds new_year = dayStart(2024, 1, 1);
    const auto schedule = makeSchedule({
        {0, 1, new_year - 3600, new_year + 60},               // 2023-12-31 into 2024-01-01
        {1, 2, dayStart(2024, 2, 29), dayStart(2024, 3, 1)},  // ends at midnight: one day only
        {5, 1, dayStart(2024, 7, 4) + 10, dayStart(2024, 7, 4) + 20},
    });
    const auto table = schedule.monthTable(0x0003);
    ASSERT_EQ(table.size(), 2 * kYearRecordSize);
    EXPECT_EQ(protocol::be32(table.data()), 2023u);
    EXPECT_EQ(protocol::be32(table.data() + kYearRecordSize), 2024u);
    const auto marked = [&](std::size_t year, unsigned month, unsigned day) {
        return table[year * kYearRecordSize + 4 + (month - 1) * 31 + (day - 1)] != 0;
    };
    int total = 0;
    for (std::size_t i = 0; i < table.size(); ++i) total += (i % kYearRecordSize >= 4 && table[i] != 0) ? 1 : 0;
    EXPECT_EQ(total, 3);
    EXPECT_TRUE(marked(0, 12, 31));
    EXPECT_TRUE(marked(1, 1, 1));
    EXPECT_TRUE(marked(1, 2, 29));
    EXPECT_FALSE(marked(1, 7, 4));  // channel 5 was not asked for
    EXPECT_TRUE(schedule.monthTable(0x0020).size() == kYearRecordSize);
    EXPECT_TRUE(RecordingSchedule{}.monthTable(0xFFFF).empty());
}

TEST(RecordingScheduleTest, DayTableKeepsWholeStretchesThatTouchTheDayAndJoinsChannels) {
    const RecorderSeconds d = dayStart(2024, 5, 10);
    const auto schedule = makeSchedule({
        {0, 1, d - 600, d + 600},  // from the day before
        {0, 2, d + 3600, d + 7200},
        {3, 2, d + 3600, d + 7200},  // same times and kind: same record
        {3, 1, d + 7200, d + 7300},
        {4, 1, d + kDay, d + kDay + 10},  // the next day only
    });
    const auto table = schedule.dayTable({2024, 5, 10}, 0xFFFF);
    ASSERT_EQ(table.size(), 3 * kDayRecordSize);
    const auto record = [&](std::size_t i) { return table.data() + i * kDayRecordSize; };
    EXPECT_EQ(protocol::be32(record(0)), 0x0001u);
    EXPECT_EQ(protocol::be32(record(0) + 16), d - 600);  // not cut to the day
    EXPECT_EQ(protocol::be32(record(1)), 0x0009u);
    EXPECT_EQ(record(1)[4], 2);
    EXPECT_EQ(protocol::be32(record(1) + 20), d + 7200);
    EXPECT_EQ(protocol::be32(record(2)), 0x0008u);
    for (std::size_t i = 5; i < 16; ++i) EXPECT_EQ(record(0)[i], 0) << i;
    EXPECT_EQ(schedule.dayTable({2024, 5, 10}, 0x0001).size(), 2 * kDayRecordSize);
    EXPECT_TRUE(schedule.dayTable({2024, 5, 12}, 0xFFFF).empty());
}

TEST(RecordingScheduleTest, EventPagesHoldTwentyRecordsAndCountTheKind) {
    std::vector<RecordedEvent> events;
    for (RecorderSeconds i = 0; i < 25; ++i) events.push_back({1, 0x0003, 1000 + i, 1030 + i, {}});
    events.push_back({7, 0x0100, 900, 960, {}});
    const auto schedule = makeSchedule({{0, 1, 800, 2000}}, events);

    const auto first = schedule.eventPage(1, 0, 0x0001);
    ASSERT_EQ(first.size(), kEventPageHeaderSize + 20 * kEventRecordSize);
    EXPECT_EQ(protocol::be32(first.data()), 1u);
    EXPECT_EQ(protocol::be32(first.data() + 4), 25u);
    EXPECT_EQ(protocol::be32(first.data() + 8), 2u);
    const std::uint8_t* r = first.data() + kEventPageHeaderSize;
    EXPECT_EQ(protocol::be32(r), 0x0001u);  // cut to the channels asked about
    EXPECT_EQ(r[4], 1);
    EXPECT_EQ(protocol::be32(r + 16), 1000u);
    EXPECT_EQ(protocol::be32(r + 20), 1030u);
    EventToken token{};
    std::copy_n(r + 8, 8, token.begin());
    ASSERT_NE(schedule.findEvent(token), nullptr);
    EXPECT_EQ(schedule.findEvent(token)->time, 1000u);

    EXPECT_EQ(schedule.eventPage(1, 1, 0x0001).size(), kEventPageHeaderSize + 5 * kEventRecordSize);
    EXPECT_EQ(schedule.eventPage(1, 2, 0x0001).size(), kEventPageHeaderSize);
    EXPECT_EQ(schedule.eventPage(1, 0xFFFF'FFFFu, 0x0001).size(), kEventPageHeaderSize);
    EXPECT_EQ(schedule.eventPage(7, 0, 0x00FF).size(), kEventPageHeaderSize);  // channel 8 not asked
    const auto odd = schedule.eventPage(3, 0, 0xFFFF);
    ASSERT_EQ(odd.size(), kEventPageHeaderSize);
    EXPECT_EQ(protocol::be32(odd.data() + 4), 0u);
}

TEST(RecordingScheduleTest, TimelineWalksFramesThroughStretchesAndSkipsGaps) {
    const ChannelTimeline timeline({{0, 1, 100, 102}, {0, 1, 200, 201}}, 4);
    EXPECT_EQ(timeline.frameCount(0), 8u);
    EXPECT_EQ(timeline.frameMicros(0, 3), 100'750'000u);
    EXPECT_EQ(timeline.firstAtOrAfter(0), (FrameRef{0, 0, 100'000'000}));
    EXPECT_EQ(timeline.firstAtOrAfter(100'700'000), (FrameRef{0, 3, 100'750'000}));
    EXPECT_EQ(timeline.firstAtOrAfter(101'900'000), (FrameRef{1, 0, 200'000'000}));  // in the gap
    EXPECT_FALSE(timeline.firstAtOrAfter(201'000'000));
    EXPECT_EQ(timeline.lastAtOrBefore(150'000'000), (FrameRef{0, 7, 101'750'000}));
    EXPECT_EQ(timeline.lastAtOrBefore(200'100'000), (FrameRef{1, 0, 200'000'000}));
    EXPECT_FALSE(timeline.lastAtOrBefore(99'999'999));
    EXPECT_EQ(timeline.next(FrameRef{0, 7, 101'750'000}), (FrameRef{1, 0, 200'000'000}));
    EXPECT_EQ(timeline.previous(FrameRef{1, 0, 200'000'000}), (FrameRef{0, 7, 101'750'000}));
    EXPECT_FALSE(timeline.next(FrameRef{1, 3, 200'750'000}));
    EXPECT_FALSE(timeline.previous(FrameRef{0, 0, 100'000'000}));
}

TEST(RecordingScheduleTest, ScheduleFileIsReadAndBrokenOnesAreRefusedWithTheLine) {
    std::string error;
    const auto schedule = RecordingSchedule::parse(
        "# a test recorder\n"
        "rec 0 2024-05-10T08:00:00 2024-05-10T09:00:00\n"
        "rec 0 2024-05-10T09:00:00 2024-05-10T09:30:00 2   # an alarm\n"
        "rec 15 1000 2000 3\n"
        "event 7 0x8001 2024-05-10T08:10:00\n"
        "title 2 Front door\n"
        "badtitle 3 Yard\n",
        error);
    ASSERT_TRUE(schedule) << error;
    EXPECT_EQ(schedule->stretches().size(), 3u);
    EXPECT_EQ(schedule->channelStretches(0)[1].kind, 2);
    ASSERT_EQ(schedule->events().size(), 1u);
    EXPECT_EQ(schedule->events()[0].mask, 0x8001);
    EXPECT_EQ(schedule->events()[0].end, schedule->events()[0].time + 30);
    EXPECT_EQ(schedule->title(2).text, "Front door");
    EXPECT_TRUE(schedule->title(2).valid_crc);
    EXPECT_FALSE(schedule->title(3).valid_crc);
    EXPECT_EQ(schedule->title(4).text, "Cam 5");

    for (const char* bad : {"rec 0 100 200\nrec 0 150 300\n", "rec 16 100 200\n", "rec 0 200 100\n",
                            "rec 0 100 200 4\n", "event 3 1 100\n", "event 1 0x10000 100\n", "play 1 2 3\n",
                            "title 1 a title that is far longer than thirty-two bytes\n", "rec 0 100\n"}) {
        error.clear();
        EXPECT_FALSE(RecordingSchedule::parse(bad, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    error.clear();
    EXPECT_FALSE(RecordingSchedule::parse("\n\nrec x 1 2\n", error));
    EXPECT_NE(error.find("line 3"), std::string::npos) << error;
}

TEST(RecordingScheduleTest, DemoScheduleIsTheSameForTheSameNowAndCoversTheLastDays) {
    const RecorderSeconds now = dayStart(2024, 5, 10) + 15 * 3600;
    const auto a = RecordingSchedule::demo(now);
    const auto b = RecordingSchedule::demo(now);
    ASSERT_FALSE(a.empty());
    EXPECT_EQ(a.stretches(), b.stretches());
    EXPECT_EQ(a.monthTable(0xFFFF), b.monthTable(0xFFFF));
    const auto month = a.monthTable(0xFFFF);
    ASSERT_EQ(month.size(), kYearRecordSize);
    for (unsigned day = 7; day <= 10; ++day) EXPECT_NE(month[4 + 4 * 31 + day - 1], 0) << day;
    EXPECT_EQ(month[4 + 4 * 31 + 5], 0);  // 6 May: nothing
    // Yesterday has its noon gap; the last hour reaches up to a minute ago.
    EXPECT_EQ(a.dayTable({2024, 5, 9}, 0x0010).size(), 2 * kDayRecordSize);
    RecorderSeconds latest = 0;
    for (const RecordedStretch& s : a.stretches()) latest = std::max(latest, s.end);
    EXPECT_EQ(latest, now - 60);
    for (const std::uint32_t kind : {1u, 2u, 7u}) EXPECT_FALSE(a.eventsOfKind(kind, 0xFFFF).empty()) << kind;
    EXPECT_GT(a.eventsOfKind(1, 0xFFFF).size(), kEventsPerPage);
    // Early in the day the last hour reaches back into yesterday without overlapping it.
    EXPECT_FALSE(RecordingSchedule::demo(dayStart(2024, 5, 10) + 600).empty());
}

}  // namespace
}  // namespace kalix::sim
