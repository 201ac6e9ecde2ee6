// The Backup page's searches: the backup calendar asks with the backup
// requests, its answers and the events it waits for reach its windows,
// and the timeline's and the event list's choices become the range that
// "Calculate" asks the size of.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/backup_search.h"
#include "search_test_data.h"

namespace kalix::app {
namespace {

using session::SearchAnswer;
using session::SearchKind;
using testing::append;
using testing::dayRecord;
using testing::eventRecord;
using testing::yearRecord;

constexpr protocol::RecorderTime kMay10 = 1'715'299'200;  // 2024-05-10 00:00

struct Requests final : BackupRequests, SearchRequests {
    void backupMonth() override { sent.push_back("backup month"); }
    void backupDay(int y, int m, int d) override {
        sent.push_back("backup day " + std::to_string(y) + "-" + std::to_string(m) + "-" + std::to_string(d));
    }
    void searchMonth() override { sent.push_back("month"); }
    void searchDay(int, int, int) override { sent.push_back("day"); }
    void searchEvents(std::uint32_t kind, std::uint32_t page) override {
        sent.push_back("events " + std::to_string(kind) + " " + std::to_string(page));
    }
    void downloadSize(const session::DownloadRange& range) override { sizes.push_back(range); }
    bool downloadStart(const session::DownloadRange&, std::uint32_t) override { return true; }
    bool downloading() const override { return false; }
    std::vector<std::string> sent;
    std::vector<session::DownloadRange> sizes;
};

struct View final : BackupSearchView {
    void stateChanged() override {}
    void openCalendar() override { seen.push_back("calendar"); }
    void openTimeline() override { seen.push_back("timeline"); }
    void closeTimeline() override { seen.push_back("timeline closed"); }
    void openEventList() override { seen.push_back("events"); }
    void rangeChosen() override { seen.push_back("range"); }
    void showNotice(session::Notice n) override { notices.push_back(n); }
    std::vector<std::string> seen;
    std::vector<session::Notice> notices;
};

struct Rig {
    Requests requests;
    View view;
    BackupPage page{{requests, [] { return std::optional<std::int64_t>(100'000); }, {}, 0xFF}};
    BackupSearch search{{requests, requests, page, view, 0xFF, DateFormat::YearMonthDay, 2024}};

    // The backup calendar of May 2024 open on 10 May's timeline.
    void openTimeline() {
        search.openCalendarSearch();
        search.onAnswer(SearchAnswer{SearchKind::Month, yearRecord(2024, {{4, 9}, {4, 12}}), 0, 0, false, true});
        search.chooseDay(9);
        std::vector<std::uint8_t> day;
        append(day, dayRecord(0x0F, 1, kMay10 + 3600, kMay10 + 7200));
        search.onAnswer(SearchAnswer{SearchKind::Day, day, 0, 0, false, true});
    }
};

SearchAnswer events(std::uint8_t kind, std::initializer_list<protocol::RecorderTime> times) {
    SearchAnswer answer{SearchKind::Events, {}};
    std::uint8_t token = 0;
    for (protocol::RecorderTime t : times) append(answer.records, eventRecord(0x03, kind, token++, t));
    return answer;
}

TEST(BackupSearch, CalendarAsksTheBackupTablesAndTheTimelineStretchIsTheRange) {
    Rig rig;
    rig.openTimeline();
    EXPECT_EQ(rig.requests.sent, (std::vector<std::string>{"backup month", "backup day 2024-5-10"}));
    ASSERT_NE(rig.search.timeline(), nullptr);
    EXPECT_EQ(rig.view.seen, (std::vector<std::string>{"calendar", "timeline"}));
    EXPECT_FALSE(rig.search.pending());

    // OK on the whole day: the day to its last second, every kind.
    rig.search.playTimeline();
    EXPECT_EQ(rig.view.seen.back(), "range");
    rig.page.calculate();
    ASSERT_EQ(rig.requests.sizes.size(), 1u);
    EXPECT_EQ(rig.requests.sizes[0].start, kMay10);
    EXPECT_EQ(rig.requests.sizes[0].end, kMay10 + 86'399);
    EXPECT_EQ(rig.requests.sizes[0].kinds, 0x3F);
    EXPECT_EQ(rig.requests.sizes[0].channels, 0xFFu);

    // Zoomed to the stretch under a rubber band: that stretch.
    rig.page.onSize({1, true});
    DayTimeline& timeline = *rig.search.timeline();
    timeline.leftDown(kTimelineLeft + 12, 100);  // 01:00 at 300 s a pixel
    timeline.pointerMoved(kTimelineLeft + 24, true);
    timeline.leftUp(kTimelineLeft + 24);  // 02:00
    rig.search.playTimeline();
    rig.page.setChannels(0x05);
    rig.page.calculate();
    ASSERT_EQ(rig.requests.sizes.size(), 2u);
    EXPECT_EQ(rig.requests.sizes[1].start, kMay10 + 3600);
    EXPECT_EQ(rig.requests.sizes[1].end, kMay10 + 7200);
    EXPECT_EQ(rig.requests.sizes[1].channels, 0x05u);
}

TEST(BackupSearch, EventPickAsksItsKindForTheEventsFirstMinute) {
    Rig rig;
    rig.search.openEventSearch();
    EXPECT_EQ(rig.requests.sent, (std::vector<std::string>{"events 1 0"}));
    EXPECT_TRUE(rig.search.takes(events(1, {})));
    rig.search.onAnswer(events(1, {kMay10 + 100}));
    EXPECT_FALSE(rig.search.takes(events(1, {})));  // no longer waiting

    rig.search.chooseEventKind(2);
    EXPECT_EQ(rig.requests.sent.back(), "events 2 0");
    rig.search.onAnswer(events(2, {kMay10 + 500, kMay10 + 900}));
    rig.search.playEvent(1);
    rig.page.calculate();
    ASSERT_EQ(rig.requests.sizes.size(), 1u);
    EXPECT_EQ(rig.requests.sizes[0].kinds, 1u << 2);
    EXPECT_EQ(rig.requests.sizes[0].start, kMay10 + 900);
    EXPECT_EQ(rig.requests.sizes[0].end, kMay10 + 960);
}

TEST(BackupSearch, OtherAnswersEmptyTablesAndRefusalsOpenNoWindow) {
    Rig rig;
    EXPECT_FALSE(rig.search.takes(SearchAnswer{SearchKind::Month, yearRecord(2024, {{4, 9}})}));
    EXPECT_FALSE(rig.search.takes(events(1, {kMay10})));

    // A refused month clears the wait (the session gives the notice); an
    // empty one (nothing recorded) says so.
    rig.search.openCalendarSearch();
    rig.search.onAnswer(SearchAnswer{SearchKind::Month, {}, 0, 0, true, true});
    EXPECT_FALSE(rig.search.pending());
    EXPECT_TRUE(rig.view.notices.empty());
    rig.search.openCalendarSearch();
    rig.search.onAnswer(SearchAnswer{SearchKind::Month, {}, 0, 0, false, true});
    EXPECT_EQ(rig.search.calendar(), nullptr);
    ASSERT_EQ(rig.view.notices.size(), 1u);
    EXPECT_TRUE(rig.view.notices[0].is(session::NoticeKind::NoRecordedData));
    EXPECT_EQ(rig.requests.sent, (std::vector<std::string>{"backup month", "backup month"}));

    // A refused or empty day keeps the calendar without a timeline.
    rig.search.openCalendarSearch();
    rig.search.onAnswer(SearchAnswer{SearchKind::Month, yearRecord(2024, {{4, 9}}), 0, 0, false, true});
    rig.search.chooseDay(9);
    rig.search.onAnswer(SearchAnswer{SearchKind::Day, {}, 0, 0, true, true});
    rig.search.chooseDay(9);
    rig.search.onAnswer(SearchAnswer{SearchKind::Day, {}, 0, 0, false, true});
    EXPECT_EQ(rig.search.timeline(), nullptr);
    EXPECT_EQ(rig.view.notices.size(), 2u);
    EXPECT_FALSE(rig.search.pending());
}

// The hub of the dialog hands the Backup page what that page waits for.
struct NoPlayback final : RemotePlayStarter {
    bool startRemotePlayback(const session::PlayStart&, RemotePlayInit) override { return false; }
    bool startEventPlayback(const session::EventPlayStart&, RemotePlayInit) override { return false; }
    const RemotePlayState& remotePlayState() const override { return state; }
    void clearRemotePlayState() override {}
    void setRemotePlayChannels(std::uint32_t) override {}
    bool remotePlaybackShown() const override { return false; }
    bool localPlaybackActive() const override { return false; }
    std::optional<protocol::RecorderTime> runningPlaybackPosition() const override { return std::nullopt; }
    RemotePlayState state;
};

struct HubView final : RemoteSearchView {
    void stateChanged() override {}
    void openCalendar() override {}
    void openTimeline() override {}
    void closeTimeline(std::chrono::milliseconds) override {}
    void openEventList() override {}
    void showNotice(session::Notice) override {}
    void closeDialog() override {}
};

TEST(BackupSearch, HubHandsItsAnswersOverAndItsRequestsHoldTheTabs) {
    Rig rig;
    NoPlayback playback;
    HubView hub_view;
    session::RecorderIdentity id;
    id.channel_num = 8;
    RemoteSearchHub hub({rig.requests, playback, hub_view, id});
    hub.chooseTab(SearchTab::Backup);
    hub.setBackupSearch(&rig.search);

    rig.search.openEventSearch();
    EXPECT_TRUE(hub.waiting());
    hub.chooseTab(SearchTab::Search);
    EXPECT_EQ(hub.tab(), SearchTab::Backup);
    hub.onAnswer(events(1, {kMay10}));
    EXPECT_FALSE(hub.waiting());
    EXPECT_NE(rig.search.eventList(), nullptr);
    EXPECT_EQ(hub.eventList(), nullptr);

    rig.search.openCalendarSearch();
    hub.onAnswer(SearchAnswer{SearchKind::Month, yearRecord(2024, {{4, 9}}), 0, 0, false, true});
    EXPECT_NE(rig.search.calendar(), nullptr);
    EXPECT_EQ(hub.calendar(), nullptr);
    // The Search page's own month stays the Search page's.
    hub.chooseTab(SearchTab::Search);
    hub.openCalendarSearch();
    hub.onAnswer(SearchAnswer{SearchKind::Month, yearRecord(2024, {{3, 1}})});
    EXPECT_NE(hub.calendar(), nullptr);
    EXPECT_EQ(rig.requests.sent, (std::vector<std::string>{"events 1 0", "backup month", "month"}));
}

}  // namespace
}  // namespace kalix::app
