#include "app/day_timeline.h"

#include <gtest/gtest.h>

#include "search_test_data.h"

namespace kalix::app {
namespace {

constexpr int L = kTimelineLeft;
constexpr int kRowY = 80;
const CalendarDate kDay{2024, 4, 9};  // 10 May 2024
const protocol::RecorderTime kMidnight = *recorderTimeOf(kDay, 0);

DayRecord stretch(std::uint32_t mask, std::uint8_t kinds, std::int64_t from, std::int64_t to) {
    return {mask, kinds, static_cast<protocol::RecorderTime>(kMidnight + from),
            static_cast<protocol::RecorderTime>(kMidnight + to)};
}

void drag(DayTimeline& t, int from, int to) {
    t.leftDown(from, kRowY);
    t.pointerMoved(to, true);
    t.leftUp(to);
}

TEST(DayTimeline, OpensOnTheWholeDay) {
    DayTimeline t(kDay, {}, 0xFFFF);
    EXPECT_EQ(t.windowStart(), 0);
    EXPECT_EQ(t.windowEnd(), 86400);
    EXPECT_EQ(t.scale(), 300);
    EXPECT_EQ(t.cursorText(), "00 : 00 : 00");
    EXPECT_EQ(t.cursorX(), L);
    EXPECT_EQ(t.labels(), (std::array<std::string, 4>{"0", "6", "12", "18"}));
    EXPECT_EQ(t.startTime(), kMidnight);
}

TEST(DayTimeline, ParsesWholeRecordsOnly) {
    std::vector<std::uint8_t> bytes = testing::dayRecord(0x5, 0x03, 10, 20);
    bytes.resize(bytes.size() + 23);
    const auto records = parseDayRecords(bytes);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].mask, 0x5u);
    EXPECT_EQ(records[0].kind_bits, 0x03);
    EXPECT_EQ(records[0].start, 10u);
    EXPECT_EQ(records[0].end, 20u);
}

TEST(DayTimeline, BarsAreClippedToTheDayAndTheWindow) {
    DayTimeline t(kDay,
                  {stretch(0x1, 0x01, -3600, 600),           // from yesterday
                   stretch(0x2, 0x03, 86000, 86400 + 7200),  // into tomorrow, both kinds: kind 1
                   stretch(0x4, 0x00, 0, 3000),              // no kind: nothing
                   stretch(0x8, 0x01, -90000, -86400),       // wholly yesterday
                   stretch(0x8, 0x01, 5000, 4000)},          // ends before it starts
                  0xFFFF);
    EXPECT_EQ(t.bars(), (std::vector<TimelineBar>{{0, 0, L, L + 2}, {1, 1, L + 286, L + 287}}));
}

TEST(DayTimeline, OneSecondStillDrawsAPixelAndTouchingStretchesJoin) {
    DayTimeline t(kDay,
                  {stretch(0x1, 0x01, 4000, 4000),
                   stretch(0x2, 0x01, 0, 599), stretch(0x2, 0x01, 600, 1199),  // pixel 0-1, then 2-3
                   stretch(0x4, 0x01, 0, 599), stretch(0x4, 0x01, 1200, 1500)},  // a real gap stays
                  0xFFFF);
    const auto bars = t.bars();
    ASSERT_EQ(bars.size(), 5u);
    EXPECT_EQ(bars[0], (TimelineBar{0, 0, L + 13, L + 14}));
    EXPECT_EQ(bars[2], (TimelineBar{1, 0, L + 1, L + 3}));
    EXPECT_EQ(bars[4], (TimelineBar{2, 0, L + 4, L + 5}));
}

TEST(DayTimeline, ChannelsOutsideThePermittedMaskAreNeverDrawn) {
    DayTimeline t(kDay, {stretch(0xFFFF'FFFF, 0x01, 0, 86399)}, 0x0005);
    const auto bars = t.bars();
    ASSERT_EQ(bars.size(), 2u);
    EXPECT_EQ(bars[0].channel, 0);
    EXPECT_EQ(bars[1].channel, 2);
}

TEST(DayTimeline, DragZoomsIntoTheSelection) {
    DayTimeline t(kDay, {}, 0xFFFF);
    drag(t, L + 72, L + 144);  // 6:00 to 12:00
    EXPECT_EQ(t.windowStart(), 21600);
    EXPECT_EQ(t.windowEnd(), 43200);
    EXPECT_EQ(t.scale(), 75);
    EXPECT_EQ(t.labels(), (std::array<std::string, 4>{"6", "7:30", "9", "10:30"}));
    EXPECT_FALSE(t.capturing());
    EXPECT_FALSE(t.band());

    // Leftwards, narrower than 432 seconds at the start of the day.
    DayTimeline u(kDay, {}, 0xFFFF);
    drag(u, L, L + 8);
    ASSERT_EQ(u.scale(), 8);
    drag(u, L + 10, L);
    EXPECT_EQ(u.windowStart(), 0);
    EXPECT_EQ(u.windowEnd(), 288);
    EXPECT_EQ(u.scale(), 1);
}

TEST(DayTimeline, NarrowDragNearTheEndOfTheDayPinsToTheLast288Seconds) {
    DayTimeline t(kDay, {}, 0xFFFF);
    drag(t, L + 280, L + 288);  // 84000-86400, eight seconds a pixel
    ASSERT_EQ(t.scale(), 8);
    drag(t, L + 287, L + 300);  // eight seconds, clamped into the area
    EXPECT_EQ(t.windowStart(), 86112);
    EXPECT_EQ(t.windowEnd(), 86400);
    EXPECT_EQ(t.scale(), 1);
    // One second a pixel is as close as it goes.
    drag(t, L + 10, L + 20);
    EXPECT_EQ(t.windowStart(), 86112);
    EXPECT_EQ(t.scale(), 1);
}

TEST(DayTimeline, MidSizedDragGivesTwoSecondsAPixel) {
    DayTimeline t(kDay, {}, 0xFFFF);
    drag(t, L + 280, L + 288);
    drag(t, L + 288, L + 228);  // the anchor stays left of the area's end: 472 seconds leftwards
    EXPECT_EQ(t.windowEnd(), 84000 + 8 * 287);
    EXPECT_EQ(t.windowStart(), 84000 + 8 * 287 - 576);
    EXPECT_EQ(t.scale(), 2);
}

TEST(DayTimeline, RightClickZoomsOut) {
    DayTimeline t(kDay, {}, 0xFFFF);
    drag(t, L, L + 1);
    ASSERT_EQ(t.windowEnd(), 288);
    t.rightUp();
    EXPECT_EQ(t.windowStart(), 0);
    EXPECT_EQ(t.windowEnd(), 576);
    EXPECT_EQ(t.scale(), 2);
    while (t.windowEnd() - t.windowStart() < 86400) t.rightUp();
    EXPECT_EQ(t.windowStart(), 0);
    EXPECT_EQ(t.scale(), 300);
    EXPECT_EQ(t.rightUp(), TimelineChange::None);
    EXPECT_EQ(t.windowEnd(), 86400);
}

TEST(DayTimeline, ClickMovesTheCursorAndWheelScrolls) {
    DayTimeline t(kDay, {}, 0xFFFF);
    t.leftDown(L + 150, kRowY);
    EXPECT_EQ(t.leftUp(L + 150), TimelineChange::Cursor);
    EXPECT_EQ(t.cursor(), 45000);
    EXPECT_EQ(t.cursorText(), "12 : 30 : 00");
    EXPECT_EQ(t.startTime(), kMidnight + 45000);

    t.leftDown(L - 5, kRowY);  // outside the area: no anchor
    EXPECT_EQ(t.leftUp(L - 5), TimelineChange::None);
    EXPECT_EQ(t.cursor(), 45000);

    drag(t, L + 144, L + 148);  // 1200 s: 43200-44400 at 4 s a pixel
    ASSERT_EQ(t.scale(), 4);
    t.wheel(120);
    EXPECT_EQ(t.windowStart(), 43204);
    t.wheel(-120);
    t.wheel(-120);
    EXPECT_EQ(t.windowStart(), 43196);
    EXPECT_FALSE(t.cursorX());  // 12:30 lies past the window now
    t.leftDown(L + 10, kRowY);
    t.leftUp(L + 10);
    EXPECT_EQ(t.cursor(), 43236);
    EXPECT_EQ(t.cursorX(), L + 10);
    t.stepCursor(-1);
    EXPECT_EQ(t.cursor(), 43232);
    DayTimeline start(kDay, {}, 0xFFFF);
    start.stepCursor(-1);
    EXPECT_EQ(start.cursor(), 0);
    start.wheel(-1);  // pinned at the start
    EXPECT_EQ(start.windowStart(), 0);
    EXPECT_EQ(start.windowEnd(), 86400);
}

TEST(DayTimeline, CursorOutsideTheWindowIsNotDrawn) {
    DayTimeline t(kDay, {}, 0xFFFF, 50000);
    drag(t, L, L + 72);
    EXPECT_FALSE(t.cursorX());
}

}  // namespace
}  // namespace kalix::app
