#include "app/local_search.h"

#include <gtest/gtest.h>

#include <deque>

#include "../archive/archive_test_support.h"
#include "archive/archive_writer.h"
#include "protocol/byte_order.h"

namespace kalix::app {
namespace {

using archive::testing::ScratchDir;
using archive::testing::VideoSpec;

constexpr std::uint32_t kMidnight = 1'700'006'400;  // 2023-11-15 00:00:00

// Two pairs' worth of recordings: channels 0 and 2 across midnight with
// flag byte 1, then channel 3 alone later that day with flag byte 9; events
// of kinds 1, 2, 7 and 3.
archive::LocalCatalogue makeCatalogue(const std::filesystem::path& folder) {
    archive::ArchiveWriter w(archive::WriterOptions{folder, 3, archive::kDefaultSplitBytes, [] { return kMidnight; }, {}});
    EXPECT_TRUE(w.open());
    for (std::uint32_t t = kMidnight - 2; t <= kMidnight + 2; ++t) {
        VideoSpec v;
        v.time = t;
        v.key = 1;
        v.flag = 1;
        v.channel = 0;
        EXPECT_EQ(w.appendVideo(archive::testing::videoUnit(v)), archive::UnitResult::Stored);
        v.channel = 2;
        EXPECT_EQ(w.appendVideo(archive::testing::videoUnit(v)), archive::UnitResult::Stored);
    }
    w.keepEvents(archive::testing::eventLogUnit({{kMidnight - 1, 11, 0x1, 1},
                                                 {kMidnight, 12, 0x4, 2},
                                                 {kMidnight + 1, 13, 0x5, 7},
                                                 {kMidnight + 1, 14, 0x1, 3},
                                                 {kMidnight + 500, 15, 0x8, 1}}));
    for (std::uint32_t t = kMidnight + 1000; t <= kMidnight + 1002; ++t) {
        VideoSpec v;
        v.time = t;
        v.key = 2;
        v.flag = 9;
        v.channel = 3;
        EXPECT_EQ(w.appendVideo(archive::testing::videoUnit(v)), archive::UnitResult::Stored);
    }
    w.close();
    return archive::buildLocalCatalogue(folder);
}

std::vector<DayRecord> dayOf(const LocalSearchTables& t, std::uint32_t time) {
    const auto it = t.day_records.find(time / kSecondsPerDay);
    return it == t.day_records.end() ? std::vector<DayRecord>{} : parseDayRecords(it->second);
}

TEST(LocalSearchTablesTest, BlocksMarkEveryDayTheyTouchAndListAStretchPerChannel) {
    ScratchDir dir;
    const LocalSearchTables t = buildLocalSearchTables(makeCatalogue(dir.path()));
    const MonthTable months(t.month_records);
    EXPECT_TRUE(months.dayHasData(2023, 10, 13));  // 14 November
    EXPECT_TRUE(months.dayHasData(2023, 10, 14));  // 15 November
    EXPECT_FALSE(months.dayHasData(2023, 10, 15));

    const auto before = dayOf(t, kMidnight - 1);
    ASSERT_EQ(before.size(), 2u);
    EXPECT_EQ(before[0].mask, 0x1u);
    EXPECT_EQ(before[1].mask, 0x4u);
    EXPECT_EQ(before[0].kind_bits, 1);
    EXPECT_EQ(before[0].start, kMidnight - 2);
    EXPECT_EQ(before[0].end, kMidnight + 2);

    const auto after = dayOf(t, kMidnight);
    ASSERT_EQ(after.size(), 3u);  // the same two stretches, and channel 3's
    EXPECT_EQ(after[2].mask, 0x8u);
    EXPECT_EQ(after[2].kind_bits, 9);
}

TEST(LocalSearchTablesTest, AFlagByteOfEightOrMoreStillMarksTheDay) {
    ScratchDir dir;
    archive::ArchiveWriter w(archive::WriterOptions{dir.path(), 3, archive::kDefaultSplitBytes, [] { return kMidnight; }, {}});
    ASSERT_TRUE(w.open());
    VideoSpec v;
    v.time = kMidnight + 86'400 * 3;
    v.flag = 12;
    w.appendVideo(archive::testing::videoUnit(v));
    w.close();
    const MonthTable months(buildLocalSearchTables(archive::buildLocalCatalogue(dir.path())).month_records);
    EXPECT_TRUE(months.dayHasData(2023, 10, 17));
}

TEST(LocalSearchTablesTest, EventsOfTheShownKindsComeNewestFirstWithTheirNumbers) {
    ScratchDir dir;
    const LocalSearchTables t = buildLocalSearchTables(makeCatalogue(dir.path()));
    ASSERT_EQ(t.events.size(), 4u);  // kind 3 is not listed
    EXPECT_EQ(t.events[0].time, kMidnight + 500);
    EXPECT_EQ(t.events[0].number, 1u);  // the second alarm
    EXPECT_EQ(t.events[3].time, kMidnight - 1);
    const auto records = parseEventRecords(t.event_records);
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[1].kind, 7);
    EXPECT_EQ(records[1].mask, 0x5u);
    EXPECT_EQ(records[1].time, kMidnight + 1);
    EXPECT_EQ(records[1].second_time, 13u);
}

struct FakeView final : RemoteSearchView {
    void stateChanged() override {}
    void openCalendar() override { ++calendars; }
    void openTimeline() override { ++timelines; }
    void closeTimeline(std::chrono::milliseconds) override { ++timeline_closes; }
    void openEventList() override { ++event_lists; }
    void showNotice(session::Notice n) override { notices.push_back(n); }
    void closeDialog() override {}
    int calendars = 0, timelines = 0, timeline_closes = 0, event_lists = 0;
    std::vector<session::Notice> notices;
};

// The hub, the local answers and the local start, as the dialog wires them:
// answers reach the hub after its own call has returned.
class LocalSearchHubTest : public ::testing::Test {
protected:
    void SetUp() override {
        requests_.emplace(buildLocalSearchTables(makeCatalogue(dir_.path())),
                          [this](session::SearchAnswer a) { queued_.push_back(std::move(a)); });
        session::RecorderIdentity id;
        id.channel_num = 16;
        RemoteSearchSetup setup{*requests_, starter_, view_, id};
        setup.current_year = 2023;
        hub_.emplace(setup);
    }
    void deliver() {
        while (!queued_.empty()) {
            hub_->onAnswer(queued_.front());
            queued_.pop_front();
        }
    }

    ScratchDir dir_;
    std::deque<session::SearchAnswer> queued_;
    std::optional<LocalSearchRequests> requests_;
    std::vector<protocol::RecorderTime> started_;
    LocalPlayStarter starter_{[this](protocol::RecorderTime t) {
        started_.push_back(t);
        return true;
    }};
    FakeView view_;
    std::optional<RemoteSearchHub> hub_;
};

TEST_F(LocalSearchHubTest, CalendarDayAndTimelinePlayStartLocalPlaybackAtTheCursor) {
    hub_->openCalendarSearch();
    deliver();
    ASSERT_EQ(view_.calendars, 1);
    ASSERT_NE(hub_->calendar(), nullptr);
    EXPECT_EQ(hub_->calendar()->month0(), 10);
    hub_->chooseDay(14);
    deliver();
    ASSERT_EQ(view_.timelines, 1);
    ASSERT_NE(hub_->timeline(), nullptr);
    EXPECT_FALSE(hub_->timeline()->bars().empty());
    hub_->playTimeline();
    ASSERT_EQ(started_.size(), 1u);
    EXPECT_EQ(started_[0], kMidnight);  // the cursor starts at the day's first second
    EXPECT_EQ(view_.timeline_closes, 1);
}

TEST_F(LocalSearchHubTest, EventListShowsOneKindAndPlaysFromTheChosenEvent) {
    hub_->openEventSearch();
    deliver();
    ASSERT_NE(hub_->eventList(), nullptr);
    ASSERT_EQ(hub_->eventList()->rowCount(), 2u);  // the two alarms, newest first
    EXPECT_EQ(hub_->eventList()->rows()[0].channels, "04 ");
    hub_->chooseEventKind(7);
    deliver();
    ASSERT_EQ(hub_->eventList()->rowCount(), 1u);
    hub_->playEvent(0);
    ASSERT_EQ(started_.size(), 1u);
    EXPECT_EQ(started_[0], kMidnight + 1);
}

TEST(LocalSearchEmptyTest, AFolderWithoutPairsHasNoRecordedData) {
    std::vector<session::SearchAnswer> answers;
    LocalSearchRequests requests(LocalSearchTables{}, [&](session::SearchAnswer a) { answers.push_back(a); });
    LocalPlayStarter starter([](protocol::RecorderTime) { return true; });
    FakeView view;
    RemoteSearchHub hub(RemoteSearchSetup{requests, starter, view, session::RecorderIdentity{}});
    hub.openCalendarSearch();
    ASSERT_EQ(answers.size(), 1u);
    hub.onAnswer(answers[0]);
    EXPECT_FALSE(hub.pending());
    EXPECT_EQ(view.calendars, 0);
    ASSERT_EQ(view.notices.size(), 1u);
    EXPECT_TRUE(view.notices[0].is(session::NoticeKind::NoRecordedData));
}

}  // namespace
}  // namespace kalix::app
